// What the operator meets when the box or the port fails: waiting, line errors, a port that
// cannot be opened; and the opening of the configuration dialogs around the cycle.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <cerrno>

#include "serial/VaComm.h"
#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

using Bytes = std::vector<std::uint8_t>;

const QString openFailed = QStringLiteral("Błąd przy nawiązaniu połączenia.");

TEST_F(ReadoutTest, WaitDialogDuringTheConfigurationRead) {
    const struct {
        bool lateReply;
        int result;
    } cases[] = {{true, 7}, {false, 6}};
    for (const auto& c : cases) {
        startOrRestartLink();
        prompts.clear();
        device->receive(std::vector<std::uint8_t>{box.readiness});
        ASSERT_EQ(lastCommand(), 0xE5);
        prompts.whileDialogOpen = [&](QDialog& dialog) {
            EXPECT_EQ(&dialog, breakForm.get());
            EXPECT_EQ(breakForm->yesBtn->text(), "OK");
            if (c.lateReply) device->receive(calibrationReply());
        };
        // The time-out counts from the readiness request.
        clock.advance(4999);
        EXPECT_EQ(prompts.dialogCount, 0);
        clock.advance(1);
        EXPECT_EQ(prompts.dialogResults, QList<int>{c.result});
        prompts.whileDialogOpen = nullptr;
        if (c.lateReply) {
            // The read went on from the late reply.
            EXPECT_EQ(answerConfiguration(box), (Bytes{0xE6, 0xE7, 0xE4, 0xE1}));
        } else {
            // "OK" ends the question only: the menu is available, and the link start is tried
            // again about once a second until the box answers.
            EXPECT_TRUE(form->configMMI->isEnabled());
            device->takeWritten();
            clock.advance(20000 + TRS232Service::QuietLineMs);
            EXPECT_EQ(device->takeWritten(), Bytes(20, 0xE9));
            clock.advance(1000);
            EXPECT_EQ(answerConfiguration(box), (Bytes{0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}));
            EXPECT_EQ(prompts.dialogCount, 1);
        }
        EXPECT_TRUE(prompts.messages.isEmpty());
    }
}

TEST_F(ReadoutTest, LineErrorsStopTheReadAndTheCycle) {
    const QString frameError = QStringLiteral("Urządzenie niedostępne (błąd ramki).");
    // During the configuration read.
    showAndStart();
    device->receive(std::vector<std::uint8_t>{box.readiness});
    ASSERT_EQ(lastCommand(), 0xE5);
    device->receive(0x12, serial::ErrorBits::Frame);
    EXPECT_EQ(prompts.messages, QStringList{frameError});
    EXPECT_TRUE(form->configMMI->isEnabled());
    // Told once; the link start is tried again by itself, quietly, while the box is silent.
    device->takeWritten();
    clock.advance(20000);
    EXPECT_EQ(lastCommand(), 0xE9);
    EXPECT_EQ(prompts.messages, QStringList{frameError});

    // During the cycle.
    prompts.clear();
    form->testAction->trigger();
    clock.advance(100);
    ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    device->receive(0x00, serial::ErrorBits::Frame);
    EXPECT_EQ(prompts.messages, QStringList{frameError});
    EXPECT_FALSE(form->TimeOutTripleTimer.Enabled());
    device->takeWritten();
    clock.advance(20000);
    EXPECT_EQ(lastCommand(), 0xE9);
    EXPECT_EQ(prompts.messages, QStringList{frameError});
    EXPECT_EQ(prompts.dialogCount, 0);
}

TEST_F(ReadoutTest, PortThatCannotBeOpened) {
    // At the link start.
    device->failOpen(ENOENT);
    showAndStart();
    EXPECT_EQ(prompts.messages, QStringList{openFailed});
    EXPECT_TRUE(form->configMMI->isEnabled());
    EXPECT_FALSE(form->portOpen);
    EXPECT_EQ(lastCommand(), 0);

    // At the start of the cycle: the read completes, then the port is gone.
    device->failOpen(0);
    prompts.clear();
    form->COMClick(1);
    clock.advance(100 + TRS232Service::QuietLineMs);
    device->receive(std::vector<std::uint8_t>{box.readiness});
    device->receive(calibrationReply());
    device->receive(resolutionReply());
    device->receive(lineCountsReply());
    device->failOpen(ENOENT);
    device->takeWritten();
    device->receive(correctionsReply());
    EXPECT_EQ(prompts.messages, QStringList{openFailed});
    EXPECT_FALSE(form->TimeOutTripleTimer.Enabled());
    EXPECT_EQ(lastCommand(), 0);
    clock.advance(20000);
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.dialogCount, 0);
}

TEST_F(ReadoutTest, PortLostDuringTheRetries) {
    startCycle(box);
    device->failOpen(EIO);
    // No message at each failed reopen: the status line says the link is lost and reopened,
    // and the wait dialog comes 3.8 s after the port failed at the first repeat.
    clock.advance(1300 + 3799);
    EXPECT_TRUE(prompts.log.isEmpty()) << prompts.log.join('|').toStdString();
    clock.advance(1000);
    EXPECT_EQ(prompts.log,
              (QStringList{"dialog: " + breakForm->windowTitle(), "dialog result: 6"}));
    EXPECT_TRUE(form->statusLabel->text().startsWith("COM1: połączenie przerwane"))
        << form->statusLabel->text().toStdString();
}

TEST_F(ReadoutTest, WaitDialogIsNeverNested) {
    startCycle(box);
    prompts.whileDialogOpen = [&](QDialog&) {
        // A link test from inside the dialog meets a silent box too.
        form->testAction->trigger();
        clock.advance(100 + TRS232Service::QuietLineMs);
        EXPECT_EQ(lastCommand(), 0xE9);
        clock.advance(6000);
        clock.advance(6000);
    };
    clock.advance(3800);
    EXPECT_EQ(prompts.dialogCount, 1);
    EXPECT_EQ(prompts.maxDepth, 1);
}

TEST_F(ReadoutTest, CoordinatesRequestedWhileTheCycleRuns) {
    startCycle(box);
    bool linkClosedWhileShown = false;
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, coordForm.get());
        linkClosedWhileShown = !device->isOpen();
        dialog.done(2);
    };
    form->coordMMI->trigger();
    EXPECT_EQ(prompts.dialogCount, 0);
    device->takeWritten();
    replyPositions(1, 2, 3);
    EXPECT_EQ(prompts.dialogCount, 1);
    EXPECT_TRUE(linkClosedWhileShown);
    EXPECT_FALSE(form->dialogRequested);
    // No further position request; 100 ms after the dialog closed the link starts anew.
    EXPECT_EQ(device->takeWritten(),
              (Bytes{0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0}));
    clock.advance(100);
    EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    // The 3000 ms request timer does not open it a second time.
    clock.advance(3000);
    EXPECT_EQ(prompts.dialogCount, 1);
}

TEST_F(ReadoutTest, ParametersWhileTheCycleIsStopped) {
    startCycle(box);
    replyPositions(1, 2, 3);
    clock.advance(3800);  // silent box: the operator stops waiting
    ASSERT_EQ(prompts.dialogCount, 1);
    paramsForm->calibXEdit->setText("typed");
    paramsForm->impulseYEdit->setText("typed");
    int paramsShown = 0;
    QString calibShown, impulseShown;
    bool linkOpenWhileShown = true;
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        if (&dialog != paramsForm.get()) return;
        ++paramsShown;
        calibShown = paramsForm->calibXEdit->text();
        impulseShown = paramsForm->impulseYEdit->text();
        linkOpenWhileShown = device->isOpen();
    };

    // The dialog opens 3000 ms after the request...
    form->paramsMMI->trigger();
    clock.advance(2999);
    EXPECT_EQ(paramsShown, 0);
    clock.advance(1);
    EXPECT_EQ(paramsShown, 1);
    // ... filled from the last configuration read, with the link closed.
    EXPECT_EQ(calibShown, "0.500000");
    EXPECT_EQ(impulseShown, "1000");
    EXPECT_FALSE(linkOpenWhileShown);

    // 100 ms after it closed the link starts again; the box is silent once more.
    clock.advance(100);
    EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    clock.advance(3800);
    // A second choice within the 3000 ms opens it at once.
    form->paramsMMI->trigger();
    clock.advance(1000);
    EXPECT_EQ(paramsShown, 1);
    form->paramsMMI->trigger();
    EXPECT_EQ(paramsShown, 2);
    EXPECT_FALSE(form->configTimer.Enabled());
    clock.advance(5000);
    EXPECT_EQ(paramsShown, 2);
}

TEST_F(ReadoutTest, AConfigurationDialogNeverOpensOverTheOther) {
    startCycle(box);
    clock.advance(3800);  // silent box: the cycle stops
    int nestedOpens = 0;
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        if (prompts.depth() > 1) ++nestedOpens;
        // The parameters request falls due while the correction dialog is shown.
        if (&dialog == coordForm.get()) clock.advance(5000);
    };
    form->paramsMMI->trigger();
    form->coordMMI->trigger();
    EXPECT_EQ(nestedOpens, 0);
    EXPECT_FALSE(form->configTimer.Enabled());
}

}  // namespace
}  // namespace readouttest
