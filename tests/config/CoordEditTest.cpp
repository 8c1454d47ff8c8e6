#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/coordUnit.h"
#include "tests/config/FormFixture.h"
#include "tests/config/GridDriving.h"

namespace {

class CoordEdit : public configtest::FormFixture {
protected:
    TcoordForm form{service, prompts, clock};
    CorrectionGrid* grid = form.correctionXSGrid;

    void SetUp() override {
        form.setGridRowCounts(4);
        form.show();
        QApplication::setActiveWindow(&form);
        pointAt(form.saveButton, QPoint(5, 5));
    }
    void TearDown() override { pointAt(form.saveButton, QPoint(5, 5)); }

    static void pointAt(QWidget* widget, QPoint at) { QCursor::setPos(widget->mapToGlobal(at)); }
    void setCell(int column, int row, const QString& text) {
        grid->setItem(row, column, new QTableWidgetItem(text));
    }
    QString cell(int column, int row) {
        const QTableWidgetItem* item = grid->item(row, column);
        return item ? item->text() : QString();
    }
    // The operator opens the cell's editor and types over its text.
    QLineEdit* type(int column, int row, const QString& text) {
        if (!grid->item(row, column)) setCell(column, row, "");
        return configtest::typeInto(grid, column, row, text);
    }
    // A key on the editor, and what the grid and the dialog do about it.
    static void press(QLineEdit* editor, Qt::Key key) {
        QTest::keyClick(editor, key);
        configtest::settle();
    }
    // Editing goes on in this cell, with the typed text kept and all of it selected.
    void expectEditingAt(int column, int row, const QString& text) {
        EXPECT_EQ(grid->currentColumn(), column);
        EXPECT_EQ(grid->currentRow(), row);
        ASSERT_TRUE(grid->editorOpen());
        ASSERT_NE(grid->editor(), nullptr);
        EXPECT_EQ(grid->editor()->text(), text);
        EXPECT_EQ(grid->editor()->selectedText(), text);
        EXPECT_EQ(cell(column, row), text);
    }
};

TEST_F(CoordEdit, EnteredTextIsCheckedAgainstTheRowAbove) {
    struct Case {
        const char* above;  // column 1 of row 1
        int column;
        int row;
        const char* typed;
        const char* message;  // empty: accepted
    };
    const Case cases[] = {
        {"7", 1, 1, "0,25", ""},
        {"7", 1, 1, "0.25", ""},
        {"7", 1, 1, "-1", ""},  // the first row has nothing above it
        {"7", 1, 1, "abc", "Niepoprawna wartość."},
        {"7", 1, 1, "", "Niepoprawna wartość."},
        {"7", 2, 1, "1 000 000", "Niepoprawna wartość."},
        {"7", 1, 2, "5", "Wartości powinny rosnąć."},
        {"7", 1, 2, "7", ""},  // equal passes
        {"7", 1, 2, "1 000", ""},
        {"7", 1, 2, "6,999", "Wartości powinny rosnąć."},
        {"7", 2, 2, "5", ""},  // the corrected column may fall
        {"", 1, 2, "5", "Niepoprawna poprzednia wartość."},
        {"x", 1, 2, "5", "Niepoprawna poprzednia wartość."},
        {"", 2, 2, "5", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.column << "," << c.row << " '" << c.typed << "'");
        prompts.clear();
        setCell(1, 1, c.above);
        QLineEdit* editor = type(c.column, c.row, c.typed);
        ASSERT_NE(editor, nullptr);
        press(editor, Qt::Key_Return);
        if (*c.message) {
            EXPECT_EQ(prompts.messages, QStringList{c.message});
            expectEditingAt(c.column, c.row, c.typed);
            EXPECT_FALSE(form.MayLeaveGrid);
            press(grid->editor(), Qt::Key_Escape);
        } else {
            EXPECT_TRUE(prompts.messages.isEmpty());
            EXPECT_FALSE(grid->editorOpen());
            EXPECT_EQ(cell(c.column, c.row), c.typed);
        }
        EXPECT_FALSE(form.WarningShown);
    }
}

TEST_F(CoordEdit, RefusedTextKeepsTheSelectionInItsCell) {
    struct Case {
        const char* how;
        std::function<void(QLineEdit*)> leave;
        bool movesOn;  // an accepted text: the selection goes elsewhere
    };
    const Case cases[] = {
        {"tab", [](QLineEdit* e) { press(e, Qt::Key_Tab); }, true},
        {"down", [](QLineEdit* e) { press(e, Qt::Key_Down); }, true},
        {"click",
         [this](QLineEdit*) {
             const QRect target = grid->visualRect(grid->model()->index(3, 2));
             QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, target.center());
             configtest::settle();
         },
         true},
        // The focus leaves the grid: the editor closes, and a refused text calls it back.
        {"focus elsewhere",
         [this](QLineEdit*) {
             form.xCBox->setFocus();
             configtest::settle();
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        prompts.clear();
        setCell(1, 1, "10");
        QLineEdit* editor = type(1, 2, "3");
        ASSERT_NE(editor, nullptr);
        c.leave(editor);
        EXPECT_EQ(prompts.messages, QStringList{"Wartości powinny rosnąć."});
        expectEditingAt(1, 2, "3");

        // Corrected in place, the move goes through.
        prompts.clear();
        QTest::keyClick(grid->editor(), Qt::Key_End);
        QTest::keyClicks(grid->editor(), "0");
        c.leave(grid->editor());
        EXPECT_TRUE(prompts.messages.isEmpty());
        EXPECT_EQ(cell(1, 2), "30");
        EXPECT_EQ(grid->currentIndex() != grid->model()->index(2, 1), c.movesOn);
        EXPECT_FALSE(grid->editorOpen() && grid->currentRow() == 2 && grid->currentColumn() == 1);
        if (grid->editorOpen()) press(grid->editor(), Qt::Key_Escape);
    }
}

TEST_F(CoordEdit, AnEditorLeftUntouchedOrDroppedIsNotChecked) {
    setCell(1, 1, "10");
    setCell(1, 2, "");
    // Opened and closed without typing: the empty cell stays empty, without a word.
    grid->setFocus();
    grid->setCurrentCell(2, 1);
    QTest::keyClick(grid, Qt::Key_F2);
    press(grid->editor(), Qt::Key_Return);
    EXPECT_TRUE(prompts.messages.isEmpty());
    // Typed and dropped with Escape: the cell keeps what it held.
    QLineEdit* editor = type(1, 2, "abc");
    press(editor, Qt::Key_Escape);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(cell(1, 2), "");
    EXPECT_FALSE(grid->editorOpen());
}

TEST_F(CoordEdit, OnlyACellWhoseTextTheOperatorChangedIsChecked) {
    struct Case {
        const char* how;
        CorrectionGrid* reopened;  // its cell (1, 2) is opened again and left with Tab untouched
        const char* aboveThere;    // what its row 1 holds by then
    };
    const Case cases[] = {
        // The same cell of another grid.
        {"other grid", form.correctionYSGrid, "10"},
        // The same cell of the same grid, after its text was taken and the row above changed.
        {"same cell again", form.correctionXSGrid, "10"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        prompts.clear();
        form.FormShow();
        grid = form.correctionXSGrid;
        setCell(1, 1, "1");
        QLineEdit* editor = type(1, 2, "3");
        ASSERT_NE(editor, nullptr);
        press(editor, Qt::Key_Return);
        ASSERT_TRUE(prompts.messages.isEmpty());

        grid = c.reopened;
        form.pgCtrl->setCurrentWidget(grid->parentWidget());
        setCell(1, 1, c.aboveThere);
        setCell(1, 2, grid == form.correctionXSGrid ? "3" : "20");
        grid->setFocus();
        grid->setCurrentCell(2, 1);
        QTest::keyClick(grid, Qt::Key_F2);
        ASSERT_NE(grid->editor(), nullptr);
        press(grid->editor(), Qt::Key_Tab);
        EXPECT_TRUE(prompts.messages.isEmpty());
        // Tab went on to the next cell.
        EXPECT_EQ(grid->currentRow(), 2);
        EXPECT_EQ(grid->currentColumn(), 2);
        EXPECT_TRUE(form.MayLeaveGrid);
        if (grid->editorOpen()) press(grid->editor(), Qt::Key_Escape);
    }
    grid = form.correctionXSGrid;
    form.pgCtrl->setCurrentIndex(0);
}

TEST_F(CoordEdit, KeysAndClicksNeverLandOnTheTitlesOrTheRowNumbers) {
    struct Case {
        const char* how;
        int fromColumn, fromRow;
        std::function<void()> act;
        int column, row;  // where the selection is afterwards
    };
    const auto key = [this](Qt::Key k, Qt::KeyboardModifiers m = {}) {
        return [this, k, m] { QTest::keyClick(grid, k, m); };
    };
    const auto click = [this](int column, int row) {
        return [this, column, row] {
            const QRect cell = grid->visualRect(grid->model()->index(row, column));
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        };
    };
    const Case cases[] = {
        {"up from the first row", 1, 1, key(Qt::Key_Up), 1, 1},
        {"left from the first column", 1, 2, key(Qt::Key_Left), 1, 2},
        {"home", 2, 3, key(Qt::Key_Home), 1, 3},
        {"ctrl+home", 2, 3, key(Qt::Key_Home, Qt::ControlModifier), 1, 1},
        {"page up", 2, 3, key(Qt::Key_PageUp), 2, 1},
        {"tab at the end of a row", 2, 1, key(Qt::Key_Tab), 1, 2},
        {"backtab at the start of a row", 1, 2, key(Qt::Key_Backtab), 2, 1},
        {"click on a row number", 1, 2, click(0, 3), 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        grid->setFocus();
        grid->setCurrentCell(c.fromRow, c.fromColumn);
        c.act();
        configtest::settle();
        EXPECT_EQ(grid->currentColumn(), c.column);
        EXPECT_EQ(grid->currentRow(), c.row);
    }
}

TEST_F(CoordEdit, ColumnTitlesStayInViewWhenALongTableScrolls) {
    form.setGridRowCounts(256);
    grid->setFocus();
    grid->setCurrentCell(1, 1);
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    configtest::settle();
    EXPECT_EQ(grid->currentRow(), 255);
    // The last row is in view, the first ones have scrolled away.
    EXPECT_TRUE(
        grid->viewport()->rect().contains(grid->visualRect(grid->model()->index(255, 1)).center()));
    EXPECT_FALSE(grid->viewport()->rect().intersects(grid->visualRect(grid->model()->index(1, 1))));
    // Above the rows, the titles.
    const QHeaderView* header = grid->horizontalHeader();
    ASSERT_TRUE(header->isVisible());
    EXPECT_GE(header->height(), 12);
    EXPECT_LE(header->geometry().bottom(), grid->viewport()->geometry().top());
    const QStringList titles = {"Lp.", "X", "X'"};
    for (int column = 0; column < 3; ++column) {
        SCOPED_TRACE(column);
        ASSERT_NE(grid->horizontalHeaderItem(column), nullptr);
        EXPECT_EQ(grid->horizontalHeaderItem(column)->text(), titles[column]);
        EXPECT_EQ(grid->item(0, column)->text(), titles[column]);
        EXPECT_GT(header->sectionSize(column), 0);
    }
    EXPECT_EQ(grid->item(255, 0)->text(), "255");
}

TEST_F(CoordEdit, PointerOverExitCountsTheButtonsEdges) {
    struct Case {
        int dx, dy;  // from the button's bottom right corner when positive, else its top left
        bool over;
    };
    const QSize size = form.exitButton->size();
    const Case cases[] = {{0, 0, true},
                          {-1, 0, false},
                          {0, -1, false},
                          {size.width(), size.height(), true},
                          {size.width() + 1, 0, false},
                          {0, size.height() + 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dx << "," << c.dy);
        pointAt(form.exitButton, QPoint(c.dx, c.dy));
        EXPECT_EQ(form.PointerOverExit(), c.over);
    }
}

TEST_F(CoordEdit, ZamknijLeavesAtOnceFromAnInvalidCell) {
    QLineEdit* editor = type(1, 1, "abc");
    ASSERT_NE(editor, nullptr);
    pointAt(form.exitButton, QPoint(10, 10));
    // The editor closes as the button takes the focus: with the pointer there, unchecked.
    form.exitButton->setFocus();
    QTest::mousePress(form.exitButton, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 2);
}

TEST_F(CoordEdit, OnlyTheLeftButtonOnAnEnabledZamknijLeaves) {
    struct Case {
        Qt::MouseButton button;
        bool enabled;
        bool leaves;
    };
    const Case cases[] = {{Qt::RightButton, true, false},
                          {Qt::MiddleButton, true, false},
                          {Qt::LeftButton, false, false},  // during a send
                          {Qt::LeftButton, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.button << " " << c.enabled);
        form.show();
        form.exitButton->setEnabled(c.enabled);
        pointAt(form.exitButton, QPoint(10, 10));
        QTest::mousePress(form.exitButton, c.button, {}, QPoint(10, 10));
        QTest::mouseRelease(form.exitButton, c.button, {}, QPoint(10, 10));
        EXPECT_EQ(form.isVisible(), !c.leaves);
    }
}

}  // namespace
