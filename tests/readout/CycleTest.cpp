// The measurement cycle, the link test and the port change, against a scripted box.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST_F(ReadoutTest, ReadoutTextsFromCounts) {
    const struct {
        std::uint8_t readiness;
        std::uint8_t codeX;
        std::uint8_t types;
        std::int32_t lineCount;
        long double calibration;
        std::int32_t count;
        const char* text;
    } cases[] = {
        {0xE0, 7, 0, 4000, 1.0L, 12345, "1.2345"},       // kind 1, code 7: step 0.0001
        {0xE0, 3, 0, 4000, 0.5L, 1000, "2.500"},         // kind 1: count x calibration x step
        {0xE0, 5, 1, 4000, 0.5L, 1000, "45'00'00"},      // kind 1 angular: calibration applied
        {0x30, 9, 0, 4000, 0.5L, 7, "7.0"},              // step 1, one decimal
        {0x30, 3, 0, 4000, 0.5L, -500, "-0.500"},        // no calibration for kinds 2 to 4
        {0x30, 9, 1, 4000, 0.5L, 10000000, "0'00'00"},   // 2500 full turns
        {0x30, 9, 1, 4000, 0.5L, 10001000, "90'00'00"},  //
        {0x30, 9, 1, 0, 0.5L, 1, "0'00'00"},             // line count 0 is taken as 1
        {0x30, 11, 0, 4000, 0.5L, 5, "-----"},           // unknown code: no step, no number
        {0x30, 11, 1, 4000, 0.5L, 1000, "90'00'00"},     // an angle needs no step
    };
    for (const auto& c : cases) {
        startOrRestartLink();
        BoxConfig config;
        config.readiness = c.readiness;
        config.codes = {c.codeX, 5, 5};
        config.types = c.types;
        config.lineCounts = {c.lineCount, 4000, 4000};
        config.calibration = {c.calibration, 0.5L, 0.5L};
        ASSERT_EQ(lastOf(answerConfiguration(config)), 0xE1);
        replyPositions(c.count, 0, 0);
        EXPECT_EQ(form->xxLabel->text().toStdString(), c.text) << "count " << c.count;
    }
}

TEST_F(ReadoutTest, EachReplyIsShownAndFollowedByTheNextRequest) {
    startCycle(box);
    for (std::int32_t n : {100, -200, 300}) {
        replyPositions(n, 2 * n, 3 * n);
        EXPECT_EQ(lastCommand(), 0xE1);
    }
    // Kind 4, code 5: step 0.001, three decimals.
    EXPECT_EQ(form->xxLabel->text(), "0.300");
    EXPECT_EQ(form->yyLabel->text(), "0.600");
    EXPECT_EQ(form->zzLabel->text(), "0.900");
    EXPECT_EQ(form->retriesLeft, 2);
    EXPECT_TRUE(form->TimeOutTripleTimer.Enabled());
}

TEST_F(ReadoutTest, SilentBoxGetsTwoRepeatsThenTheWaitDialog) {
    startCycle(box);
    const std::int64_t firstRequest = clock.nowUs();
    std::int64_t shownAt = -1;
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, breakForm.get());
        shownAt = clock.nowUs();
        EXPECT_EQ(breakForm->yesBtn->text(), "OK");
        EXPECT_EQ(breakForm->txtLabel->text(),
                  "Urządzenie niedostępne.\n\rChcesz przerwać czekanie?");
        EXPECT_EQ(device->takeWritten(), (Bytes{0xE1, 0xE1}));  // the two repeats
    };
    const int opensBefore = device->openCount();
    clock.advance(3799);
    EXPECT_EQ(prompts.dialogCount, 0);
    clock.advance(1);
    EXPECT_EQ(shownAt - firstRequest, 3800 * 1000);
    EXPECT_EQ(device->openCount() - opensBefore, 2);  // closed and reopened before each repeat
    // The operator stopped waiting: that ends the question only. The box is asked again about
    // once a second, on a port closed and reopened each time, and never asked twice at once.
    EXPECT_EQ(prompts.dialogResults, QList<int>{6});
    const int opensAtAnswer = device->openCount();
    clock.advance(20000);
    EXPECT_EQ(device->takeWritten(), Bytes(20, 0xE1));
    EXPECT_EQ(device->openCount() - opensAtAnswer, 20);
    EXPECT_EQ(prompts.dialogCount, 1);
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The box answers one of those requests: it may have restarted meanwhile, so the link starts
    // anew before the readings are shown again.
    replyPositions(1, 2, 3);
    EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    replyPositions(1, 2, 3);
    EXPECT_TRUE(form->readoutsLive());
    EXPECT_FALSE(form->linkLost());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(ReadoutTest, LateReplyToTheSecondRepeatClosesTheWaitDialog) {
    startCycle(box);
    prompts.whileDialogOpen = [&](QDialog&) {
        clock.advance(500);
        device->takeWritten();
        replyPositions(1, 2, 3);
    };
    clock.advance(3800);
    EXPECT_EQ(prompts.dialogResults, QList<int>{7});
    EXPECT_FALSE(breakForm->isVisible());
    EXPECT_EQ(form->retriesLeft, 2);
    EXPECT_EQ(form->xxLabel->text(), "0.001");
    // The cycle goes on from that reply.
    EXPECT_EQ(lastCommand(), 0xE1);
    replyPositions(4, 5, 6);
    EXPECT_EQ(lastCommand(), 0xE1);
    EXPECT_EQ(prompts.dialogCount, 1);
}

TEST_F(ReadoutTest, LinkTestDuringTheCycle) {
    startCycle(box);
    replyPositions(10, 20, 30);
    device->takeWritten();
    form->relRButton->setChecked(true);
    form->offsets = {0.5, 0.5, 0.5};
    form->testAction->trigger();
    Bytes writtenWhileMessageOpen{0xFF};
    prompts.whileMessageOpen = [&](const QString&) { writtenWhileMessageOpen = device->written(); };
    replyPositions(10, 20, 30);
    const Bytes commands = answerConfiguration(box);
    EXPECT_EQ(commands, (Bytes{0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}));
    EXPECT_EQ(prompts.messages, QStringList{"Test przeprowadzony pomyślnie."});
    // The cycle starts only when the operator has closed the message.
    EXPECT_TRUE(writtenWhileMessageOpen.empty());
    // A link test on a healthy link keeps the operator's zero.
    EXPECT_EQ(form->offsets, (std::array<double, 3>{0.5, 0.5, 0.5}));
    EXPECT_FALSE(form->testRequested);
    // The 100 ms timer of the test was stopped by the reply: no second link start.
    clock.advance(1000);
    EXPECT_EQ(lastCommand(), 0);
}

TEST_F(ReadoutTest, F5WhileTheConfigurationMenuIsDisabledDoesNothing) {
    showAndStart();
    EXPECT_FALSE(form->configMMI->isEnabled());
    form->testAction->trigger();
    EXPECT_FALSE(form->testTimer.Enabled());
    EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    clock.advance(1000);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(ReadoutTest, PortChangeWhileTheCycleRuns) {
    startCycle(box);
    replyPositions(1, 2, 3);
    form->offsets = {1, 2, 3};
    form->COM[2]->trigger();
    EXPECT_FALSE(device->isOpen());
    EXPECT_FALSE(form->configMMI->isEnabled());
    EXPECT_TRUE(form->COM[2]->isChecked());
    EXPECT_FALSE(form->COM[0]->isChecked());
    device->takeWritten();
    clock.advance(99);
    EXPECT_FALSE(device->isOpen());
    clock.advance(1);
    EXPECT_EQ(device->openedName(), "COM3");
    EXPECT_EQ(service.GetPortName(), "COM3");
    EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    EXPECT_EQ(form->offsets, (std::array<double, 3>{}));
}

TEST_F(ReadoutTest, ReferenceSearchOfOneAxis) {
    startCycle(box);
    replyPositions(1000, 2000, 3000);
    EXPECT_EQ(form->xxLabel->text(), "1.000");
    device->takeWritten();

    form->xSButton->click();
    EXPECT_TRUE(form->xSButton->isChecked());
    EXPECT_FALSE(form->ySButton->isEnabled());
    EXPECT_FALSE(form->zSButton->isEnabled());
    EXPECT_FALSE(form->configMMI->isEnabled());

    // The next reply is not shown: the reference command goes out instead.
    replyPositions(5000, 5000, 5000);
    EXPECT_EQ(form->xxLabel->text(), "1.000");
    EXPECT_EQ(device->takeWritten(),
              (Bytes{0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0, 0xEF}));
    device->receive(std::vector<std::uint8_t>{0xE0});
    EXPECT_EQ(lastCommand(), 0xE1);  // the selector of X
    device->receive(std::vector<std::uint8_t>{0xE0});
    // Acknowledged: the configuration is read again from the calibration on.
    EXPECT_FALSE(form->refTimer.Enabled());
    EXPECT_EQ(answerConfiguration(box), (Bytes{0xE5, 0xE6, 0xE7, 0xE4, 0xE1}));

    replyPositions(0, 7000, 0);
    EXPECT_EQ(form->xxLabel->text(), "Ref");
    EXPECT_EQ(form->yyLabel->text(), "7.000");
    EXPECT_TRUE(form->xSButton->isChecked());
    EXPECT_FALSE(form->ySButton->isEnabled());

    // The first count other than 0 ends the search, without a release command.
    device->takeWritten();
    replyPositions(12, 7000, 0);
    EXPECT_FALSE(form->xSButton->isChecked());
    EXPECT_EQ(form->xxLabel->text(), "0.012");
    EXPECT_TRUE(form->ySButton->isEnabled());
    EXPECT_TRUE(form->configMMI->isEnabled());
    EXPECT_EQ(form->pendingRefByte, 0);
    EXPECT_EQ(lastCommand(), 0xE1);
}

TEST_F(ReadoutTest, ReferenceButtonsQueueTheirSelectors) {
    const struct {
        Axis axis;
        bool releaseByHand;
        std::uint8_t selector;
    } cases[] = {
        {Axis::X, false, 0xE1},
        {Axis::Y, false, 0xE2},
        {Axis::Z, false, 0xE3},
        {Axis::Y, true, 0xE5},
    };
    startCycle(box);
    for (const auto& c : cases) {
        form->refButton(c.axis)->click();
        if (c.releaseByHand) form->refButton(c.axis)->click();
        EXPECT_EQ(form->pendingRefByte, c.selector);
        // Leave the button up again for the next case.
        form->refButton(c.axis)->setChecked(false);
        for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) form->refButton(axis)->setEnabled(true);
        form->pendingRefByte = 0;
    }
}

TEST_F(ReadoutTest, ReferenceButtonWithTheLinkClosedSendsNothing) {
    form->xSButton->click();
    EXPECT_TRUE(form->xSButton->isChecked());
    EXPECT_FALSE(form->ySButton->isEnabled());
    EXPECT_FALSE(form->zSButton->isEnabled());
    EXPECT_EQ(form->pendingRefByte, 0);
    form->xSButton->click();
    EXPECT_TRUE(form->ySButton->isEnabled());
    EXPECT_EQ(form->pendingRefByte, 0);
}

TEST_F(ReadoutTest, UnacknowledgedReferenceStopsTheCycle) {
    startCycle(box);
    form->zSButton->click();
    replyPositions(1, 2, 3);
    EXPECT_EQ(lastCommand(), 0xEF);
    clock.advance(2999);
    EXPECT_TRUE(prompts.messages.isEmpty());
    clock.advance(1);
    EXPECT_EQ(prompts.messages, QStringList{"Przerwa w transmisji referencji."});
    EXPECT_TRUE(form->configMMI->isEnabled());
    clock.advance(10000);
    EXPECT_EQ(lastCommand(), 0);
}

}  // namespace
}  // namespace readouttest
