#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "link/CorrectionTable.h"

namespace sim {

constexpr int AxisX = 0, AxisY = 1, AxisZ = 2;
constexpr int Axes = 3;

// What the box keeps in its memory: the registers the host reads and writes. Calibration is kept
// as the four bytes the box's kind puts on the wire, so a read returns exactly what was written.
struct BoxSettings {
    // 1 uses int24 line counts and decimal-float calibration, 2..4 int32 and micro-int32.
    int kind = 1;
    // The answer to the readiness request; empty: the kind's own byte.
    std::optional<std::uint8_t> readiness;
    std::array<std::array<std::uint8_t, 4>, Axes> calibration{};
    std::array<std::uint8_t, Axes> resolution{2, 2, 2};
    // Bit 0 X, bit 1 Y, bit 2 Z: set for an angular axis.
    std::uint8_t types = 0;
    std::array<std::int32_t, Axes> lineCounts{4000, 4000, 4000};
    std::uint8_t correctionCount = 0;
    // Bits 4, 5, 6 switch the segment correction of X, Y, Z on; other bits are kept as written.
    std::uint32_t correctionFlags = 0;
    std::array<TCorrectionTable, Axes> corrections{};

    BoxSettings();
};

// Kind 1 stores decimal floats, kinds 2..4 micro-int32; both families are told apart by this.
bool usesDecimalFloat(int kind);

// The readiness byte the box answers: the chosen one, else 0xE0 for kind 1 and 0x10, 0x20, 0x30
// for kinds 2, 3, 4.
std::uint8_t readinessByte(const BoxSettings& s);

// Number of position counters the box sends, counted as the host counts them: kinds 2, 3, 4 have
// 1, 2, 3 axes; kind 1 has X alone when Y's resolution code is 0, X and Y when only Z's is 0, and
// all three otherwise.
int axisCount(const BoxSettings& s);

// Calibration of one axis as a value, decoded from the stored bytes in the kind's format.
long double calibrationValue(const BoxSettings& s, int axis);
// Stores a calibration value encoded in the kind's format.
void setCalibrationValue(BoxSettings& s, int axis, long double value);
// A new kind; calibration bytes are re-encoded when the number format changes with it.
void changeKind(BoxSettings& s, int kind);

// Byte counts of the kind's frames.
int resolutionFrameSize(int kind);  // 3 for kind 1, else 4
int lineCountsFrameSize(int kind);  // 9 for kind 1, else 12

// Frames as the box sends them (p must hold the frame size).
void encodeCalibration(const BoxSettings& s, std::uint8_t* p);  // 12 bytes
void encodeResolution(const BoxSettings& s, std::uint8_t* p);
void encodeLineCounts(const BoxSettings& s, std::uint8_t* p);
// Frames as the host writes them.
void decodeCalibration(BoxSettings& s, const std::uint8_t* p);
void decodeResolution(BoxSettings& s, const std::uint8_t* p);
void decodeLineCounts(BoxSettings& s, const std::uint8_t* p);

}  // namespace sim
