#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "config/Axis.h"
#include "config/ConfigDialog.h"

class QCheckBox;
class QLabel;
class QTabWidget;
class QTableWidget;
struct TCorrectionTable;

// The segment correction dialog: the box's three piecewise correction tables, one grid per axis
// on its own page, each switched on or off by a check box over its page tab. The main window
// loads what it read from the box (SetCorrectionFlags, setGridRowCounts, LoadCorrectionTable)
// and shows it modally.
//
// A grid keeps its header row and its row-number column as ordinary cells, as the box's tables
// count them: row 0 and column 0 are the headers, so rowCount() is the number of data rows + 1
// and item(r, 1) / item(r, 2) hold the two values of table entry r.
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
    QTableWidget* correctionXSGrid;
    QTableWidget* correctionYSGrid;
    QTableWidget* correctionZSGrid;
    QCheckBox* xCBox;
    QCheckBox* yCBox;
    QCheckBox* zCBox;
    QLabel* Label1;
    QLabel* Label2;

    // Bit 4 X correction on, bit 5 Y, bit 6 Z; the other bits as last received from the box.
    std::uint32_t CorrectionFlags = 0;
    // Multiplier from box units to the values shown in the grid, per axis.
    long double AxisScale[3] = {1.0L, 1.0L, 1.0L};

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

    void FormShow() override;

    QTableWidget* grid(Axis axis) const;
    QCheckBox* checkBox(Axis axis) const;
    QWidget* page(Axis axis) const;
    // The page's enabled state as the check boxes set it.
    bool pageEnabled(Axis axis) const;

private:
    QTableWidget* makeGrid(QWidget* page);
    void placeCheckBoxes();
    // Sets the row count (header row included, never below it) and numbers the data rows.
    void resizeGrid(Axis axis, int rowCount);
    void setCell(QTableWidget* grid, int column, int row, const QString& text);
};
