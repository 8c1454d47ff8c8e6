#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "link/CorrectionTable.h"

// One axis's segment correction table as a CSV file: position and corrected value a line, in the
// units the correction dialog shows (docs/config-file.md). Read as spreadsheets and measuring
// software write it; written so that spreadsheets in any locale open it.
namespace correctioncsv {

// Far more than 255 rows take, even with long headers and quoting.
constexpr std::size_t maxFileBytes = 256 * 1024;
// The box's rows per table: the count travels as one byte.
constexpr int maxRows = 255;

// How the correction dialog shows the axis's values: a box unit times `scale` (the resolution
// step of the axis's code; 0 counts as 1, as when the dialog sends), with `decimals` places.
struct AxisUnits {
    double scale = 1.0;
    int decimals = 0;
};

// Rows 1 to `rows` in box units (whole numbers that fit 32 bits), the rest 0.
struct Table {
    int rows = 0;
    TCorrectionTable values;
};

// A file's table, or why it was refused: a Polish sentence naming the line ("wiersz 7: ...").
struct ReadResult {
    std::optional<Table> table;
    std::string error;
};

// Two values a line, separated by ';' or, when the file has no ';', by ','; each may be quoted
// ("1,5" for a decimal comma in a comma-separated file), written with a decimal point or comma
// and one blank between thousands, as a typed correction cell. An optional header line, a UTF-8
// byte order mark, CR LF line ends, empty lines and empty trailing columns are allowed. Refused:
// a value that is no number, has more places than the axis shows or is no whole number of its
// steps, falls below the position above it (equal ones pass), or does not fit the box; more than
// maxRows rows, none at all, or a file larger than maxFileBytes.
ReadResult parseCsv(std::string_view text, AxisUnits axis);

// A header "X;X'" for the axis `letter`, then one line "position;corrected" for each of rows 1 to
// `rows` (at most maxRows), ';'-separated, '.' as the decimal point, CR LF line ends. Whole box
// units are written exactly with the axis's decimals, so that what is read writes back the same.
std::string csvText(const TCorrectionTable& table, int rows, char letter, AxisUnits axis);

// The exact text of a whole number of box units in the axis's units and places ("0.100"), as
// csvText writes it; read back it gives the same units.
std::string unitsText(long double units, const AxisUnits& axis);

// The file at `path` read and parsed; a file that cannot be read is refused too.
ReadResult loadCsvFile(const std::string& path, AxisUnits axis);
// The text put in place of the file at `path`, whole or not at all (platform::replaceFile);
// `error` says why not (platform::fileErrorText).
bool saveCsvFile(const std::string& path, const TCorrectionTable& table, int rows, char letter,
                 AxisUnits axis, int* error = nullptr);

}  // namespace correctioncsv
