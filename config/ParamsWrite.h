#pragma once

#include <array>
#include <cstdint>
#include <functional>

class TRS232Service;
class WriteChain;

// The axis parameters as they go to the box, per axis X, Y, Z.
struct ParamsValues {
    std::array<double, 3> calibration{};
    std::array<std::uint8_t, 3> resolutionCodes{};
    // Bit 0 X, bit 1 Y, bit 2 Z angular; the other bits as last read.
    std::uint8_t dimensionTypes = 0;
    std::array<std::int32_t, 3> lineCounts{};
    // False: the calibration frame is not sent, the box keeping the calibrations it holds, in
    // its own bytes (a restore of values the box already holds).
    bool writeCalibration = true;
};

// Starts the chain of the parameters' writes with `startChain` (which binds the first step and
// opens the port; false when it could not, and then nothing is written): the calibration (unless
// values.writeCalibration is false), the
// resolution (for kind 1 the dimension types apart, for kinds 2 to 4 with them), the line
// counts, then the end of the configuration. `typesWritten` runs once the box acknowledged the
// types, before the line counts. A box of no known kind takes nothing after the calibration.
bool writeParams(WriteChain& chain, TRS232Service& service, const ParamsValues& values,
                 const std::function<bool(std::function<void()>)>& startChain,
                 std::function<void()> typesWritten = {});
