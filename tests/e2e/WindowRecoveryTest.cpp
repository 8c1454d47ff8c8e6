// The real windows on the real serial port, in real time, against a kvt3-sim box that falls
// silent for longer than the request and its two repeats: the wait dialog comes, the operator
// stops waiting, the cycle stays stopped even once the box answers again, and the operator's
// link test brings the readouts back.
#include <gtest/gtest.h>

#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "tests/e2e/Session.h"
#include "tests/e2e/SimTrace.h"
#include "tests/e2e/WindowProgram.h"

namespace {

using namespace std::chrono_literals;
using namespace e2e;

constexpr int answeredBeforeSilence = 40;
constexpr auto silence = 6000ms;

TEST(WindowRecovery, CycleStoppedThroughTheWaitDialogRestartsWithTheLinkTest) {
    e2e::Session session;
    ASSERT_NO_FATAL_FAILURE(
        session.startBox({"--trace", "--silent-after", std::to_string(answeredBeforeSilence),
                          "--silent-for", std::to_string(silence.count())}));
    const auto simLog = [&] { return session.boxLog(); };

    CurrentDir currentDir(session.directory());
    Program program;
    testsupport::FakePrompts prompts;
    {
        Windows windows(program, prompts);
        TmainForm& form = windows.form;
        TbreakForm& breakForm = windows.breakForm;

        // The operator looks at the wait dialog for a moment, then presses its button.
        const QDialog* shown = nullptr;
        QString caption;
        QStringList readoutsAtDialog;
        SteadyClock::time_point dialogAt{};
        prompts.whileDialogOpen = [&](QDialog& dialog) {
            shown = &dialog;
            dialogAt = SteadyClock::now();
            caption = breakForm.yesBtn->text();
            readoutsAtDialog = readouts(form);
            spinFor(300ms);
        };
        prompts.dialogAnswer = TbreakForm::ResultYes;

        form.show();
        const QStringList initial = readouts(form);
        ASSERT_TRUE(spinUntil([&] { return readouts(form) != initial; }, 10s)) << "no readings\n"
                                                                               << simLog();
        const QStringList first = readouts(form);
        ASSERT_TRUE(spinUntil([&] { return readouts(form) != first; }, 5s)) << "readouts stand";

        // The box falls silent; the request and two repeats go unanswered.
        ASSERT_TRUE(spinUntil([&] { return e2e::timeOfNote(simLog(), "silent for") >= 0; }, 10s))
            << simLog();
        const auto silentAt = SteadyClock::now();
        ASSERT_TRUE(spinUntil([&] { return prompts.dialogCount > 0 && prompts.depth() == 0; },
                              silentAt + 3800ms + 5s))
            << "no wait dialog";
        EXPECT_EQ(shown, &breakForm);
        EXPECT_EQ(caption, QStringLiteral("OK"));
        EXPECT_EQ(prompts.dialogResults, QList<int>{TbreakForm::ResultYes});
        // About 3.8 s: three watchdog periods of 1200 ms and two repeat delays of 100 ms.
        const auto waited = dialogAt - silentAt;
        EXPECT_GT(waited, 3300ms);
        EXPECT_LT(waited, 6000ms);
        EXPECT_EQ(e2e::countNotesAfter(simLog(), "silent: E1 not answered", 0), 2) << simLog();

        // Stopped: nothing more goes to the box, even once it would answer again, and the
        // readouts keep their last text.
        const QStringList stopped = readouts(form);
        EXPECT_EQ(stopped, readoutsAtDialog);
        spinFor(200ms);
        const std::size_t sentBefore = simLog().size();
        spinFor(std::chrono::duration_cast<std::chrono::milliseconds>(silentAt + silence + 1500ms -
                                                                      SteadyClock::now()));
        const std::string whileStopped = simLog().substr(sentBefore);
        EXPECT_EQ(whileStopped.find("host>box"), std::string::npos) << whileStopped;
        EXPECT_EQ(readouts(form), stopped);
        EXPECT_EQ(prompts.dialogCount, 1);

        // The operator's link test: the link starts anew and the cycle with it.
        form.testAction->trigger();
        EXPECT_TRUE(spinUntil([&] { return readouts(form) != stopped; }, 8s))
            << "readouts did not move after the link test\n"
            << simLog().substr(sentBefore);
        const QStringList resumed = readouts(form);
        EXPECT_TRUE(spinUntil([&] { return readouts(form) != resumed; }, 5s));
        // Started from a stopped cycle, the link test completes without the success message.
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
        EXPECT_TRUE(prompts.exceptions.isEmpty()) << prompts.exceptions.join('|').toStdString();
    }
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

        // Once the box answers again, the operator's link test restarts the readings; the mark
        // was passed meanwhile, so X counts again and its Ref button is released.
        spinFor(std::chrono::duration_cast<std::chrono::milliseconds>(silentAt + 7000ms -
                                                                      SteadyClock::now()));
        form.testAction->trigger();
        EXPECT_TRUE(spinUntil([&] { return !form.xSButton->isChecked(); }, 8s)) << simLog();
        const QStringList resumed = readouts(form);
        EXPECT_TRUE(spinUntil([&] { return readouts(form) != resumed; }, 5s));
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
        EXPECT_TRUE(prompts.exceptions.isEmpty()) << prompts.exceptions.join('|').toStdString();
    }
    session.endBox();
}

}  // namespace
