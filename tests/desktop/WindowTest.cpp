// What the desktop adds to the readout window: F11 full screen with everything scaled in
// proportion and back, and the device of each port as the hint of its menu item.
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "app/FullScreen.h"
#include "app/PortHints.h"
#include "app/StartFailure.h"
#include "serial/PortNames.h"
#include "tests/readout/Harness.h"

namespace {

using readouttest::BoxConfig;

class Desktop : public readouttest::ReadoutTest {
protected:
    FullScreenReadout fullScreen{*form};

    void press(Qt::Key key) {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), key);
        QCoreApplication::processEvents();  // the refits that follow a change of rows
    }
    static BoxConfig kind(std::uint8_t readiness) {
        BoxConfig config;
        config.readiness = readiness;
        return config;
    }
};

TEST_F(Desktop, F11ScalesTheReadoutInProportionAndBackExactly) {
    ASSERT_NO_FATAL_FAILURE(startCycle(kind(0x30)));  // three axes
    const QSize normal = form->size();
    const QPoint place = form->geometry().topLeft();
    const int figures = form->xxLabel->font().pixelSize();
    const int letters = form->xLabel->font().pixelSize();
    const QSize letterBox = form->xLabel->minimumSize();
    const int rowHeight = form->xPanel->minimumHeight();

    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_F11));
    ASSERT_TRUE(form->isFullScreen());
    const double f = fullScreen.factor();
    EXPECT_GT(f, 1.2);
    EXPECT_EQ(form->size(), form->screen()->geometry().size());
    EXPECT_GE(form->xxLabel->font().pixelSize(), figures * f - 1.0);
    EXPECT_NEAR(form->xLabel->font().pixelSize(), letters * f, 1.0);
    EXPECT_NEAR(form->xLabel->minimumWidth(), letterBox.width() * f, 1.0);
    EXPECT_GE(form->zPanel->minimumHeight(), rowHeight * f - 1.0);
    // Fills the screen from top to bottom and fits it.
    const QSize used = form->centralWidget()->layout()->minimumSize();
    const QSize room = form->centralWidget()->size();
    EXPECT_LE(used.height(), room.height());
    EXPECT_LE(used.width(), room.width());
    EXPECT_GT(used.height(), room.height() * 0.95);

    // The readout goes on.
    device->takeWritten();
    replyPositions(1000, 2000, 3000);
    EXPECT_EQ(device->takeWritten().back(), 0xE1);
    const QString shown = form->xxLabel->text();
    EXPECT_FALSE(shown.isEmpty());

    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Escape));
    EXPECT_FALSE(form->isFullScreen());
    EXPECT_EQ(form->size(), normal);
    EXPECT_EQ(form->geometry().topLeft(), place);
    EXPECT_EQ(form->minimumSize(), normal);  // fixed again
    EXPECT_EQ(form->maximumSize(), normal);
    EXPECT_EQ(form->xxLabel->font().pixelSize(), figures);
    EXPECT_EQ(form->xLabel->minimumSize(), letterBox);
    EXPECT_EQ(form->xPanel->minimumHeight(), rowHeight);
    EXPECT_EQ(form->xxLabel->text(), shown);

    // F11 goes there and back as well; Escape in the normal window does nothing of it.
    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_F11));
    EXPECT_TRUE(form->isFullScreen());
    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_F11));
    EXPECT_FALSE(form->isFullScreen());
    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Escape));
    EXPECT_FALSE(form->isFullScreen());
    EXPECT_EQ(form->size(), normal);
}

TEST_F(Desktop, LinkRestartedWhileFullScreenShowsItsRowsThereAndInTheWindowAfter) {
    ASSERT_NO_FATAL_FAILURE(startCycle(kind(0x30)));
    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_F11));
    ASSERT_TRUE(form->isFullScreen());

    // Another box on the port: two axes. The link start fixes the window's height for them.
    form->COMClick(1);
    clock.advance(100);
    answerConfiguration(kind(0x20));
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->isFullScreen());
    EXPECT_EQ(form->size(), form->screen()->geometry().size());
    EXPECT_FALSE(form->zPanel->isVisible());
    EXPECT_TRUE(form->yPanel->isVisible());

    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Escape));
    EXPECT_FALSE(form->isFullScreen());
    // The two-row window, with its status line.
    EXPECT_EQ(form->frameGeometry().height(), 236 + form->statusLineExtra());
    EXPECT_EQ(form->width(), 660);
}

TEST_F(Desktop, PortItemsNameTheirDevices) {
    namespace fs = std::filesystem;
    fs::create_symlink("/dev/pts/9", "COM2");
    serial::setPortOverride(3, "/dev/ttyUSB5");
    serial::setSystemRoot("/nonexistent-root");  // a machine without serial ports
    showPortDevices(*form->configMMI, form->COM);
    EXPECT_EQ(form->COM[1]->toolTip(), QStringLiteral("./COM2 -> /dev/pts/9"));
    EXPECT_EQ(form->COM[2]->toolTip(), QStringLiteral("/dev/ttyUSB5"));
    EXPECT_EQ(form->COM[2]->statusTip(), QStringLiteral("/dev/ttyUSB5"));
    EXPECT_EQ(form->COM[0]->toolTip(), QStringLiteral("Brak urządzenia"));
    EXPECT_EQ(form->COM[0]->text(), QStringLiteral("COM&1"));
    EXPECT_TRUE(form->configMMI->toolTipsVisible());

    // Opening the menu looks again: a link made meanwhile shows.
    fs::create_symlink("/dev/pts/8", "COM1");
    emit form->configMMI->aboutToShow();
    EXPECT_EQ(form->COM[0]->toolTip(), QStringLiteral("./COM1 -> /dev/pts/8"));

    serial::clearPortOverrides();
    serial::setSystemRoot("/");
}

// A start from the menu that cannot go on says why in a message box, answered by its key.
TEST(StartFailure, ShownInAMessageBoxUntilAnswered) {
    const std::string reason = "kvt3: cannot work in /proc/nope: No such file or directory";
    QString shown;
    bool critical = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        shown = box->text();
        critical = box->icon() == QMessageBox::Critical;
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTimer watchdog;  // a box nobody answered would hang the test
    watchdog.callOnTimeout([] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    watchdog.start(5000);
    showStartFailure(reason);
    EXPECT_EQ(shown, QString::fromStdString(reason));
    EXPECT_TRUE(critical);
}

}  // namespace
