// The segment correction dialog's CSV files and its curve: the active page's table read from and
// written to a file (config/CorrectionCsv.h does the reading and writing), and drawn.
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>
#include <array>

#include "config/CorrectionCurve.h"
#include "config/CorrectionGrid.h"
#include "config/Entries.h"
#include "config/coordUnit.h"
#include "platform/Files.h"
#include "platform/Prompts.h"

namespace {

constexpr std::array<char, 3> letters = {'X', 'Y', 'Z'};

std::size_t at(Axis axis) {
    return static_cast<std::size_t>(axisIndex(axis));
}

QString cellText(const QTableWidget* grid, int column, int row) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

}  // namespace

Axis TcoordForm::activeAxis() const {
    return static_cast<Axis>(std::clamp(pgCtrl->currentIndex(), 0, 2));
}

correctioncsv::AxisUnits TcoordForm::csvUnits(Axis axis) const {
    return {static_cast<double>(AxisScale[at(axis)]), AxisDecimals[at(axis)]};
}

void TcoordForm::repeatRowAbove(Axis axis, int firstRow) {
    QTableWidget* g = grid(axis);
    if (firstRow < 2) return;
    for (int row = firstRow; row < g->rowCount(); ++row) {
        for (int column = 1; column <= 2; ++column)
            setCell(g, column, row, cellText(g, column, firstRow - 1));
    }
}

void TcoordForm::importButtonClick() {
    // A cell refused on the way here is put right first, as before a send.
    for (const CorrectionGrid* g : {correctionXSGrid, correctionYSGrid, correctionZSGrid}) {
        if (g->held()) return;
    }
    const Axis axis = activeAxis();
    const QString path = askCsvPath(false);
    if (path.isEmpty()) return;
    const correctioncsv::ReadResult read =
        correctioncsv::loadCsvFile(QFile::encodeName(path).toStdString(), csvUnits(axis));
    if (!read.table) {
        prompts_.showMessage(
            tr("Nie wczytano pliku CSV.\r\n%1").arg(QString::fromStdString(read.error)));
        return;
    }
    const correctioncsv::Table& table = *read.table;
    // The box keeps one row count for the three tables. A longer file lengthens all three grids,
    // the others repeating their last row; a shorter one repeats its own last row down to the
    // end. A repeated row is a segment of no length: it passes the rising rule and corrects
    // nothing, where empty rows would go to the box as zeros.
    const int rows = table.rows + 1;
    if (rows > grid(axis)->rowCount()) {
        for (Axis other : {Axis::X, Axis::Y, Axis::Z}) {
            const int before = grid(other)->rowCount();
            resizeGrid(other, rows);
            if (other != axis) repeatRowAbove(other, before);
        }
    }
    CorrectionGrid* g = grid(axis);
    for (int row = 1; row <= table.rows; ++row) {
        // Every digit the file gave: the cell sends exactly what was read.
        for (int column = 1; column <= 2; ++column) {
            const TCorrectionEntry& entry = table.values[row];
            const long double units = column == 1 ? entry.Position : entry.Corrected;
            setCell(g, column, row,
                    QString::fromStdString(correctioncsv::unitsText(units, csvUnits(axis))));
        }
    }
    repeatRowAbove(axis, rows);
    // The cells now differ from what was loaded from the box, as typed ones do: "Zapisz" sends
    // them. An edit recorded before belongs to a text that is gone.
    clearLastEdit();
}

void TcoordForm::exportButtonClick() {
    for (const CorrectionGrid* g : {correctionXSGrid, correctionYSGrid, correctionZSGrid}) {
        if (g->held()) return;
    }
    const Axis axis = activeAxis();
    const char letter = letters[at(axis)];
    TCorrectionTable table;
    try {
        gridValues(grid(axis), QChar(letter), AxisScale[at(axis)], table);
    } catch (const EIncorrectValue& e) {
        prompts_.showMessage(QString::fromStdString(e.what()));
        return;
    }
    const QString path = askCsvPath(true);
    if (path.isEmpty()) return;
    int error = 0;
    if (!correctioncsv::saveCsvFile(QFile::encodeName(path).toStdString(), table,
                                    grid(axis)->rowCount() - 1, letter, csvUnits(axis), &error)) {
        prompts_.showMessage(tr("Nie udało się zapisać pliku CSV: %1.")
                                 .arg(QString::fromStdString(platform::fileErrorText(error))));
    }
}

void TcoordForm::updateCurve() {
    const QTableWidget* g = grid(activeAxis());
    std::vector<QPointF> points;
    // A row the grid cannot read yet is left out; the rest still show.
    for (int row = 1; row < g->rowCount(); ++row) {
        const std::optional<double> position = ParseCellValue(cellText(g, 1, row));
        const std::optional<double> corrected = ParseCellValue(cellText(g, 2, row));
        if (position && corrected) points.emplace_back(*position, *corrected - *position);
    }
    curve->setPoints(std::move(points));
}
