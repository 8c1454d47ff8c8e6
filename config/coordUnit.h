#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "config/Axis.h"
#include "config/ConfigDialog.h"
#include "config/CorrectionCsv.h"
#include "config/CorrectionGrid.h"

class QCheckBox;
class CorrectionCurve;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
struct TCorrectionTable;

// A correction cell that cannot be sent; its message names the axis, the column and the row.
class EIncorrectValue : public std::runtime_error {
public:
    explicit EIncorrectValue(const std::string& message) : std::runtime_error(message) {}
};

// The segment correction dialog: the box's three piecewise correction tables, one grid per axis
// on its own page, each switched on or off by a check box over its page tab. The main window
// loads what it read from the box (SetCorrectionFlags, setGridRowCounts, LoadCorrectionTable)
// and shows it modally.
//
// A grid keeps its title row and its row-number column as cells, as the box's tables count them:
// row 0 and column 0 are the headers, so rowCount() is the number of data rows + 1 and
// item(r, 1) / item(r, 2) hold the two values of table entry r. The titles are shown by the
// grid's own header, which stays in view while a long table scrolls.
class TcoordForm : public ConfigDialog {
    Q_OBJECT
public:
    TcoordForm(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
               QWidget* parent = nullptr);
    ~TcoordForm() override;

    QTabWidget* pgCtrl;
    QWidget* korectionXTabSheet;
    QWidget* korectionYTabSheet;
    QWidget* korectionZTabSheet;
    CorrectionGrid* correctionXSGrid;
    CorrectionGrid* correctionYSGrid;
    CorrectionGrid* correctionZSGrid;
    QCheckBox* xCBox;
    QCheckBox* yCBox;
    QCheckBox* zCBox;
    QLabel* Label1;
    QLabel* Label2;
    // The active page's table from and to a CSV file (docs/config-file.md), and drawn beside it.
    QPushButton* importButton;
    QPushButton* exportButton;
    CorrectionCurve* curve = nullptr;
    // Says that the box attached keeps no tables (kind 1) or is of no known kind; hidden otherwise.
    QLabel* noTablesLabel;
    // Asks the operator for the CSV file to read (save false) or to write; empty when cancelled.
    // A file dialog by default.
    std::function<QString(bool save)> askCsvPath;

    // Bit 4 X correction on, bit 5 Y, bit 6 Z; the other bits as last received from the box.
    std::uint32_t CorrectionFlags = 0;
    // Multiplier from box units to the values shown in the grid, per axis.
    long double AxisScale[3] = {1.0L, 1.0L, 1.0L};
    // Places after the decimal point the grid shows, per axis, as last loaded.
    int AxisDecimals[3] = {0, 0, 0};
    // The focus may leave a grid whose cell editor is open.
    bool MayLeaveGrid = true;
    // The rising-values warning is being shown.
    bool WarningShown = false;
    // The cell whose editor text changed last, its grid, and that text.
    std::optional<Axis> lastEditAxis;
    int lastEditColumn = -1;
    int lastEditRow = -1;
    QString lastEditText;

    // Operations the main window calls after it has read the tables.
    void SetCorrectionFlags(std::uint32_t flags);
    // The row count of all three grids, header row included.
    void setGridRowCounts(int count);
    void LoadCorrectionTable(Axis axis, int count, const TCorrectionTable& table, int decimals,
                             long double scale);
    // Header cells and row numbers of one grid.
    void SetGridHeader(Axis axis);

    // The check box rule of one axis: page enabled, flag bit, active page.
    void CBoxClick(Axis axis);

    // Also says when the box attached keeps no tables (kind 1; nothing can be edited then) or
    // was not read (no known kind).
    void FormShow() override;
    // The grid of the page shown.
    QWidget* firstEntry() const override;

    // Editing. The operator's text is checked when its editor closes and when the selection is
    // about to leave its cell; a refused text stays in the cell with the editor open on it.
    // The verdict is given at once; the message and the editor opened again follow from the
    // dialog's event loop.
    void SetEditText(Axis axis, int column, int row, const QString& text);
    bool ValidateCell(QTableWidget* grid, int column, const QString& text, int row);
    void RefocusCell(QTableWidget* grid, int column, int row);
    void GridExit(Axis axis);
    // The mouse pointer lies over "Zamknij" (edges included).
    bool PointerOverExit() const;
    // A press of the left button on "Zamknij" leaves at once, even from an invalid cell.
    void exitButtonMouseDown(Qt::MouseButton button);

    // The grid's values in box units; with a kind 1 or unknown box all zero. Raises
    // EIncorrectValue for a cell that is no number or that no 32-bit value can carry.
    void GridToTable(QTableWidget* grid, QChar letter, long double scale,
                     TCorrectionTable& table) const;
    // Converts the three grids and writes them with the flags, then ends the configuration.
    void saveButtonClick();
    // The active page's table replaced by a CSV file's, checked as typed cells are; a refused
    // file leaves the grid as it was. Nothing goes to the box: "Zapisz" sends it.
    void importButtonClick();
    // The active page's table, as the grid shows it, written to a CSV file.
    void exportButtonClick();

    CorrectionGrid* grid(Axis axis) const;
    QCheckBox* checkBox(Axis axis) const;
    QWidget* page(Axis axis) const;
    // The page's enabled state as the check boxes set it.
    bool pageEnabled(Axis axis) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A box without tables is told that its send stored nothing.
    QString sentMessage() const override;
    void setVisible(bool visible) override;

private:
    Axis activeAxis() const;
    correctioncsv::AxisUnits csvUnits(Axis axis) const;
    // A grid's values in box units whatever the box's kind; EIncorrectValue as GridToTable.
    void gridValues(const QTableWidget* grid, QChar letter, long double scale,
                    TCorrectionTable& table) const;
    // Rows from `firstRow` on show the row above them again.
    void repeatRowAbove(Axis axis, int firstRow);
    // The active page's table drawn again.
    void updateCurve();
    CorrectionGrid* makeGrid(Axis axis, QWidget* page);
    // The last edit, checked when it belongs to this cell of the grid; anything else passes.
    bool validateLastEdit(Axis axis, int column, int row);
    // An editor of the grid closes with its text kept: whether the text may stay.
    bool editorClosing(Axis axis, int column, int row);
    void clearLastEdit();
    // Holds the grid on the cell and tells the operator once the editor is out of Qt's hands.
    bool refuseCell(QTableWidget* grid, int column, int row, const QString& message, bool warning);
    void placeCheckBoxes();
    // The curve, the CSV buttons and the note beside the pages (true) or below them.
    void arrange(bool beside);
    // Sets the row count (header row included, never below it) and numbers the data rows.
    void resizeGrid(Axis axis, int rowCount);
    void setCell(QTableWidget* grid, int column, int row, const QString& text);

    // X, Y, Z as last sent.
    std::unique_ptr<std::array<TCorrectionTable, 3>> tables_;
    // Per axis, the cells as last loaded, by row (index 0 unused) and column 1 and 2: the text
    // shown and the box's value behind it. A text of 8 significant digits cannot carry every
    // value the box holds; left as loaded, the cell goes back with the value it came with.
    struct LoadedCell {
        QString text;
        long double value = 0;
    };
    std::array<std::vector<std::array<LoadedCell, 2>>, 3> loaded_;
    // The cell of one of the three grids as loaded; null for a cell no load filled.
    const LoadedCell* loadedCell(const QTableWidget* grid, int column, int row) const;
};
