// Every calibration the parameters dialog can produce is a whole number of millionths, typed as
// text and parsed into a double. Such a value must reach the box exactly, and the box's bytes must
// read back as exactly that value, in both number formats, or each save would move it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>

#include "link/WireFormats.h"

namespace {

using Bytes4 = std::array<std::uint8_t, 4>;

// Unoptimised and sanitizer builds take every seventh millionth, still millions of values; the
// others take every one.
#ifdef KVT3_SLOW_SWEEP
constexpr std::int32_t stride = 7;
#else
constexpr std::int32_t stride = 1;
#endif

// The double the dialog parses from the text of k millionths: division of two exact doubles is
// correctly rounded, as is the parse of the decimal text.
double typedMillionths(std::int32_t k) {
    return static_cast<double>(k) / 1000000.0;
}

// The value the bytes stand for, nearest in extended precision.
long double exactMillionths(std::int32_t k) {
    return static_cast<long double>(k) / 1000000.0L;
}

// The decimal float of k millionths worked out in integers: the mantissa takes as many decimal
// places as its 23 bits allow.
Bytes4 decimalOfMillionths(std::int32_t k) {
    if (k == 0) return {0x00, 0x00, 0x00, 0xFF};
    std::uint32_t m = static_cast<std::uint32_t>(std::abs(k));
    std::uint8_t e = 6;
    while (m * 10u <= 0x7FFFFFu) {
        m *= 10u;
        ++e;
    }
    Bytes4 b{static_cast<std::uint8_t>(m), static_cast<std::uint8_t>(m >> 8),
             static_cast<std::uint8_t>(m >> 16), e};
    if (k < 0) b[2] |= 0x80u;
    return b;
}

// Reports the first few failures of a sweep only, and how many there were.
class Failures {
public:
    explicit Failures(const char* what) : what_(what) {}
    ~Failures() { EXPECT_EQ(count_, 0) << what_ << ": values that did not come through exactly"; }
    void add(std::int32_t k) {
        if (++count_ <= 5) ADD_FAILURE() << what_ << ": " << k << " millionths";
    }

private:
    const char* what_;
    long count_ = 0;
};

// Decimal float: every millionth whose mantissa fits 23 bits, from -8.388607 to 8.388607.
TEST(CalibrationCodec, EveryMillionthOfTheDecimalFloatBothWays) {
    constexpr std::int32_t limit = 8388607;
    Failures written("written"), read("read");
    Bytes4 out{};
    for (std::int32_t k = -limit; k <= limit; k += stride) {
        const Bytes4 expected = decimalOfMillionths(k);
        wire::EncodeDecimal24(typedMillionths(k), out.data());
        if (out != expected) written.add(k);
        if (wire::DecodeDecimal24(expected.data()) != exactMillionths(k)) read.add(k);
    }
}

// Micro-int32: every millionth of the dialog's range, -9.999999 to 9.999999.
TEST(CalibrationCodec, EveryMillionthOfTheMicroInt32BothWays) {
    constexpr std::int32_t limit = 9999999;
    Failures written("written"), read("read");
    Bytes4 out{};
    for (std::int32_t k = -limit; k <= limit; k += stride) {
        wire::writeMicro(out.data(), typedMillionths(k));
        if (wire::readInt32(out.data()) != k) written.add(k);
        wire::writeInt32(out.data(), k);
        if (wire::readMicro(out.data()) != exactMillionths(k)) read.add(k);
    }
}

// The value read is taken to millionths the way the readout takes a calibration: a value that
// stands for a whole number of millionths gives that number, and anything finer is cut off.
TEST(CalibrationCodec, WholeNumbersAreKeptAndFractionsTruncated) {
    struct Case {
        long double value;
        long double whole;
    };
    const Case cases[] = {
        {124.99999999999999999L, 125},
        {125.00000000000000001L, 125},
        {-124.99999999999999999L, -125},
        {299999.99999999998889L, 300000},
        {0.99999999999999999L, 1},
        // The worked example of the micro-int32: -0.0000015 goes out as -1.
        {-1.5L, -1},
        {1.5L, 1},
        {123456.7L, 123456},
        {-123456.7L, -123456},
        {0.4L, 0},
        {0, 0},
        {999999999999.0L, 999999999999.0L},
        {999999999998.7L, 999999999998.0L},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wire::truncToMeantWhole(c.value), c.whole) << static_cast<double>(c.value);
}

}  // namespace
