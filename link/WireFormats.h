#pragma once

#include <cstdint>

#include "link/CorrectionTable.h"

// The number formats and frames on the wire between the host and the box. Little-endian
// throughout; pure functions used by the link service and by the box simulator alike.
namespace wire {

std::int32_t readInt32(const std::uint8_t* p);
void writeInt32(std::uint8_t* p, std::int32_t v);

// 24-bit two's complement, bit 23 the sign.
std::int32_t readInt24(const std::uint8_t* p);
// Byte k is the low byte of v divided by 256^k, truncated toward zero.
void writeInt24(std::uint8_t* p, std::int32_t v);

// A real that stands for a whole number but for the rounding it met on its way here (a double
// holds 0.3 as 0.29999999999999998890, so 0.3 x 10 is not quite 3) is taken as that number;
// any other real is truncated toward zero. A calibration typed with a few decimals thus reaches
// the box, and comes back from it, exactly, while finer fractions are still cut off.
long double truncToMeantWhole(long double v);

// int32 holding value x 1,000,000 (kinds 2..4 calibration); read as the nearest extended value.
long double readMicro(const std::uint8_t* p);
// value x 1,000,000 truncated toward zero (truncToMeantWhole), saturated to the int32 range.
void writeMicro(std::uint8_t* p, long double value);

// Sign-magnitude 23-bit mantissa with a decimal exponent (kind 1 calibration). Decoding gives
// the nearest extended value; encoding takes the most decimal places the mantissa holds and
// truncates the rest (truncToMeantWhole).
long double DecodeDecimal24(const std::uint8_t* p);
void EncodeDecimal24(long double value, std::uint8_t* p);

// Defined conversions of reals that may lie outside the int32 range: saturate to it
// (NaN gives 0). Truncation toward zero, and rounding half to even.
std::int32_t truncToInt32(long double v);
std::int32_t roundHalfEvenToInt32(long double v);

// Device kind from the readiness byte: 0x10..0x3F -> 2..4, 0xE0 -> 1, anything else 0.
std::uint8_t deviceKindFromReadiness(std::uint8_t b);

// Resolution frame of kinds 2..4 (4 bytes): X + 16 Y, Z, Types XOR 0x0F, 0.
struct ResolutionFrame {
    std::uint8_t x = 0, y = 0, z = 0, types = 0;
};
void encodeResolutionFrame(const ResolutionFrame& f, std::uint8_t* p);
ResolutionFrame decodeResolutionFrame(const std::uint8_t* p);

// Correction block: n, int32 flags, then n rows (Position, Corrected as int32) of X, Y, Z.
// Encoding rounds every value half to even and saturates it to int32. Returns the byte count.
constexpr std::int32_t correctionBlockSize(std::int32_t n) {
    return 5 + 24 * n;
}
std::int32_t encodeCorrectionBlock(std::uint8_t n, std::uint32_t flags, const TCorrectionTable& x,
                                   const TCorrectionTable& y, const TCorrectionTable& z,
                                   std::uint8_t* p);
// Rows 1..n from the block, rows n+1..512 zero.
void decodeCorrectionBlock(const std::uint8_t* p, std::uint8_t& n, std::uint32_t& flags,
                           TCorrectionTable& x, TCorrectionTable& y, TCorrectionTable& z);

}  // namespace wire
