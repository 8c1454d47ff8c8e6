#include "sim/Settings.h"

#include "link/WireFormats.h"

namespace sim {

BoxSettings::BoxSettings() {
    for (int axis = 0; axis < Axes; ++axis) setCalibrationValue(*this, axis, 1.0L);
}

bool usesDecimalFloat(int kind) {
    return kind == 1;
}

std::uint8_t readinessByte(const BoxSettings& s) {
    if (s.readiness) return *s.readiness;
    if (s.kind >= 2 && s.kind <= 4) return static_cast<std::uint8_t>((s.kind - 1) * 0x10);
    return 0xE0;
}

int axisCount(const BoxSettings& s) {
    if (s.kind >= 2 && s.kind <= 4) return s.kind - 1;
    // The host looks at Z first and then at Y, so a Y code of 0 leaves X alone even when Z has one.
    if (s.resolution[AxisY] == 0) return 1;
    if (s.resolution[AxisZ] == 0) return 2;
    return 3;
}

long double calibrationValue(const BoxSettings& s, int axis) {
    const std::uint8_t* p = s.calibration[static_cast<std::size_t>(axis)].data();
    return usesDecimalFloat(s.kind) ? wire::DecodeDecimal24(p) : wire::readMicro(p);
}

void setCalibrationValue(BoxSettings& s, int axis, long double value) {
    std::uint8_t* p = s.calibration[static_cast<std::size_t>(axis)].data();
    if (usesDecimalFloat(s.kind))
        wire::EncodeDecimal24(value, p);
    else
        wire::writeMicro(p, value);
}

void changeKind(BoxSettings& s, int kind) {
    const bool reencode = usesDecimalFloat(kind) != usesDecimalFloat(s.kind);
    std::array<long double, Axes> values{};
    for (int axis = 0; axis < Axes; ++axis) values[axis] = calibrationValue(s, axis);
    s.kind = kind;
    if (!reencode) return;
    for (int axis = 0; axis < Axes; ++axis) {
        if (usesDecimalFloat(kind)) {
            setCalibrationValue(s, axis, values[axis]);
        } else {
            // A decimal float decodes to the nearest extended value, a hair below 0.5 for 0.5:
            // rounded, not truncated, to the millionth it stands for.
            wire::writeInt32(s.calibration[static_cast<std::size_t>(axis)].data(),
                             wire::roundHalfEvenToInt32(values[axis] * 1000000.0L));
        }
    }
}

int resolutionFrameSize(int kind) {
    return kind == 1 ? 3 : 4;
}
int lineCountsFrameSize(int kind) {
    return kind == 1 ? 9 : 12;
}

void encodeCalibration(const BoxSettings& s, std::uint8_t* p) {
    for (const auto& value : s.calibration)
        for (std::uint8_t b : value) *p++ = b;
}

void decodeCalibration(BoxSettings& s, const std::uint8_t* p) {
    for (auto& value : s.calibration)
        for (std::uint8_t& b : value) b = *p++;
}

void encodeResolution(const BoxSettings& s, std::uint8_t* p) {
    if (s.kind == 1) {
        for (int axis = 0; axis < Axes; ++axis) p[axis] = s.resolution[axis];
        return;
    }
    wire::encodeResolutionFrame(
        {s.resolution[AxisX], s.resolution[AxisY], s.resolution[AxisZ], s.types}, p);
}

void decodeResolution(BoxSettings& s, const std::uint8_t* p) {
    if (s.kind == 1) {
        for (int axis = 0; axis < Axes; ++axis) s.resolution[axis] = p[axis];
        return;
    }
    const wire::ResolutionFrame f = wire::decodeResolutionFrame(p);
    s.resolution = {f.x, f.y, f.z};
    s.types = f.types;
}

void encodeLineCounts(const BoxSettings& s, std::uint8_t* p) {
    for (std::int32_t count : s.lineCounts) {
        if (s.kind == 1) {
            // The box's own int24 is plain two's complement: the low three bytes of the int32.
            std::uint8_t full[4];
            wire::writeInt32(full, count);
            for (int k = 0; k < 3; ++k) *p++ = full[k];
        } else {
            wire::writeInt32(p, count);
            p += 4;
        }
    }
}

void decodeLineCounts(BoxSettings& s, const std::uint8_t* p) {
    for (std::int32_t& count : s.lineCounts) {
        if (s.kind == 1) {
            count = wire::readInt24(p);
            p += 3;
        } else {
            count = wire::readInt32(p);
            p += 4;
        }
    }
}

}  // namespace sim
