#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "readout/Formats.h"

namespace readout {
namespace {

struct AxisTextCase {
    double value;
    int decimals;
    bool angular;
    const char* text;
};

TEST(FormatsTest, AxisValueTexts) {
    const AxisTextCase cases[] = {
        // linear: fixed places, sign, at most 10 significant digits
        {12.3456, 3, false, "12.346"},
        {-0.5, 4, false, "-0.5000"},
        {0.0, 6, false, "0.000000"},
        {1.2345, 4, false, "1.2345"},
        {7.0, 1, false, "7.0"},
        {-12.5, 1, false, "-12.5"},
        {123456.123456789, 6, false, "123456.123500"},
        {9999999999.4, 2, false, "9999999999.00"},
        {0.0123456789012, 12, false, "0.012345678900"},
        {12345678901.0, 2, false, "1.23456789E10"},
        {-12345678901.0, 2, false, "-1.23456789E10"},
        {-0.00001, 4, false, "0.0000"},
        {0.00005, 4, false, "0.0001"},
        // angular: degrees-minutes-seconds with half-even seconds and wrap
        {12.5, 4, true, "12'30'00"},
        {-0.5, 4, true, "359'30'00"},
        {720.5, 4, true, "0'30'00"},
        {359.9999, 4, true, "360'00'00"},
        {-0.0001, 4, true, "0'00'00"},
        {-0.0002, 4, true, "359'59'59"},
        {0.0, 4, true, "0'00'00"},
        {900000.0, 4, true, "0'00'00"},
        {900090.0, 4, true, "90'00'00"},
        {10.5 + 15.0 / 3600, 4, true, "10'30'15"},
        {-360.0, 4, true, "0'00'00"},
        {-370.25, 4, true, "349'45'00"},
        // exactly half a second: 0.5 goes down to 0, 1.5 up to 2
        {0.5 / 3600, 4, true, "0'00'00"},
        {1.5 / 3600, 4, true, "0'00'02"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatAxisValue(c.value, c.decimals, c.angular), c.text)
            << c.value << " decimals " << c.decimals << (c.angular ? " angular" : " linear");
}

TEST(FormatsTest, GeneralForm) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {12.5, "12.5"},
        {-12.5, "-12.5"},
        {0.0000015, "1.5E-6"},
        {0.000001, "1E-6"},
        {0.00001, "0.00001"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {100.0, "100"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"},
        {1e20, "1E20"},
        {-0.0000015, "-1.5E-6"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatGeneral(c.value), c.text) << c.value;
}

TEST(FormatsTest, ParseDecimal) {
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"12.5", 12.5},
        {"-12.5", -12.5},
        {"+3", 3.0},
        {"  1.5E-6\t", 1.5e-6},
        {"1e3", 1000.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"0.0", 0.0},
        {"1,5", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {".", std::nullopt},
        {"1e", std::nullopt},
        {"1.2.3", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"0x10", std::nullopt},
        {"1 2", std::nullopt},
        {"--1", std::nullopt},
        {"1e999", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseDecimal(c.text), c.value) << '"' << c.text << '"';
}

TEST(FormatsTest, GeneralFormReadsBack) {
    for (double v : {-12.5, 0.0000015, 1.0 / 3, 123456.789, 1e-300, 98765432109876.5})
        EXPECT_NEAR(*parseDecimal(formatGeneral(v)), v, std::fabs(v) * 1e-14) << v;
}

// However large, a position is wrapped into one turn exactly: a whole number of degrees stays
// whole (a box storing a calibration in the millions reaches such values).
TEST(FormatsTest, AngularValuesOfAnyMagnitudeWrapExactly) {
    const double largest = std::numeric_limits<double>::max();
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {7.835234267411326e21, "176'00'00"},
        {-6.64149903301246e25, "352'00'00"},
        {1e34, "40'00'00"},  // beyond the seconds a 64-bit integer holds
        {largest, "128'00'00"},
        {-largest, "232'00'00"},
        {2147483647.0 * 8388607.0 * 360.0, "0'00'00"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatAxisValue(c.value, 4, true), c.text) << c.value;
}

// At the top of the range, rounding to the shown digits would go past the largest double; the
// text is cut instead, so that it reads back.
TEST(FormatsTest, TopOfTheRangeReadsBack) {
    const double largest = std::numeric_limits<double>::max();
    const struct {
        double value;
        int precision;
        const char* text;
    } cases[] = {
        {largest, 15, "1.79769313486231E308"},
        {-largest, 15, "-1.79769313486231E308"},
        {1.797693134862315e308, 15, "1.79769313486231E308"},
        {1.7976931348623e308, 15, "1.7976931348623E308"},
        {largest, 10, "1.797693134E308"},
        {largest, 2, "1.7E308"},
    };
    for (const auto& c : cases) {
        const std::string text = formatGeneral(c.value, c.precision);
        EXPECT_EQ(text, c.text) << c.value;
        const auto back = parseDecimal(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_NEAR(*back, c.value, std::fabs(c.value) * std::pow(10.0, 1 - c.precision)) << text;
    }
    EXPECT_EQ(formatAxisValue(-largest, 3, false), "-1.797693134E308");
}

// Places beyond any fixed buffer: a zero with 500 of them.
TEST(FormatsTest, ManyPlaces) {
    EXPECT_EQ(formatFixed(0.0, 500, 10), "0." + std::string(500, '0'));
}

TEST(FormatsTest, ResolutionCodeTable) {
    const struct {
        int kind, code, maxCode;
        double step;
        int decimals;
    } cases[] = {
        {1, 1, 7, 0.0005, 4}, {1, 2, 7, 0.001, 3},  {1, 3, 7, 0.005, 3},   {1, 4, 7, 0.01, 2},
        {1, 5, 7, 0.05, 2},   {1, 6, 7, 0.1, 1},    {1, 7, 7, 0.0001, 4},  {1, 0, 7, 0.0, 6},
        {1, 8, 7, 0.0, 6},    {1, 9, 7, 0.0, 6},    {2, 0, 10, 0.0001, 4}, {2, 2, 10, 0.0001, 4},
        {3, 3, 10, 0.001, 3}, {3, 5, 10, 0.001, 3}, {4, 6, 10, 0.01, 2},   {4, 7, 10, 0.01, 2},
        {2, 8, 10, 0.1, 1},   {2, 9, 10, 1.0, 1},   {2, 10, 10, 1e-5, 5},  {2, 11, 10, 0.0, 6},
        {4, 15, 10, 0.0, 6},  {0, 1, 0, 0.0, 6},    {5, 1, 10, 0.0, 6},    {2, 10, 0, 0.0, 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stepForCode(c.kind, c.code, c.maxCode), c.step)
            << "kind " << c.kind << " code " << c.code;
        EXPECT_EQ(decimalsForCode(c.kind, c.code, c.maxCode), c.decimals)
            << "kind " << c.kind << " code " << c.code;
    }
}

TEST(FormatsTest, CountToPosition) {
    const struct {
        int kind;
        std::int32_t count;
        AxisScale axis;
        double position;
    } cases[] = {
        {1, 12345, {false, 1, 0.0001, 1.0}, 1.2345},
        {1, 1000, {false, 1, 0.005, 0.5}, 2.5},
        {1, 1000, {true, 4000, 1.0, 0.5}, 45.0},
        {2, 7, {false, 1, 1.0, 0.5}, 7.0},
        {3, -20, {false, 1, 0.001, 123.0}, -0.02},
        {4, 10000000, {true, 4000, 1.0, 9.0}, 900000.0},
        {4, 10001000, {true, 4000, 1.0, 9.0}, 900090.0},
        {2, std::numeric_limits<std::int32_t>::min(), {false, 1, 1.0, 1.0}, -2147483648.0},
        {0, 500, {false, 1, 1.0, 1.0}, 0.0},
        {5, 500, {true, 4, 1.0, 1.0}, 0.0},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(positionFromCount(c.kind, c.count, c.axis), c.position)
            << "kind " << c.kind << " count " << c.count;
}

}  // namespace
}  // namespace readout
