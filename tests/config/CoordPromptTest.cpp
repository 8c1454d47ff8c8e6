// The correction grid with the program's real modal message boxes: editors opened and committed by
// keys and the mouse, each message answered by the operator while its nested event loop runs.
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "config/coordUnit.h"
#include "platform/QtPrompts.h"
#include "tests/config/FormFixture.h"
#include "tests/config/GridDriving.h"

namespace {

using configtest::settle;

// The operator in front of the screen: whenever a message box is up, reads it for a while (its
// event loop goes on meanwhile) and closes it, with OK clicked or with Return; then the window
// manager gives the focus back to the window below.
class Operator {
public:
    Operator(bool withMouse, QWidget& window) : withMouse_(withMouse), window_(window) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start(0);
    }
    QStringList seen;

private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            ticks_ = 0;
            return;
        }
        if (++ticks_ < 5) return;
        ticks_ = 0;
        seen << box->text();
        if (withMouse_) {
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            QTest::mouseClick(ok, Qt::LeftButton, {}, ok->rect().center());
        } else {
            QTest::keyClick(box, Qt::Key_Return);
        }
        QApplication::setActiveWindow(&window_);
    }
    bool withMouse_;
    QWidget& window_;
    int ticks_ = 0;
    QTimer timer_;
};

class CoordPrompts : public configtest::FormFixture {
protected:
    platform::QtPrompts qtPrompts;
    TcoordForm form{service, qtPrompts, clock};
    CorrectionGrid* grid = form.correctionXSGrid;

    void SetUp() override {
        form.setGridRowCounts(4);
        grid->setItem(1, 1, new QTableWidgetItem("10"));
        form.show();
        QApplication::setActiveWindow(&form);
        QCursor::setPos(form.saveButton->mapToGlobal(QPoint(5, 5)));
    }
};

TEST_F(CoordPrompts, ARefusedValueLeftByKeyOrMouseIsToldOnceAndEditedInPlace) {
    struct Case {
        const char* how;
        int row;
        const char* typed;
        const char* message;
        bool okWithMouse;
        std::function<void(QLineEdit*)> leave;
    };
    const auto key = [](Qt::Key k) { return [k](QLineEdit* e) { QTest::keyClick(e, k); }; };
    const Case cases[] = {
        {"return", 2, "abc", "Niepoprawna wartość.", false, key(Qt::Key_Return)},
        {"return, OK by mouse", 2, "abc", "Niepoprawna wartość.", true, key(Qt::Key_Return)},
        {"enter", 2, "5", "Wartości powinny rosnąć.", false, key(Qt::Key_Enter)},
        {"tab", 2, "5", "Wartości powinny rosnąć.", true, key(Qt::Key_Tab)},
        {"backtab", 2, "abc", "Niepoprawna wartość.", false, key(Qt::Key_Backtab)},
        {"down", 2, "5", "Wartości powinny rosnąć.", false, key(Qt::Key_Down)},
        {"up", 3, "abc", "Niepoprawna wartość.", true, key(Qt::Key_Up)},
        {"click on another cell", 2, "abc", "Niepoprawna wartość.", false,
         [this](QLineEdit*) {
             const QRect target = grid->visualRect(grid->model()->index(3, 2));
             QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, target.center());
         }},
        {"focus to another control", 2, "5", "Wartości powinny rosnąć.", true,
         [this](QLineEdit*) { form.xCBox->setFocus(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        grid->setItem(c.row, 1, new QTableWidgetItem());
        QLineEdit* editor = configtest::typeInto(grid, 1, c.row, c.typed);
        ASSERT_NE(editor, nullptr);
        Operator op(c.okWithMouse, form);
        c.leave(editor);
        settle();

        EXPECT_EQ(op.seen, QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(grid->currentRow(), c.row);
        EXPECT_EQ(grid->currentColumn(), 1);
        ASSERT_TRUE(grid->editorOpen());
        ASSERT_NE(grid->editor(), nullptr);
        EXPECT_EQ(grid->editor()->text(), c.typed);
        EXPECT_EQ(grid->editor()->selectedText(), c.typed);
        EXPECT_EQ(QApplication::focusWidget(), grid->editor());
        EXPECT_FALSE(form.MayLeaveGrid);
        EXPECT_FALSE(form.WarningShown);

        // Corrected in place, the value is taken and nothing more is said.
        QTest::keyClicks(grid->editor(), "42");
        QTest::keyClick(grid->editor(), Qt::Key_Return);
        settle();
        EXPECT_EQ(op.seen.size(), 1);
        EXPECT_FALSE(grid->editorOpen());
        EXPECT_EQ(grid->item(c.row, 1)->text(), "42");
    }
}

// "Zapisz" clicked straight from a refused cell: the press takes the focus from the editor and
// the click completes before the refusal can be told. Nothing goes to the box until the cell is
// put right; then the next click sends.
TEST_F(CoordPrompts, ARefusedCellLeftByAClickOnZapiszIsToldBeforeAnythingIsSent) {
    learnKind(2);
    const struct {
        int column;
        const char* typed;
        const char* message;
    } cases[] = {
        {1, "3", "Wartości powinny rosnąć."},
        {1, "abc", "Niepoprawna wartość."},
        {2, "1x", "Niepoprawna wartość."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        ASSERT_NE(configtest::typeInto(grid, c.column, 2, c.typed), nullptr);
        device->takeWritten();
        Operator op(false, form);
        QTest::mouseClick(form.saveButton, Qt::LeftButton);
        settle();

        EXPECT_TRUE(device->takeWritten().empty());
        EXPECT_EQ(op.seen, QStringList{QString::fromUtf8(c.message)});
        ASSERT_TRUE(grid->editorOpen());
        EXPECT_EQ(grid->currentColumn(), c.column);
        EXPECT_EQ(grid->editor()->text(), c.typed);
        EXPECT_TRUE(form.saveButton->isEnabled());
        EXPECT_FALSE(form.sending());

        QTest::keyClicks(grid->editor(), "30");
        QTest::mouseClick(form.saveButton, Qt::LeftButton);
        settle();
        EXPECT_EQ(grid->item(2, c.column)->text(), "30");
        EXPECT_FALSE(device->takeWritten().empty());
        EXPECT_TRUE(form.sending());
        // No box answers: the send ends with its failure message.
        clock.advance(6000);
        settle();
        EXPECT_EQ(op.seen.size(), 2);
        EXPECT_FALSE(form.sending());
    }
}

}  // namespace
