// The workshop functions in the window, by the operator's keys and clicks: half, units, a bolt
// circle made in the points dialog, driving to its holes, and the cue greying with the figures.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include "tests/readout/Harness.h"
#include "workshop/PatternDialog.h"
#include "workshop/PointsDialog.h"
#include "workshop/TopView.h"

namespace readouttest {
namespace {

class WorkshopWindow : public ReadoutTest {
protected:
    // A key to whatever has the focus in the active window, as the keyboard gives it.
    static void key(QWidget* window, Qt::Key k, Qt::KeyboardModifiers modifiers = {}) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QWidget* target = window->focusWidget() ? window->focusWidget() : window;
        QTest::keyClick(target, k, modifiers);
        QCoreApplication::processEvents();
    }
    // Space on a button of a dialog, as Tab would have brought the focus there.
    static void pressButton(QWidget* window, QWidget* button) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
        QCoreApplication::processEvents();
    }
    QString x() const { return form->xxLabel->text(); }
    QString y() const { return form->yyLabel->text(); }
};

TEST_F(WorkshopWindow, HalfUnitsBoltCircleAndDrivingToEachHole) {
    box.codes = {5, 5, 5};  // 0.001 mm steps
    ASSERT_NO_FATAL_FAILURE(startCycle(box));
    replyPositions(10000, 0, 0);
    QTest::mouseClick(form->relRButton, Qt::LeftButton);
    QTest::mouseClick(form->clrXButton, Qt::LeftButton);  // first edge at 10
    replyPositions(30000, 0, 0);                           // other edge at 30
    ASSERT_EQ(x(), "20.000");
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_1, Qt::ControlModifier));
    EXPECT_EQ(x(), "10.000");
    replyPositions(20000, 0, 0);
    EXPECT_EQ(x(), "0.000");  // the centre

    // Inches and back: the same count reads the same.
    replyPositions(32700, 0, 0);
    QTest::mouseClick(form->unitButton, Qt::LeftButton);
    EXPECT_EQ(x(), "0.5000");
    QTest::mouseClick(form->unitButton, Qt::LeftButton);
    EXPECT_EQ(x(), "12.700");

    // Six holes on a 100 mm circle round the centre, from the points dialog by keys alone.
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        if (auto* pattern = qobject_cast<workshop::PatternDialog*>(&dialog)) {
            QTest::keyClicks(pattern->sizeEdit, "100");
            pressButton(pattern, pattern->addButton);
            return;
        }
        auto* points = qobject_cast<workshop::PointsDialog*>(&dialog);
        ASSERT_TRUE(points);
        if (points->table->rowCount() == 0) {
            pressButton(points, points->circleButton);
            EXPECT_EQ(points->table->rowCount(), 6) << prompts.log.join("|").toStdString();
        }
        points->table->setFocus();
        key(points, Qt::Key_Home, Qt::ControlModifier);  // the first point
        pressButton(points, points->goButton);
    };
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_F6));
    ASSERT_EQ(form->points().size(), 6u);
    EXPECT_EQ(form->chosenPoint(), 0);
    EXPECT_TRUE(QFile::exists(form->pointsPath()));

    // Hole 1 at X 50, Y 0 from the centre (count 20000): X at 70 and Y at 0 are there.
    replyPositions(70000, 0, 0);
    EXPECT_EQ(x(), "0.000");
    EXPECT_EQ(y(), "0.000");
    EXPECT_TRUE(form->nearZeroShown(Axis::X));
    EXPECT_TRUE(form->xxLabel->spokenState().contains("blisko zera"));
    // Hole 2 at 60°: 25 to go back in X, 43.301 to go in Y.
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_F8));
    EXPECT_EQ(x(), "25.000");
    EXPECT_EQ(y(), "-43.301");
    EXPECT_FALSE(form->nearZeroShown(Axis::X));
    EXPECT_TRUE(form->pointLabel->text().contains("2/6"));
    replyPositions(45000, 43301, 0);
    EXPECT_TRUE(form->nearZeroShown(Axis::X));
    EXPECT_TRUE(form->nearZeroShown(Axis::Y));  // 0.00027 off: within 0.01

    // X as a diameter: the distance to go doubles.
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_W, Qt::AltModifier));
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_TRUE(menu);
    QTest::keyClick(menu, Qt::Key_1);
    replyPositions(46000, 43301, 0);
    EXPECT_EQ(x(), "2.000");
    EXPECT_EQ(form->xLabel->text(), QString::fromUtf8("ØX"));

    // The readings stop: the cue goes grey with the figures, and half is refused.
    clock.advance(1300);
    EXPECT_FALSE(form->nearZeroShown(Axis::Y));
    EXPECT_TRUE(form->yyLabel->spokenState().contains("nieaktualny"));
    prompts.clear();
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_1, Qt::ControlModifier));
    EXPECT_EQ(prompts.messages.size(), 1);

    // The top view, with hole 2 marked.
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_F9));
    ASSERT_TRUE(form->topView() && form->topView()->isVisible());
    EXPECT_TRUE(form->topView()->accessibleDescription().contains("wybrany 2"));
    ASSERT_NO_FATAL_FAILURE(key(form->topView()->window(), Qt::Key_Escape));
    EXPECT_FALSE(form->topView()->isVisible());
    // Closed, the next key is the readout window's again.
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_F8));
    EXPECT_EQ(form->chosenPoint(), 2);
}

// The points dialog left by OK with nothing typed changes nothing: a points file refused at the
// start (here written in inches) stays the operator's, and points shown rounded in inches come
// back as they were.
TEST_F(WorkshopWindow, ThePointsDialogsOkWithNothingTypedChangesNothing) {
    const QByteArray kept = "name;X [in]\r\nA;1\r\nB;2\r\n";
    {
        QFile file(QDir(workDir.path()).filePath("points.csv"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kept);
    }
    form.reset();
    form = std::make_unique<TmainForm>(service, prompts, clock);
    form->attachWindows(*breakForm, *logoForm, *helpForm, *paramsForm, *coordForm);
    ASSERT_NO_FATAL_FAILURE(startCycle(box));
    ASSERT_TRUE(form->points().empty());
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        auto* points = qobject_cast<workshop::PointsDialog*>(&dialog);
        ASSERT_TRUE(points);
        pressButton(points, points->okButton);
    };
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_F6));
    QFile file(form->pointsPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), kept);

    const workshop::Points exact = {{"A", {25.0, 10.001, std::nullopt}}};
    form->setPoints(exact);
    QTest::mouseClick(form->unitButton, Qt::LeftButton);  // inches
    ASSERT_NO_FATAL_FAILURE(key(form.get(), Qt::Key_F6));
    EXPECT_EQ(form->points(), exact);
}

}  // namespace
}  // namespace readouttest
