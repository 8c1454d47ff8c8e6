#include <gtest/gtest.h>

#include <optional>

#include "config/Entries.h"

namespace {

struct RealCase {
    const char* text;
    std::optional<double> value;
};

void expectReals(std::optional<double> (*parse)(const QString&), const RealCase* begin,
                 const RealCase* end) {
    for (const RealCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->text);
        const std::optional<double> got = parse(QString::fromUtf8(c->text));
        ASSERT_EQ(got.has_value(), c->value.has_value());
        if (got) {
            EXPECT_DOUBLE_EQ(*got, *c->value);
        }
    }
}

// The first blank is the one taken out, so a leading blank uses it up.
TEST(CellValue, CommaOrPointAndOneThousandsBlank) {
    const RealCase cases[] = {
        {"0,25", 0.25},      {"0.25", 0.25}, {"1 000", 1000}, {" 1 000 ", {}},
        {"1 000 000", {}},   {"", {}},       {"   ", {}},     {"abc", {}},
        {"12a", {}},         {"-3.5", -3.5}, {"+2", 2},       {"1e3", 1000},
        {"1.000,5", {}},     {"1,2,3", {}},  {"\t7\r\n", 7},  {"inf", {}},
        {"nan", {}},         {"1e999", {}},  {"--1", {}},     {"+-1", {}},
        {"1 234,5", 1234.5}, {",5", 0.5},    {"5.", 5},       {"0x10", {}},
    };
    expectReals(ParseCellValue, std::begin(cases), std::end(cases));
}

TEST(Calibration, CommaOrPointWhateverTheLocale) {
    const RealCase cases[] = {
        {"1,5", 1.5},
        {"1.5", 1.5},
        {"9.999999", 9.999999},
        {"-9,999999", -9.999999},
        {"1.2.3", {}},
        {"1,2.3", {}},
        {"", {}},
        {"1 000", {}},
        {"0.0", 0},
        {" 2.5 ", 2.5},
        {"abc", {}},
        {"1.000000", 1},
    };
    expectReals(entries::parseCalibration, std::begin(cases), std::end(cases));
}

TEST(WholeNumber, SignedAndNothingElse) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    };
    const Case cases[] = {
        {"999999", 999999}, {"0", 0},    {"-1", -1},  {"+25", 25},   {" 42 ", 42},
        {"", {}},           {"12a", {}}, {"1.0", {}}, {"0.0", {}},   {"2147483647", 2147483647},
        {"2147483648", {}}, {"-", {}},   {"+", {}},   {"1 000", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(entries::parseWholeNumber(QString::fromUtf8(c.text)), c.value);
    }
}

}  // namespace
