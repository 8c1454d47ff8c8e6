#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "config/coordUnit.h"
#include "tests/config/FormFixture.h"

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
        grid->setFocus();
        grid->setCurrentCell(row, column);
        grid->editItem(grid->item(row, column));
        QLineEdit* editor = grid->editor();
        EXPECT_NE(editor, nullptr);
        if (!editor) return nullptr;
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClicks(editor, text);
        return editor;
    }
    // A key on the editor, and what the grid does about it (Enter's commit comes queued).
    static void press(QLineEdit* editor, Qt::Key key) {
        QTest::keyClick(editor, key);
        QCoreApplication::processEvents();
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
         },
         true},
        // The focus leaves the grid: the editor closes, and a refused text calls it back.
        {"focus elsewhere", [this](QLineEdit*) { form.xCBox->setFocus(); }, false},
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
    grid->setCurrentCell(2, 1);
    grid->editItem(grid->item(2, 1));
    press(grid->editor(), Qt::Key_Return);
    EXPECT_TRUE(prompts.messages.isEmpty());
    // Typed and dropped with Escape: the cell keeps what it held.
    QLineEdit* editor = type(1, 2, "abc");
    press(editor, Qt::Key_Escape);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(cell(1, 2), "");
    EXPECT_FALSE(grid->editorOpen());
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
