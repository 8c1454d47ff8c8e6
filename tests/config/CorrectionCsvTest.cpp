// A correction table's CSV file: what spreadsheets and measuring software write is read into box
// units with the checks of a typed cell, and what is written reads back exactly.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/CorrectionCsv.h"

namespace {

using correctioncsv::AxisUnits;
using Rows = std::vector<std::pair<long double, long double>>;

constexpr AxisUnits micrometres{0.001, 3};

struct Accepted {
    const char* text;
    AxisUnits axis;
    Rows rows;
};

const Accepted accepted[] = {
    // A Polish spreadsheet: ';', decimal comma, CR LF, blank lines after the data.
    {"Pozycja;Korekta\r\n0,100;0,102\r\n0,2;-0,199\r\n\r\n;\r\n",
     micrometres,
     {{100, 102}, {200, -199}}},
    // A byte order mark, ',' between quoted values with a decimal comma, equal positions.
    {"\xEF\xBB\xBF\"1,5\",\"2\"\n\"1,5\" , 3.25\n", micrometres, {{1500, 2000}, {1500, 3250}}},
    // One blank between thousands, empty trailing columns, an exponent.
    {"1 000.5;2e-1;;\n", {0.1, 1}, {{10005, 2}}},
    // Steps of five in the last place.
    {"-0.0015;0.0005\n", {0.0005, 4}, {{-3, 1}}},
    // A spreadsheet's tab-separated text, decimal commas, its header of names and a number.
    {"X\tX' 2024\n0,1\t0,102\n", micrometres, {{100, 102}}},
};

TEST(CorrectionCsv, ReadsWhatSpreadsheetsWriteInBoxUnits) {
    for (const Accepted& a : accepted) {
        const auto read = correctioncsv::parseCsv(a.text, a.axis);
        ASSERT_TRUE(read.table) << a.text << ": " << read.error;
        ASSERT_EQ(read.table->rows, static_cast<int>(a.rows.size())) << a.text;
        for (std::size_t i = 0; i < a.rows.size(); ++i) {
            const TCorrectionEntry& entry = read.table->values[static_cast<int>(i) + 1];
            EXPECT_EQ(entry.Position, a.rows[i].first) << a.text << " row " << i + 1;
            EXPECT_EQ(entry.Corrected, a.rows[i].second) << a.text << " row " << i + 1;
        }
    }
}

struct Refused {
    std::string text;
    AxisUnits axis;
    const char* message;
};

TEST(CorrectionCsv, RefusesWhatATypedCellWouldNotPassNamingTheLine) {
    std::string tooMany = "X;X'\n";
    for (int i = 0; i <= correctioncsv::maxRows; ++i) tooMany += std::to_string(i) + ";0\n";
    const Refused refusals[] = {
        {"X;X'\n2;0\n\n1;0\n", micrometres, "wiersz 4: wartości położenia powinny rosnąć."},
        {"1;abc\n", micrometres, "wiersz 1: niepoprawna wartość „abc” w kolumnie 2."},
        {"1;0\nabc;0\n", micrometres,
         "wiersz 2: niepoprawna wartość „abc” w kolumnie 1 (położenie)."},
        {"0.1234;0\n", micrometres,
         "wiersz 1: wartość „0.1234” w kolumnie 1 (położenie) ma więcej miejsc po przecinku niż "
         "oś (3)."},
        {"0;0.0001\n",
         {0.0005, 4},
         "wiersz 1: wartość „0.0001” w kolumnie 2 nie jest wielokrotnością kroku osi (0.0005)."},
        {"0;2147483.648\n", micrometres,
         "wiersz 1: wartość „2147483.648” w kolumnie 2 jest poza zakresem urządzenia."},
        {"1;2;3\n", micrometres,
         "wiersz 1: oczekiwano dwóch wartości (położenie i wartość po korekcji), a jest ich 3."},
        {"\"1;2\n", micrometres, "wiersz 1: niezamknięty cudzysłów."},
        {"\"1\"x;2\n", micrometres, "wiersz 1: tekst po zamykającym cudzysłowie."},
        {tooMany, micrometres, "wiersz 257: więcej niż 255 wierszy: tyle mieści urządzenie."},
        {"X;X'\r\n\r\n", micrometres,
         "Plik CSV nie zawiera żadnego wiersza wartości, tylko nagłówek (wiersz 1: „X;X'”)."},
        // A first row is a header only when none of its values is a number: one with a typo, a
        // minus or a no-break space from a word processor is refused, not dropped.
        {"1.O;2\n3;4\n", micrometres,
         "wiersz 1: niepoprawna wartość „1.O” w kolumnie 1 (położenie)."},
        {"\xE2\x88\x92"
         "1;2\n3;4\n",
         micrometres,
         "wiersz 1: niepoprawna wartość „?1” w kolumnie 1 (położenie): znak U+2212 nie należy do "
         "liczby."},
        {"X;X'\n1 2\n", micrometres,
         "wiersz 2: oczekiwano dwóch wartości (położenie i wartość po korekcji), a jest jedna: "
         "wartości rozdziela się średnikiem, przecinkiem albo tabulatorem."},
        {"0,100,0,102\n", micrometres,
         "wiersz 1: oczekiwano dwóch wartości (położenie i wartość po korekcji), a jest ich 4. "
         "Przy przecinku dziesiętnym wartości rozdziela się średnikiem."},
        {std::string(correctioncsv::maxFileBytes + 1, '\n'), micrometres,
         "Plik CSV jest za duży (ponad 262144 bajtów)."},
    };
    for (const Refused& r : refusals) {
        const auto read = correctioncsv::parseCsv(r.text, r.axis);
        EXPECT_FALSE(read.table) << r.text.substr(0, 40);
        EXPECT_EQ(read.error, r.message) << r.text.substr(0, 40);
    }
}

TEST(CorrectionCsv, WritesExactValuesThatReadBack) {
    TCorrectionTable table;
    table[1] = {-2147483648.0L, -3};
    table[2] = {0, 2147483647.0L};
    const std::string text = correctioncsv::csvText(table, 2, 'Y', {0.0005, 4});
    EXPECT_EQ(text, "Y;Y'\r\n-1073741.8240;-0.0015\r\n0.0000;1073741.8235\r\n");
    const auto read = correctioncsv::parseCsv(text, {0.0005, 4});
    ASSERT_TRUE(read.table) << read.error;
    EXPECT_EQ(read.table->values, table);
}

}  // namespace
