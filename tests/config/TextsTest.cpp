#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "config/CellText.h"
#include "config/Resolution.h"

namespace {

struct CellCase {
    long double value;
    int decimals;
    const char* text;
};

TEST(CorrectionCellText, FixedAfterEightSignificantDigitsScientificBeyond) {
    const CellCase cases[] = {
        {100 * 0.001L, 3, "0.100"},  // box units times the axis scale
        {0, 3, "0.000"},
        {0, 0, "0"},
        {-0.0001L, 3, "0.000"},  // rounds to zero: no sign
        {-0.3L, 3, "-0.300"},
        {123.456L, 2, "123.46"},
        {2.0005L, 5, "2.00050"},
        {123456.789L, 4, "123456.7900"},  // 8 digits kept, the rest zeros
        {12345678.9L, 1, "12345679.0"},
        {-12345678.94L, 2, "-12345679.00"},
        {99999999.4L, 0, "99999999"},
        {99999999.7L, 0, "1E8"},  // rounding makes 9 integer digits
        {123456789, 3, "1.2345679E8"},
        {-123456789012.0L, 3, "-1.2345679E11"},
        {200000000, 2, "2E8"},
        {0.00012345678L, 12, "0.000123456780"},
        {0.00012345678L, 6, "0.000123"},
        {1.5L, 0, "2"},
        {7, -1, "7"},  // negative decimals read as none
    };
    for (const CellCase& c : cases) {
        EXPECT_EQ(correctionCellText(c.value, c.decimals), c.text)
            << "value " << static_cast<double>(c.value) << " decimals " << c.decimals;
    }
}

// Values with no digits, and more places than a fixed buffer would hold.
TEST(CorrectionCellText, InfinitiesNaNAndManyPlaces) {
    const long double inf = std::numeric_limits<long double>::infinity();
    EXPECT_EQ(correctionCellText(inf, 3), "INF");
    EXPECT_EQ(correctionCellText(-inf, 3), "-INF");
    EXPECT_EQ(correctionCellText(std::numeric_limits<long double>::quiet_NaN(), 3), "NAN");
    EXPECT_EQ(correctionCellText(std::ldexp(1.0L, -500), 155),
              "0." + std::string(150, '0') + "30549");
}

TEST(ResolutionLists, EntriesCodesAndLimitsPerKind) {
    struct KindCase {
        int kind;
        int entries;
        int maxCode;
        int angularMinimum;
        std::vector<int> codes;  // code of each index
        int noSelectionCode;
    };
    const KindCase cases[] = {
        {1, 7, 7, 2, {7, 1, 2, 3, 4, 5, 6}, -1},
        {2, 11, 10, 4, {10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, -2},
        {3, 11, 10, 4, {10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, -2},
        {4, 11, 10, 4, {10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, -2},
        {0, 0, 0, -1, {0, 0, 0}, 0},
        {5, 0, 0, -1, {0, 0, 0}, 0},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(resolution::entries(c.kind).size(), c.entries);
        EXPECT_EQ(resolution::maxCode(c.kind), c.maxCode);
        EXPECT_EQ(resolution::angularMinimumIndex(c.kind), c.angularMinimum);
        EXPECT_EQ(resolution::codeForIndex(c.kind, -1), c.noSelectionCode);
        for (int index = 0; index < static_cast<int>(c.codes.size()); ++index) {
            const int code = c.codes[static_cast<std::size_t>(index)];
            EXPECT_EQ(resolution::codeForIndex(c.kind, index), code) << "index " << index;
            // Every code selects back the index it came from; other kinds always select 0.
            EXPECT_EQ(resolution::indexForCode(c.kind, code), c.entries ? index : 0);
        }
        if (c.angularMinimum >= 0) {
            EXPECT_EQ(resolution::entries(c.kind)[c.angularMinimum], "0.001");
        }
    }
}

TEST(ResolutionLists, CodesBeyondTheListSelectBeyondIt) {
    EXPECT_EQ(resolution::indexForCode(1, 8), 8);
    EXPECT_EQ(resolution::indexForCode(3, 11), 12);
    EXPECT_EQ(resolution::entries(1).first(), "0.0001");
    EXPECT_EQ(resolution::entries(4).last(), "1");
}

}  // namespace
