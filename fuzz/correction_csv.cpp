// A correction table's CSV file. The first byte picks the axis's resolution code of a kind 2 to 4
// box (its step and places as the correction dialog shows them); the rest is the file. It is read
// without harm; a refusal says why; what is read is written, and that text reads back as the same
// table and writes back byte for byte.

#include <cstdint>
#include <string>

#include "config/CorrectionCsv.h"
#include "fuzz/Check.h"
#include "readout/Formats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const int code = input.take<std::uint8_t>() % 11;
    const correctioncsv::AxisUnits axis{readout::stepForCode(2, code, 10),
                                        readout::decimalsForCode(2, code, 10)};
    const correctioncsv::ReadResult read = correctioncsv::parseCsv(input.rest(), axis);
    if (!read.table) {
        FUZZ_CHECK(!read.error.empty(), "a refusal without a message");
        return 0;
    }
    const correctioncsv::Table& table = *read.table;
    FUZZ_CHECK(table.rows >= 1 && table.rows <= correctioncsv::maxRows, "%d rows", table.rows);
    for (int row = 2; row <= table.rows; ++row)
        FUZZ_CHECK(table.values[row].Position >= table.values[row - 1].Position, "row %d falls",
                   row);
    const std::string written = correctioncsv::csvText(table.values, table.rows, 'X', axis);
    const correctioncsv::ReadResult again = correctioncsv::parseCsv(written, axis);
    FUZZ_CHECK(again.table, "what was written is refused: %s", again.error.c_str());
    FUZZ_CHECK(again.table->rows == table.rows && again.table->values == table.values,
               "what was written reads as another table (code %d)", code);
    FUZZ_CHECK(correctioncsv::csvText(again.table->values, again.table->rows, 'X', axis) == written,
               "written twice, two texts");
    return 0;
}
