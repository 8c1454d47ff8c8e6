#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>

#include "config/coordUnit.h"
#include "tests/config/FormFixture.h"

namespace {

constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};

class CoordForm : public configtest::FormFixture {
protected:
    TcoordForm form{service, prompts, clock};

    static QString cell(QTableWidget* g, int column, int row) {
        const QTableWidgetItem* item = g->item(row, column);
        return item ? item->text() : QString();
    }
    // Which pages are enabled, as "XYZ" with '-' for a disabled one.
    QString enabledPages() {
        QString pages;
        for (Axis axis : axes) pages += form.pageEnabled(axis) ? "XYZ"[axisIndex(axis)] : '-';
        return pages;
    }
};

TEST_F(CoordForm, StartsWithHeadersOneEmptyRowAndEveryCorrectionOn) {
    EXPECT_EQ(form.windowTitle(), "Paramtery");
    EXPECT_EQ(form.size(), QSize(626, 430));
    EXPECT_EQ(form.CorrectionFlags, 0u);
    EXPECT_EQ(form.pgCtrl->currentIndex(), 0);
    EXPECT_EQ(form.Label1->text(), "UWAGA !");
    EXPECT_EQ(form.Label2->text(),
              "Wartości X, Y, Z muszą być rosnące\r\nWartości X', Y', Z' mogą być dowolne");
    const char* letters[] = {"X", "Y", "Z"};
    for (Axis axis : axes) {
        const int i = axisIndex(axis);
        SCOPED_TRACE(letters[i]);
        QTableWidget* g = form.grid(axis);
        EXPECT_EQ(form.pgCtrl->widget(i), form.page(axis));
        EXPECT_EQ(form.pgCtrl->tabText(i), QString("      Kor.odcinkowa ") + letters[i]);
        // The box lies over the left end of its page's tab.
        const QRect tab = form.pgCtrl->tabBar()->tabRect(i);
        EXPECT_EQ(form.checkBox(axis)->parentWidget(), form.pgCtrl->tabBar());
        EXPECT_TRUE(tab.contains(form.checkBox(axis)->geometry().center()));
        EXPECT_LT(form.checkBox(axis)->x(), tab.center().x());
        EXPECT_TRUE(form.checkBox(axis)->isChecked());
        EXPECT_TRUE(form.checkBox(axis)->text().isEmpty());
        EXPECT_EQ(form.AxisScale[i], 1.0L);
        EXPECT_EQ(g->rowCount(), 2);
        EXPECT_EQ(g->columnCount(), 3);
        EXPECT_EQ(g->columnWidth(0), 33);
        EXPECT_EQ(g->columnWidth(1), 128);
        EXPECT_EQ(g->rowHeight(1), 16);
        EXPECT_EQ(cell(g, 0, 0), "Lp.");
        EXPECT_EQ(cell(g, 1, 0), letters[i]);
        EXPECT_EQ(cell(g, 2, 0), QString(letters[i]) + "'");
        EXPECT_EQ(cell(g, 0, 1), "1");
        // Headers and row numbers are not for editing; the values are.
        EXPECT_FALSE(g->item(0, 1)->flags().testFlag(Qt::ItemIsEditable));
        EXPECT_FALSE(g->item(1, 0)->flags().testFlag(Qt::ItemIsEditable));
    }
}

TEST_F(CoordForm, FlagsCheckTheBoxesAndEnableTheirPages) {
    struct Case {
        std::uint32_t flags;
        const char* pages;
        std::uint32_t kept;
    };
    const Case cases[] = {
        {0x70, "XYZ", 0x70}, {0x10, "X--", 0x10}, {0x23, "-Y-", 0x23},
        {0x00, "---", 0x00}, {0xFF, "XYZ", 0xFF}, {0x50, "X-Z", 0x50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        form.SetCorrectionFlags(c.flags);
        EXPECT_EQ(enabledPages(), c.pages);
        EXPECT_EQ(form.CorrectionFlags, c.kept);
        for (Axis axis : axes) {
            EXPECT_EQ(form.checkBox(axis)->isChecked(), form.pageEnabled(axis));
            EXPECT_EQ(form.page(axis)->isEnabled(), form.pageEnabled(axis));
        }
    }
}

TEST_F(CoordForm, UncheckingMovesToTheNearestEnabledPageBelow) {
    struct Case {
        std::uint32_t flags;  // before
        int active;           // page active before
        Axis unchecked;
        int activeAfter;
        std::uint32_t flagsAfter;
    };
    const Case cases[] = {
        {0x70, 1, Axis::Y, 0, 0x50},                               // Y active, X enabled: to X
        {0x70, 2, Axis::Z, 1, 0x30}, {0x60, 2, Axis::Z, 1, 0x20},  // X disabled: to Y
        {0x50, 2, Axis::Z, 0, 0x10},                               // Y disabled: past it to X
        {0x70, 0, Axis::Y, 0, 0x50},  // another page than the active one: stays
        {0x40, 2, Axis::Z, 2, 0x00},  // none left enabled: stays
        {0x20, 0, Axis::Y, 0, 0x00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " " << c.active);
        form.SetCorrectionFlags(0x70);
        form.pgCtrl->setCurrentIndex(c.active);
        form.SetCorrectionFlags(c.flags);
        form.pgCtrl->setCurrentIndex(c.active);
        form.checkBox(c.unchecked)->setChecked(false);
        EXPECT_EQ(form.pgCtrl->currentIndex(), c.activeAfter);
        EXPECT_EQ(form.CorrectionFlags, c.flagsAfter);
        EXPECT_FALSE(form.pageEnabled(c.unchecked));
    }
}

TEST_F(CoordForm, CheckingAgainEnablesThePageAndSetsTheBit) {
    form.SetCorrectionFlags(0x00);
    form.pgCtrl->setCurrentIndex(2);
    form.yCBox->setChecked(true);
    EXPECT_EQ(form.CorrectionFlags, 0x20u);
    EXPECT_EQ(enabledPages(), "-Y-");
    EXPECT_EQ(form.pgCtrl->currentIndex(), 1);
    // The boxes themselves stay usable on a disabled page's tab.
    EXPECT_TRUE(form.xCBox->isEnabled());
    EXPECT_TRUE(form.zCBox->isEnabled());
}

TEST_F(CoordForm, TablesShowScaledValuesWithTheAxisDecimals) {
    TCorrectionTable x, y, z;
    x[1] = {100, 120};
    x[2] = {200, 190};
    x[3] = {-300, 5};
    y[1] = {1, 2};
    z[1] = {123456789, -7};
    form.setGridRowCounts(3);
    form.LoadCorrectionTable(Axis::X, 3, x, 3, 0.001L);
    form.LoadCorrectionTable(Axis::Y, 3, y, 1, 0.1L);
    form.LoadCorrectionTable(Axis::Z, 3, z, 0, 1);

    struct Expect {
        Axis axis;
        int row;
        const char* position;
        const char* corrected;
    };
    const Expect rows[] = {
        {Axis::X, 1, "0.100", "0.120"},  {Axis::X, 2, "0.200", "0.190"},
        {Axis::X, 3, "-0.300", "0.005"}, {Axis::Y, 1, "0.1", "0.2"},
        {Axis::Y, 2, "0.0", "0.0"},      {Axis::Z, 1, "1.2345679E8", "-7"},
    };
    for (const Expect& e : rows) {
        QTableWidget* g = form.grid(e.axis);
        EXPECT_EQ(g->rowCount(), 4);
        EXPECT_EQ(cell(g, 0, e.row), QString::number(e.row));
        EXPECT_EQ(cell(g, 1, e.row), e.position);
        EXPECT_EQ(cell(g, 2, e.row), e.corrected);
    }
    EXPECT_EQ(form.AxisScale[0], 0.001L);
    EXPECT_EQ(form.AxisScale[1], 0.1L);
    EXPECT_EQ(cell(form.correctionZSGrid, 0, 3), "3");
}

TEST_F(CoordForm, ShorterTableDropsTheRowsBeyondIt) {
    TCorrectionTable table;
    for (int row = 1; row <= 255; ++row) table[row] = {row * 10.0L, row * 11.0L};
    struct Case {
        int count;
        int rows;
        const char* lastNumber;
    };
    const Case cases[] = {{255, 256, "255"}, {2, 3, "2"}, {0, 1, "Lp."}, {1, 2, "1"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        form.setGridRowCounts(c.count);
        for (Axis axis : axes) form.LoadCorrectionTable(axis, c.count, table, 2, 1);
        for (Axis axis : axes) {
            QTableWidget* g = form.grid(axis);
            EXPECT_EQ(g->rowCount(), c.rows);
            EXPECT_EQ(cell(g, 0, c.rows - 1), c.lastNumber);
            if (c.count > 0) {
                EXPECT_EQ(cell(g, 1, c.rows - 1), QString::number(c.count * 10) + ".00");
            }
        }
    }
    // A fresh, larger load shows no stale values in the new rows' places.
    form.setGridRowCounts(3);
    EXPECT_EQ(cell(form.correctionXSGrid, 1, 2), "");
    EXPECT_EQ(cell(form.correctionXSGrid, 0, 2), "2");
}

TEST_F(CoordForm, ClosesWithCancelAndButtonsComeBackOnShowing) {
    form.saveButton->setEnabled(false);
    form.exitButton->setEnabled(false);
    form.open();
    EXPECT_TRUE(form.saveButton->isEnabled());
    EXPECT_TRUE(form.exitButton->isEnabled());
    form.exitButton->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 2);
}

// A screen reader tells the caption-less check boxes and the grids apart, and reads every cell
// with its column's title.
TEST_F(CoordForm, ScreenReaderReadsCheckBoxesGridsAndCells) {
    TCorrectionTable x, y, z;
    x[1] = {100, 120};
    x[2] = {200, 190};
    y[1] = {1, 2};
    form.setGridRowCounts(2);
    form.LoadCorrectionTable(Axis::X, 2, x, 3, 0.001L);
    form.LoadCorrectionTable(Axis::Y, 2, y, 1, 0.1L);
    form.LoadCorrectionTable(Axis::Z, 2, z, 0, 1);
    const char* names[] = {"Kor.odcinkowa X", "Kor.odcinkowa Y", "Kor.odcinkowa Z"};
    const char* titles[][3] = {{"Lp.", "X", "X'"}, {"Lp.", "Y", "Y'"}, {"Lp.", "Z", "Z'"}};
    for (Axis axis : axes) {
        SCOPED_TRACE(axisIndex(axis));
        const auto i = static_cast<std::size_t>(axisIndex(axis));
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(form.checkBox(axis));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->role(), QAccessible::CheckBox);
        EXPECT_EQ(box->text(QAccessible::Name).toStdString(), names[i]);

        QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(form.grid(axis));
        ASSERT_NE(grid, nullptr);
        EXPECT_EQ(grid->text(QAccessible::Name).toStdString(), names[i]);
        QAccessibleTableInterface* table = grid->tableInterface();
        ASSERT_NE(table, nullptr);
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(table->columnDescription(column).toStdString(), titles[i][column]);
        for (int row = 1; row <= 2; ++row)
            for (int column = 0; column < 3; ++column) {
                QAccessibleInterface* c = table->cellAt(row, column);
                ASSERT_NE(c, nullptr) << row << "," << column;
                EXPECT_EQ(c->text(QAccessible::Name), cell(form.grid(axis), column, row))
                    << row << "," << column;
            }
    }
    // Not only what the grid holds, but the values loaded, as shown.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.correctionXSGrid)
                  ->tableInterface()
                  ->cellAt(2, 2)
                  ->text(QAccessible::Name),
              "0.190");
}

}  // namespace
