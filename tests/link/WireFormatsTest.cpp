#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "link/WireFormats.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::int32_t Min32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t Max32 = std::numeric_limits<std::int32_t>::max();
constexpr long double NaN = std::numeric_limits<long double>::quiet_NaN();
constexpr long double Inf = std::numeric_limits<long double>::infinity();

template <typename Encode>
Bytes encoded(std::size_t size, Encode encode) {
    Bytes out(size, 0xCC);
    encode(out.data());
    return out;
}

TEST(Wire, Int32BothWays) {
    struct Case {
        Bytes bytes;
        std::int32_t value;
    };
    const std::vector<Case> cases = {
        {{0x00, 0x00, 0x00, 0x00}, 0},     {{0x01, 0x02, 0x03, 0x04}, 0x04030201},
        {{0xFF, 0xFF, 0xFF, 0xFF}, -1},    {{0x00, 0x00, 0x00, 0x80}, Min32},
        {{0xFF, 0xFF, 0xFF, 0x7F}, Max32}, {{0x18, 0xFC, 0xFF, 0xFF}, -1000},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wire::readInt32(c.bytes.data()), c.value) << c.value;
        EXPECT_EQ(encoded(4, [&](std::uint8_t* p) { wire::writeInt32(p, c.value); }), c.bytes)
            << c.value;
    }
}

TEST(Wire, Int24ReadSignExtendsBit23) {
    struct Case {
        Bytes bytes;
        std::int32_t value;
    };
    const std::vector<Case> cases = {
        {{0xFF, 0xFF, 0xFF}, -1},   {{0x00, 0x00, 0x80}, -8388608}, {{0xFF, 0xFF, 0x7F}, 8388607},
        {{0xE8, 0x03, 0x00}, 1000}, {{0x00, 0x00, 0x00}, 0},        {{0x18, 0xFC, 0xFF}, -1000},
    };
    for (const auto& c : cases) EXPECT_EQ(wire::readInt24(c.bytes.data()), c.value) << c.value;
}

TEST(Wire, Int24WriteTakesLowBytesOfTruncatedQuotients) {
    struct Case {
        std::int32_t value;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {1000, {0xE8, 0x03, 0x00}},
        {8388607, {0xFF, 0xFF, 0x7F}},
        {0, {0x00, 0x00, 0x00}},
        // Beyond 24 bits the highest byte keeps only its own low byte.
        {0x01234567, {0x67, 0x45, 0x23}},
        // Negative counts: the quotients truncate toward zero, unlike two's complement.
        {-1, {0xFF, 0x00, 0x00}},
        {-256, {0x00, 0xFF, 0x00}},
        {-257, {0xFF, 0xFF, 0x00}},
        {-65536, {0x00, 0x00, 0xFF}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encoded(3, [&](std::uint8_t* p) { wire::writeInt24(p, c.value); }), c.bytes)
            << c.value;
    }
}

TEST(Wire, MicroInt32) {
    EXPECT_EQ(wire::readMicro(Bytes{0x60, 0xE3, 0x16, 0x00}.data()), 1.5L);
    EXPECT_EQ(wire::readMicro(Bytes{0xFF, 0xFF, 0xFF, 0xFF}.data()), -1.0L / 1000000.0L);

    struct Case {
        long double value;
        std::int32_t written;
    };
    const std::vector<Case> cases = {
        {1.5L, 1500000},
        {-0.0000015L, -1},
        {0.0000015L, 1},
        {0.0L, 0},
        {2000.0L, 2000000000},
        // Outside the int32 range the value saturates instead of wrapping or being undefined.
        {2200.0L, Max32},
        {-2200.0L, Min32},
        {Inf, Max32},
        {-Inf, Min32},
        {NaN, 0},
    };
    for (const auto& c : cases) {
        Bytes out(4);
        wire::writeMicro(out.data(), c.value);
        EXPECT_EQ(wire::readInt32(out.data()), c.written) << static_cast<double>(c.value);
    }
}

TEST(Wire, DecimalFloatDecode) {
    struct Case {
        Bytes bytes;
        long double value;
    };
    const std::vector<Case> cases = {
        {{0x60, 0xE3, 0x96, 0x06}, -1.5L},       {{0x60, 0xE3, 0x16, 0x06}, 1.5L},
        {{0x00, 0x00, 0x00, 0xFF}, 0.0L},        {{0xFF, 0xFF, 0x7F, 0x00}, 8388607.0L},
        {{0xFF, 0xFF, 0xFF, 0x00}, -8388607.0L}, {{0x01, 0x00, 0x00, 0x01}, 0.1L},
        {{0x0C, 0x00, 0x00, 0x02}, 0.12L},
    };
    for (const auto& c : cases) {
        const long double got = wire::DecodeDecimal24(c.bytes.data());
        // Within one unit in the last place of the extended value.
        const long double ulp = std::nextafter(std::fabs(c.value), Inf) - std::fabs(c.value);
        EXPECT_LE(std::fabs(got - c.value), ulp) << static_cast<double>(c.value);
        EXPECT_EQ(std::signbit(got) && got != 0, c.value < 0) << static_cast<double>(c.value);
    }
}

TEST(Wire, DecimalFloatEncode) {
    struct Case {
        long double value;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {1.5L, {0x60, 0xE3, 0x16, 0x06}},
        {-1.5L, {0x60, 0xE3, 0x96, 0x06}},
        {0.0L, {0x00, 0x00, 0x00, 0xFF}},
        {10000000.0L, {0xFF, 0xFF, 0x7F, 0x00}},
        {-10000000.0L, {0xFF, 0xFF, 0xFF, 0x00}},
        {0.5L, {0x40, 0x4B, 0x4C, 0x07}},
        // One more multiplication would pass the mantissa's limit: stays at exponent 0.
        {838860.8L, {0xCC, 0xCC, 0x0C, 0x00}},
        {Inf, {0xFF, 0xFF, 0x7F, 0x00}},
        // A negative value too small for the high byte goes out without its sign.
        {-1e-300L, {0x00, 0x00, 0x00, 0xFF}},
        // NaN has no decimal form and is sent as zero.
        {NaN, {0x00, 0x00, 0x00, 0xFF}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encoded(4, [&](std::uint8_t* p) { wire::EncodeDecimal24(c.value, p); }), c.bytes)
            << static_cast<double>(c.value);
    }
}

TEST(Wire, DecimalFloatRoundTripKeepsSevenDigits) {
    for (long double v : {1.0L, -1.0L, 0.999876L, 123.456L, -7654321.0L, 0.0001234L, 2.5e-6L}) {
        Bytes b(4);
        wire::EncodeDecimal24(v, b.data());
        EXPECT_NEAR(static_cast<double>(wire::DecodeDecimal24(b.data()) / v), 1.0, 2e-7)
            << static_cast<double>(v);
    }
}

TEST(Wire, RealToInt32Conversions) {
    struct Case {
        long double value;
        std::int32_t truncated, rounded;
    };
    const std::vector<Case> cases = {
        {0.5L, 0, 0},
        {1.5L, 1, 2},
        {2.5L, 2, 2},
        {-0.5L, 0, 0},
        {-1.5L, -1, -2},
        {-2.5L, -2, -2},
        {1.9L, 1, 2},
        {-1.9L, -1, -2},
        {2.4999L, 2, 2},
        {2.5001L, 2, 3},
        {2147483646.5L, 2147483646, 2147483646},
        {2147483647.5L, Max32, Max32},
        {-2147483648.5L, Min32, Min32},
        {3e9L, Max32, Max32},
        {-3e9L, Min32, Min32},
        {1e30L, Max32, Max32},
        {Inf, Max32, Max32},
        {-Inf, Min32, Min32},
        {NaN, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wire::truncToInt32(c.value), c.truncated) << static_cast<double>(c.value);
        EXPECT_EQ(wire::roundHalfEvenToInt32(c.value), c.rounded) << static_cast<double>(c.value);
    }
}

TEST(Wire, DeviceKindFromReadinessByte) {
    const std::vector<std::pair<std::uint8_t, std::uint8_t>> cases = {
        {0x00, 0}, {0x0F, 0}, {0x10, 2}, {0x1F, 2}, {0x20, 3}, {0x2F, 3},
        {0x30, 4}, {0x3F, 4}, {0x40, 0}, {0xDF, 0}, {0xE0, 1}, {0xE1, 0},
    };
    for (const auto& [b, kind] : cases) EXPECT_EQ(wire::deviceKindFromReadiness(b), kind) << +b;
}

TEST(Wire, ResolutionFrame) {
    struct Case {
        wire::ResolutionFrame frame;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {{3, 5, 2, 0x05}, {0x53, 0x02, 0x0A, 0x00}},
        {{10, 10, 10, 0x07}, {0xAA, 0x0A, 0x08, 0x00}},
        {{0, 0, 0, 0x00}, {0x00, 0x00, 0x0F, 0x00}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encoded(4, [&](std::uint8_t* p) { wire::encodeResolutionFrame(c.frame, p); }),
                  c.bytes);
        const auto back = wire::decodeResolutionFrame(c.bytes.data());
        EXPECT_EQ(back.x, c.frame.x);
        EXPECT_EQ(back.y, c.frame.y);
        EXPECT_EQ(back.z, c.frame.z);
        EXPECT_EQ(back.types, c.frame.types);
    }
    // X + 16 Y wraps modulo 256 on the way out; Z's high nibble and byte 3 are ignored coming in.
    EXPECT_EQ(encoded(4,
                      [](std::uint8_t* p) {
                          wire::encodeResolutionFrame({15, 20, 1, 0}, p);
                      }),
              (Bytes{0x4F, 0x01, 0x0F, 0x00}));
    const auto f = wire::decodeResolutionFrame(Bytes{0x21, 0xF3, 0xF0, 0x99}.data());
    EXPECT_EQ(f.z, 3);
    EXPECT_EQ(f.types, 0xFF);
}

TEST(Wire, CorrectionBlockEncodesRoundedRowsAxisByAxis) {
    TCorrectionTable x, y, z;
    x[1] = {0.5L, 1.5L};
    x[2] = {-2.5L, 3e12L};
    y[1] = {10.4L, -10.6L};
    y[2] = {NaN, -3e12L};
    z[1] = {7, 8};
    z[2] = {9, 10};
    x[3] = {99, 99};  // beyond Count: not sent
    Bytes block(wire::correctionBlockSize(2) + 1, 0xCC);
    EXPECT_EQ(wire::encodeCorrectionBlock(2, 0x12345670u, x, y, z, block.data()), 53);
    EXPECT_EQ(block[53], 0xCC);
    EXPECT_EQ(block[0], 2);
    EXPECT_EQ(wire::readInt32(&block[1]), 0x12345670);
    const std::vector<std::int32_t> rows = {0, 2, -2, Max32, 10, -11, 0, Min32, 7, 8, 9, 10};
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(wire::readInt32(&block[5 + 4 * i]), rows[i]) << i;
}

TEST(Wire, CorrectionBlockDecode) {
    for (int n : {0, 1, 255}) {
        Bytes block(static_cast<std::size_t>(wire::correctionBlockSize(n)));
        block[0] = static_cast<std::uint8_t>(n);
        wire::writeInt32(&block[1], -2);
        for (int i = 0; i < 6 * n; ++i) wire::writeInt32(&block[5 + 4 * i], i - 1000);
        TCorrectionTable x, y, z;
        for (auto* t : {&x, &y, &z})
            for (auto& row : t->rows) row = {42, 43};
        std::uint8_t count = 0;
        std::uint32_t flags = 0;
        wire::decodeCorrectionBlock(block.data(), count, flags, x, y, z);
        EXPECT_EQ(count, n);
        EXPECT_EQ(flags, 0xFFFFFFFEu);
        int i = 0;
        for (auto* t : {&x, &y, &z}) {
            for (int row = 1; row <= TCorrectionTable::Size; ++row) {
                const bool used = row <= n;
                ASSERT_EQ((*t)[row].Position, used ? i - 1000 : 0) << n << " " << row;
                ASSERT_EQ((*t)[row].Corrected, used ? i + 1 - 1000 : 0) << n << " " << row;
                if (used) i += 2;
            }
        }
    }
}

}  // namespace
