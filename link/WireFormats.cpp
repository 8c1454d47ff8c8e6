#include "link/WireFormats.h"

#include <cmath>
#include <limits>

#include "link/CorrectionTable.h"

namespace wire {

namespace {

constexpr long double Int32Min = static_cast<long double>(std::numeric_limits<std::int32_t>::min());
constexpr long double Int32Max = static_cast<long double>(std::numeric_limits<std::int32_t>::max());

// The largest magnitude the 23 bits of a decimal float's mantissa hold.
constexpr long double MaxMantissa = 8388607.0L;

// How far, relative to its size, a real may lie from a whole number and still stand for it. A
// double carries a decimal text to within 1.1e-16 of its size and each step in extended
// precision adds 5.4e-20; a fraction that truly is there (a seventh decimal of a micro value,
// the eighth digit of a decimal float's mantissa) lies at least 1e-10 of the size away.
constexpr long double MeantWholeTolerance = 1e-13L;

long double meantWholeTolerance(long double v) {
    return MeantWholeTolerance * std::fmax(1.0L, std::fabs(v));
}

// An integral real to int32 without undefined behaviour: outside the range it saturates.
std::int32_t saturate(long double integral) {
    if (std::isnan(integral)) return 0;
    if (integral <= Int32Min) return std::numeric_limits<std::int32_t>::min();
    if (integral >= Int32Max) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(integral);
}

// 10^e by repeated squaring in extended precision.
long double powerOfTen(unsigned e) {
    long double result = 1.0L;
    long double base = 10.0L;
    while (e != 0) {
        if (e & 1u) result *= base;
        e >>= 1;
        if (e != 0) base *= base;
    }
    return result;
}

std::uint8_t byteOf(std::uint32_t v, int k) {
    return static_cast<std::uint8_t>(v >> (8 * k));
}

}  // namespace

std::int32_t readInt32(const std::uint8_t* p) {
    const std::uint32_t u = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                            std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
    return static_cast<std::int32_t>(u);
}

void writeInt32(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int k = 0; k < 4; ++k) p[k] = byteOf(u, k);
}

std::int32_t readInt24(const std::uint8_t* p) {
    std::uint32_t u = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
    if (u & 0x800000u) u |= 0xFF000000u;
    return static_cast<std::int32_t>(u);
}

void writeInt24(std::uint8_t* p, std::int32_t v) {
    // Division, not a shift: the box has always been sent the quotients truncated toward zero,
    // which differs from two's complement for negative counts.
    std::int32_t q = v;
    for (int k = 0; k < 3; ++k) {
        p[k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(q) & 0xFFu);
        q /= 256;
    }
}

long double readMicro(const std::uint8_t* p) {
    return static_cast<long double>(readInt32(p)) / 1000000.0L;
}

void writeMicro(std::uint8_t* p, long double value) {
    writeInt32(p, saturate(truncToMeantWhole(value * 1000000.0L)));
}

long double DecodeDecimal24(const std::uint8_t* p) {
    const auto magnitude = static_cast<long double>((p[2] & 0x7Fu) * 65536u + p[1] * 256u + p[0]);
    // One division: up to 10^27 the power is exact, so the quotient is the nearest extended
    // value of the decimal (a product with the reciprocal may miss it by a unit).
    const long double value = magnitude / powerOfTen(p[3]);
    return (p[2] & 0x80u) ? -value : value;
}

void EncodeDecimal24(long double value, std::uint8_t* p) {
    // NaN has no decimal form; it goes out as zero rather than through an undefined conversion.
    long double v = std::isnan(value) ? 0.0L : value;
    const bool negative = v < 0;
    if (negative) v = -v;
    if (v > MaxMantissa) v = MaxMantissa;
    unsigned e = 0;
    // A mantissa meant to be exactly 8388607 may come out a hair above it.
    while (v * 10.0L <= MaxMantissa + meantWholeTolerance(MaxMantissa) && e < 255) {
        v *= 10.0L;
        ++e;
    }
    const auto m = static_cast<std::uint32_t>(std::fmin(truncToMeantWhole(v), MaxMantissa));
    p[0] = byteOf(m, 0);
    p[1] = byteOf(m, 1);
    p[2] = byteOf(m, 2);
    p[3] = static_cast<std::uint8_t>(e);
    if (negative && p[2] != 0) p[2] |= 0x80u;
}

long double truncToMeantWhole(long double v) {
    const long double nearest = std::round(v);
    if (std::fabs(v - nearest) <= meantWholeTolerance(v)) return nearest;
    return std::trunc(v);
}

std::int32_t truncToInt32(long double v) {
    return saturate(std::trunc(v));
}

std::int32_t roundHalfEvenToInt32(long double v) {
    if (std::isnan(v)) return 0;
    long double r = std::floor(v);
    const long double fraction = v - r;
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(r, 2.0L) != 0)) r += 1.0L;
    return saturate(r);
}

std::uint8_t deviceKindFromReadiness(std::uint8_t b) {
    if (b >= 0x10 && b <= 0x3F) return static_cast<std::uint8_t>(b / 16 + 1);
    if (b == 0xE0) return 1;
    return 0;
}

void encodeResolutionFrame(const ResolutionFrame& f, std::uint8_t* p) {
    p[0] = static_cast<std::uint8_t>(f.x + 16 * f.y);
    p[1] = f.z;
    p[2] = static_cast<std::uint8_t>(f.types ^ 0x0Fu);
    p[3] = 0;
}

ResolutionFrame decodeResolutionFrame(const std::uint8_t* p) {
    ResolutionFrame f;
    f.x = static_cast<std::uint8_t>(p[0] & 0x0Fu);
    f.y = static_cast<std::uint8_t>(p[0] >> 4);
    f.z = static_cast<std::uint8_t>(p[1] & 0x0Fu);
    f.types = static_cast<std::uint8_t>(p[2] ^ 0x0Fu);
    return f;
}

std::int32_t encodeCorrectionBlock(std::uint8_t n, std::uint32_t flags, const TCorrectionTable& x,
                                   const TCorrectionTable& y, const TCorrectionTable& z,
                                   std::uint8_t* p) {
    p[0] = n;
    writeInt32(p + 1, static_cast<std::int32_t>(flags));
    std::uint8_t* out = p + 5;
    for (const TCorrectionTable* table : {&x, &y, &z}) {
        for (int row = 1; row <= n; ++row) {
            writeInt32(out, roundHalfEvenToInt32((*table)[row].Position));
            writeInt32(out + 4, roundHalfEvenToInt32((*table)[row].Corrected));
            out += 8;
        }
    }
    return correctionBlockSize(n);
}

void decodeCorrectionBlock(const std::uint8_t* p, std::uint8_t& n, std::uint32_t& flags,
                           TCorrectionTable& x, TCorrectionTable& y, TCorrectionTable& z) {
    n = p[0];
    flags = static_cast<std::uint32_t>(readInt32(p + 1));
    const std::uint8_t* in = p + 5;
    for (TCorrectionTable* table : {&x, &y, &z}) {
        for (int row = 1; row <= TCorrectionTable::Size; ++row) {
            TCorrectionEntry& entry = (*table)[row];
            if (row <= n) {
                entry.Position = readInt32(in);
                entry.Corrected = readInt32(in + 4);
                in += 8;
            } else {
                entry = TCorrectionEntry{};
            }
        }
    }
}

}  // namespace wire
