// The number formats and frames on the wire, from any bytes and any values. Where the format
// defines one, the round trip holds: bytes decoded and encoded again are the same bytes, values
// encoded and decoded again are the same values.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/Check.h"
#include "link/WireFormats.h"

namespace {

using Frame = std::array<std::uint8_t, 4>;

void checkIntegers(FuzzedDataProvider& in) {
    Frame bytes{}, again{};
    in.ConsumeData(bytes.data(), bytes.size());
    wire::writeInt32(again.data(), wire::readInt32(bytes.data()));
    FUZZ_CHECK(again == bytes, "int32 bytes");
    const auto v = in.ConsumeIntegral<std::int32_t>();
    wire::writeInt32(again.data(), v);
    FUZZ_CHECK(wire::readInt32(again.data()) == v, "int32 %d", v);

    // int24: two's complement when read; written as quotients truncated toward zero, which is
    // the same for the counts 0 to 2^23 - 1.
    const std::int32_t read = wire::readInt24(bytes.data());
    FUZZ_CHECK(read >= -8388608 && read <= 8388607, "int24 %d", read);
    if (read >= 0) {
        again = {};
        wire::writeInt24(again.data(), read);
        FUZZ_CHECK(std::memcmp(again.data(), bytes.data(), 3) == 0, "int24 bytes of %d", read);
    }
    again = {};
    wire::writeInt24(again.data(), v);
    for (int k = 0; k < 3; ++k) {
        const std::int32_t quotient = k == 0 ? v : k == 1 ? v / 256 : v / 65536;
        FUZZ_CHECK(again[k] == static_cast<std::uint8_t>(quotient & 0xFF), "int24 of %d", v);
    }
    if (v >= 0 && v <= 8388607) FUZZ_CHECK(wire::readInt24(again.data()) == v, "int24 %d", v);
}

void checkReals(FuzzedDataProvider& in) {
    Frame bytes{}, again{};
    in.ConsumeData(bytes.data(), bytes.size());

    // micro-int32: a whole number of millionths reads back within one of itself.
    const long double micro = wire::readMicro(bytes.data());
    wire::writeMicro(again.data(), micro);
    const auto apart =
        static_cast<long long>(wire::readInt32(again.data())) - wire::readInt32(bytes.data());
    FUZZ_CHECK(apart >= -1 && apart <= 1, "micro %d written as %d", wire::readInt32(bytes.data()),
               wire::readInt32(again.data()));

    // Decimal float: any bytes are a finite value within the 23-bit mantissa; the value written
    // again reads back within the mantissa's precision.
    const long double decimal = wire::DecodeDecimal24(bytes.data());
    FUZZ_CHECK(std::isfinite(decimal) && std::fabs(decimal) <= 8388607.0L, "decimal %Lg", decimal);
    wire::EncodeDecimal24(decimal, again.data());
    if (again[3] < 255) {
        const long double back = wire::DecodeDecimal24(again.data());
        FUZZ_CHECK(std::fabs(back - decimal) <= 2e-6L * std::fabs(decimal),
                   "decimal %.20Lg as %.20Lg", decimal, back);
    }

    // Any value is written without harm: saturated, its magnitude within the mantissa.
    const long double value = in.ConsumeFloatingPoint<double>();
    wire::EncodeDecimal24(value, again.data());
    FUZZ_CHECK(std::fabs(wire::DecodeDecimal24(again.data())) <= 8388607.0L, "decimal of %Lg",
               value);
    wire::writeMicro(again.data(), value);
    const std::int32_t truncated = wire::truncToInt32(value);
    const std::int32_t rounded = wire::roundHalfEvenToInt32(value);
    if (std::isfinite(value) && std::fabs(value) < 2e9L) {
        FUZZ_CHECK(truncated == static_cast<std::int32_t>(std::trunc(value)), "trunc %Lg", value);
        FUZZ_CHECK(std::fabs(static_cast<long double>(rounded) - value) <= 0.5L, "round %Lg",
                   value);
    }
}

void checkFrames(FuzzedDataProvider& in) {
    Frame bytes{}, again{};
    in.ConsumeData(bytes.data(), bytes.size());
    const wire::ResolutionFrame f = wire::decodeResolutionFrame(bytes.data());
    wire::encodeResolutionFrame(f, again.data());
    // Byte 3 and the high half of byte 1 carry nothing.
    FUZZ_CHECK(again[0] == bytes[0] && again[1] == (bytes[1] & 0x0F) && again[2] == bytes[2] &&
                   again[3] == 0,
               "resolution frame");
    const wire::ResolutionFrame back = wire::decodeResolutionFrame(again.data());
    FUZZ_CHECK(back.x == f.x && back.y == f.y && back.z == f.z && back.types == f.types,
               "resolution codes");
    FUZZ_CHECK(wire::deviceKindFromReadiness(bytes[0]) <= 4, "kind of %02X", bytes[0]);

    // A correction block read and written again is the same bytes; the tables beyond its rows
    // are zero.
    const std::uint8_t rows = in.ConsumeIntegral<std::uint8_t>();
    const auto size = static_cast<std::size_t>(wire::correctionBlockSize(rows));
    auto block = std::make_unique<std::uint8_t[]>(size);
    auto written = std::make_unique<std::uint8_t[]>(size);
    block[0] = rows;
    std::memset(block.get() + 1, 0, size - 1);
    in.ConsumeData(block.get() + 1, size - 1);
    static TCorrectionTable x, y, z;
    std::uint8_t n = 0;
    std::uint32_t flags = 0;
    wire::decodeCorrectionBlock(block.get(), n, flags, x, y, z);
    FUZZ_CHECK(n == rows, "rows %d", n);
    for (const TCorrectionTable* t : {&x, &y, &z})
        for (int row = rows + 1; row <= TCorrectionTable::Size; ++row)
            FUZZ_CHECK((*t)[row].Position == 0 && (*t)[row].Corrected == 0, "row %d", row);
    FUZZ_CHECK(wire::encodeCorrectionBlock(n, flags, x, y, z, written.get()) == std::int32_t(size),
               "block size");
    FUZZ_CHECK(std::memcmp(block.get(), written.get(), size) == 0, "correction block of %d rows",
               rows);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    checkIntegers(provider);
    checkReals(provider);
    checkFrames(provider);
    return 0;
}
