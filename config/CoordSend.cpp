// The segment correction dialog's send: the grids in box units, one write, the end.
#include <QPushButton>
#include <cmath>
#include <limits>

#include "config/CorrectionGrid.h"
#include "config/Entries.h"
#include "config/coordUnit.h"
#include "link/RSLib.h"
#include "platform/Prompts.h"

namespace {

bool blank(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() > u' ') return false;
    }
    return true;
}

// The box takes every value as a whole 32-bit number.
bool fitsTheWire(double value) {
    const double rounded = std::nearbyint(value);
    return rounded >= std::numeric_limits<std::int32_t>::min() &&
           rounded <= std::numeric_limits<std::int32_t>::max();
}

}  // namespace

const TcoordForm::LoadedCell* TcoordForm::loadedCell(const QTableWidget* g, int column,
                                                     int row) const {
    for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) {
        if (g != grid(axis)) continue;
        const auto& rows = loaded_[static_cast<std::size_t>(axisIndex(axis))];
        if (row < 1 || static_cast<std::size_t>(row) >= rows.size()) return nullptr;
        return &rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column - 1)];
    }
    return nullptr;
}

void TcoordForm::GridToTable(QTableWidget* g, QChar letter, long double scale,
                             TCorrectionTable& table) const {
    table = TCorrectionTable{};
    // Kind 1 boxes have no tables: they get zeros whatever the grid shows.
    if (service_.DeviceKind() < 2) return;
    gridValues(g, letter, scale, table);
}

void TcoordForm::gridValues(const QTableWidget* g, QChar letter, long double scale,
                            TCorrectionTable& table) const {
    table = TCorrectionTable{};
    if (scale == 0) scale = 1;
    for (int row = 1; row < g->rowCount(); ++row) {
        for (int column = 1; column <= 2; ++column) {
            const QTableWidgetItem* item = g->item(row, column);
            const QString text = item ? item->text() : QString();
            const LoadedCell* asLoaded = loadedCell(g, column, row);
            long double value = 0;
            if (asLoaded && text == asLoaded->text) {
                value = asLoaded->value;
            } else if (!blank(text)) {
                const std::optional<double> parsed = ParseCellValue(text);
                const double quotient = parsed ? static_cast<double>(*parsed / scale) : 0;
                if (!parsed || !fitsTheWire(quotient)) {
                    const QString mark = column == 2 ? QStringLiteral("'") : QString();
                    throw EIncorrectValue(tr("Niewłaściwa wartość dla osi %1%2 na pozycji %3")
                                              .arg(QString(letter), mark, QString::number(row))
                                              .toStdString());
                }
                value = quotient;
            }
            TCorrectionEntry& entry = table[row];
            (column == 1 ? entry.Position : entry.Corrected) = value;
        }
    }
}

void TcoordForm::saveButtonClick() {
    // The press on "Zapisz" takes the focus from an open editor: its text is already in the cell
    // when the editor is refused, and the refusal is told only once the click is over. A grid held
    // by such a cell, or an edit still open that would be refused, is put right before anything
    // goes to the box (the order of the rows is checked only there, not here).
    for (const CorrectionGrid* g : {correctionXSGrid, correctionYSGrid, correctionZSGrid}) {
        if (g->held()) return;
    }
    if (lastEditAxis && !validateLastEdit(*lastEditAxis, lastEditColumn, lastEditRow)) return;
    setButtonsEnabled(false);
    std::array<TCorrectionTable, 3>& tables = *tables_;
    try {
        GridToTable(correctionXSGrid, u'X', AxisScale[0], tables[0]);
        GridToTable(correctionYSGrid, u'Y', AxisScale[1], tables[1]);
        GridToTable(correctionZSGrid, u'Z', AxisScale[2], tables[2]);
    } catch (const EIncorrectValue& e) {
        prompts_.showMessage(QString::fromStdString(e.what()));
        setButtonsEnabled(true);
        return;
    }
    if (!startSend([this] { chain_.finish(); })) return;
    // The three grids have as many rows; the count travels as one byte.
    const auto count = static_cast<std::uint8_t>((correctionXSGrid->rowCount() - 1) & 0xFF);
    service_.WriteCorrections(count, CorrectionFlags, tables[0], tables[1], tables[2]);
}
