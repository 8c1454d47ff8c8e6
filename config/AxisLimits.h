#pragma once

#include <cstdint>

// What the axis parameters dialog lets the operator write to the box, free of Qt: the
// configuration file refuses the same values.
namespace limits {

// The pulse count the operator types; the box gets four times as many counts per revolution.
constexpr std::int32_t maxPulseCount = 999999;
// A calibration factor, both bounds included.
constexpr double calibrationLimit = 9.999999;

// A count per revolution the dialog writes back: the box's own count goes back unchanged when its
// pulse count (count div 4) is one the operator could have typed.
constexpr bool lineCountWritable(std::int32_t count) {
    return count >= 0 && count / 4 <= maxPulseCount;
}

// Within the bounds and, for a kind 1 box, held by its decimal float to the millionth: above
// 8.388607 its 23-bit mantissa has no room for the sixth decimal.
bool calibrationWritable(int deviceKind, double calibration);

}  // namespace limits
