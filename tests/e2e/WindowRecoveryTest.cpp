// The real windows on the real serial port, in real time, against kvt3-sim, driven by the
// operator's keys and clicks: the operator's zero kept over a link test, no zero taken from grey
// figures, and a box killed and started again coming back by itself, the wait dialog closing
// itself and the status line saying why the zero went.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <csignal>
#include <filesystem>

#include "serial/PortNames.h"

#include "readout/Texts.h"
#include "tests/e2e/Session.h"
#include "tests/e2e/SimTrace.h"
#include "tests/e2e/WindowProgram.h"

namespace {

using namespace std::chrono_literals;
using namespace e2e;

TEST(WindowRecovery, TheZeroIsKeptNeverTakenFromGreyFiguresAndTheLinkComesBackByItself) {
    e2e::Session session;
    ASSERT_NO_FATAL_FAILURE(session.startBox({"--trace"}));
    const auto simLog = [&] { return session.boxLog(); };

    CurrentDir currentDir(session.directory());
    Program program;
    testsupport::FakePrompts prompts;
    Windows windows(program, prompts);
    TmainForm& form = windows.form;
    form.show();
    ASSERT_TRUE(spinUntil([&] { return form.readoutsLive(); }, 10s)) << simLog();

    // The operator's zero: relative mode, X set to 5.
    QTest::mouseClick(form.relRButton, Qt::LeftButton);
    QTest::keyClicks(form.deltaEdit, QStringLiteral("5"));
    QTest::mouseClick(form.setXButton, Qt::LeftButton);
    const std::array<double, 3> zero = form.offsets;
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();

    // F5 on a healthy link: the link test passes and the zero stays.
    QTest::keyClick(&form, Qt::Key_F5);
    ASSERT_TRUE(spinUntil([&] { return !prompts.messages.isEmpty(); }, 5s));
    EXPECT_EQ(prompts.messages, QStringList{"Test przeprowadzony pomyślnie."});
    ASSERT_TRUE(spinUntil([&] { return form.readoutsLive(); }, 5s));
    EXPECT_EQ(form.offsets, zero);

    // The box stops: once the figures are grey, "clr" is refused with its reason.
    prompts.clear();
    ASSERT_NO_FATAL_FAILURE(session.signalBox(SIGSTOP));
    ASSERT_TRUE(spinUntil([&] { return !form.readoutsLive(); }, 3s));
    QTest::mouseClick(form.clrZButton, Qt::LeftButton);
    QTest::mouseClick(form.setXButton, Qt::LeftButton);
    EXPECT_EQ(prompts.messages, (QStringList{texts::staleReading(), texts::staleReading()}));
    EXPECT_EQ(form.offsets, zero);
    ASSERT_NO_FATAL_FAILURE(session.signalBox(SIGCONT));
    ASSERT_TRUE(spinUntil([&] { return form.readoutsLive(); }, 5s)) << simLog();
    EXPECT_EQ(form.offsets, zero) << "a box that answers again on its own keeps the zero";

    // Killed and started again 4 s later on the same port, nobody pressing a key: the wait
    // dialog comes meanwhile and closes itself, the readings come back, the zero is gone and
    // the status line says why.
    prompts.clear();
    SteadyClock::time_point boxBack{};
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        spinFor(std::chrono::duration_cast<std::chrono::milliseconds>(std::max(
            0ms, 4000ms - std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() -
                                                                                boxBack))));
        ASSERT_NO_FATAL_FAILURE(session.startBox({"--trace"}));
        boxBack = SteadyClock::now();
        spinUntil([&] { return !dialog.isVisible(); }, 10s);
    };
    ASSERT_NO_FATAL_FAILURE(session.signalBox(SIGKILL));
    boxBack = SteadyClock::now();  // when it went, until it is back
    ASSERT_TRUE(spinUntil([&] { return prompts.dialogCount > 0 && prompts.depth() == 0; }, 15s))
        << "no wait dialog";
    EXPECT_EQ(prompts.dialogResults, QList<int>{TbreakForm::ResultNo});
    ASSERT_TRUE(spinUntil([&] { return form.readoutsLive(); }, boxBack + 3s))
        << "not live within 3 s of the box's return\n"
        << simLog();
    EXPECT_EQ(form.offsets, (std::array<double, 3>{}));
    EXPECT_TRUE(form.statusLabel->text().contains(
        QStringLiteral("Przesunięcia wyzerowane: połączenie było przerwane.")))
        << form.statusLabel->text().toStdString();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    EXPECT_TRUE(prompts.exceptions.isEmpty()) << prompts.exceptions.join('|').toStdString();
    session.endBox();
}

// The box accepts a reference command and falls silent while the configuration is read again:
// the wait dialog comes as for any silent read, and the link test brings the figures back.
TEST(WindowRecovery, SilenceAfterAReferenceCommandEndsInTheWaitDialogNotInFrozenFigures) {
    e2e::Session session;
    ASSERT_NO_FATAL_FAILURE(
        session.startBox({"--trace", "--silent-after-reference", "--silent-for", "6500"}));
    const auto simLog = [&] { return session.boxLog(); };

    CurrentDir currentDir(session.directory());
    Program program;
    testsupport::FakePrompts prompts;
    {
        Windows windows(program, prompts);
        TmainForm& form = windows.form;
        prompts.whileDialogOpen = [&](QDialog&) { spinFor(200ms); };
        prompts.dialogAnswer = TbreakForm::ResultYes;

        form.show();
        const QStringList initial = readouts(form);
        ASSERT_TRUE(spinUntil([&] { return readouts(form) != initial; }, 10s)) << simLog();

        QTest::mouseClick(form.xSButton, Qt::LeftButton);
        ASSERT_TRUE(spinUntil([&] { return e2e::timeOfNote(simLog(), "silent for") >= 0; }, 5s))
            << simLog();
        const auto silentAt = SteadyClock::now();
        ASSERT_TRUE(spinUntil([&] { return prompts.dialogCount > 0 && prompts.depth() == 0; },
                              silentAt + 8s))
            << "no wait dialog\n"
            << simLog();
        EXPECT_EQ(prompts.dialogResults, QList<int>{TbreakForm::ResultYes});
        EXPECT_TRUE(form.configMMI->isEnabled());
        EXPECT_TRUE(form.xSButton->isChecked());

        // Once the box answers again, the link starts anew by itself; the mark was passed
        // meanwhile, so X counts again and its Ref button is released.
        EXPECT_TRUE(spinUntil([&] { return !form.xSButton->isChecked(); }, silentAt + 10s))
            << simLog();
        const QStringList resumed = readouts(form);
        EXPECT_TRUE(spinUntil([&] { return readouts(form) != resumed; }, 5s));
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
        EXPECT_TRUE(prompts.exceptions.isEmpty()) << prompts.exceptions.join('|').toStdString();
    }
    session.endBox();
}

// The port the recovery reopens is the device that went away, not whatever the port's name
// leads to once that device is gone: here the name falls through to the device given on the
// command line, which is another box. (On a machine the same happens with USB adapters counted
// in order: pulling the first one makes COM1 the second.)
TEST(WindowRecovery, TheRecoveryReopensTheDeviceItLostNotAnotherOneNowBehindTheName) {
    e2e::Session boxA, boxB;
    ASSERT_NO_FATAL_FAILURE(boxA.startBox({}));
    ASSERT_NO_FATAL_FAILURE(boxB.startBox(
        {"--motion", "x=still:12345", "--motion", "y=still:0", "--motion", "z=still:0"}));
    serial::setPortOverride(1, std::filesystem::read_symlink(boxB.file("COM1")).string());

    CurrentDir currentDir(boxA.directory());
    Program program;
    testsupport::FakePrompts prompts;
    {
        Windows windows(program, prompts);
        TmainForm& form = windows.form;
        form.show();
        ASSERT_TRUE(spinUntil([&] { return form.readoutsLive(); }, 10s)) << boxA.boxLog();
        ASSERT_NE(readouts(form)[0], QStringLiteral("12.345")) << "box A is the one read";

        // Box A's device goes away (its link with it, as an adapter's node does).
        ASSERT_NO_FATAL_FAILURE(boxA.signalBox(SIGKILL));
        spinFor(4s);
        EXPECT_FALSE(form.readoutsLive() && readouts(form)[0] == QStringLiteral("12.345"))
            << "box B's figures shown as current on COM1: "
            << form.statusLabel->text().toStdString();
    }
    serial::clearPortOverrides();
    boxB.endBox();
}

}  // namespace
