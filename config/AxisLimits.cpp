#include "config/AxisLimits.h"

#include <array>

#include "link/WireFormats.h"

namespace limits {

bool calibrationWritable(int deviceKind, double calibration) {
    if (!(calibration >= -calibrationLimit && calibration <= calibrationLimit)) return false;
    if (deviceKind != 1) return true;
    std::array<std::uint8_t, 4> held{};
    wire::EncodeDecimal24(calibration, held.data());
    const auto millionths = [](long double v) { return wire::truncToMeantWhole(v * 1000000.0L); };
    return millionths(wire::DecodeDecimal24(held.data())) == millionths(calibration);
}

}  // namespace limits
