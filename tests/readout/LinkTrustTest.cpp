// What the operator sees when replies come corrupted, when the box falls silent in the middle of
// a reference command's re-read, and when a link start meets timers still due from the cycle:
// never figures that are not the box's current reading, never a menu that cannot be reached.
#include <QAction>
#include <QColor>
#include <QLabel>
#include <QMenu>
#include <QPalette>
#include <QPushButton>

#include "link/WireFormats.h"
#include "serial/VaComm.h"
#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

using Bytes = std::vector<std::uint8_t>;

const QString badParameter = QStringLiteral("Błędna wartość parametru.");
const QString testPassed = QStringLiteral("Test przeprowadzony pomyślnie.");

class LinkTrust : public ReadoutTest {
protected:
    // A reply whose byte `marked` arrives with a parity error; the rest come clean.
    void receiveMarked(const Bytes& reply, std::size_t marked,
                       std::int32_t errors = serial::ErrorBits::Parity) {
        if (marked > 0) device->receive(Bytes(reply.begin(), reply.begin() + long(marked)));
        device->receive(reply[marked], errors);
        if (marked + 1 < reply.size())
            device->receive(Bytes(reply.begin() + long(marked) + 1, reply.end()));
    }

    // The box's reply to one request of the configuration read.
    Bytes replyTo(std::uint8_t command) const {
        switch (command) {
            case 0xE9:
                return {box.readiness};
            case 0xE5:
                return calibrationReply();
            case 0xE6:
                return resolutionReply();
            case 0xE7:
                return lineCountsReply();
            case 0xE4:
                return correctionsReply();
            default:
                return {box.types};
        }
    }

    Bytes positionReply(std::int32_t x, std::int32_t y, std::int32_t z) const {
        const std::int32_t counts[] = {x, y, z};
        Bytes reply(4 * std::size_t(service.AxisCount));
        for (std::size_t i = 0; i < service.AxisCount; ++i)
            wire::writeInt32(&reply[4 * i], counts[i]);
        return reply;
    }

    // Presses a Ref button, lets the next reply send the command and the box accept it with its
    // parameter; the configuration read that follows is left to the test.
    void startReferenceSearch(QPushButton* button) {
        button->click();
        replyPositions(1, 2, 3);
        ASSERT_EQ(lastCommand(), 0xEF);
        device->receive(Bytes{0xE0});
        device->receive(Bytes{0xE0});
    }
};

TEST_F(LinkTrust, ACorruptedPositionReplyIsNotShownAndEndsNoReferenceSearch) {
    startCycle(box);
    replyPositions(1000, 2000, 3000);
    ASSERT_EQ(form->xxLabel->text(), "1.000");
    device->takeWritten();

    receiveMarked(positionReply(5000, 6000, 7000), 2);
    EXPECT_EQ(form->xxLabel->text(), "1.000");
    EXPECT_EQ(form->yyLabel->text(), "2.000");
    EXPECT_EQ(form->positions[0], 1.0);
    // The cycle goes on with the next request.
    EXPECT_EQ(lastCommand(), 0xE1);

    startReferenceSearch(form->xSButton);
    ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    replyPositions(0, 7000, 0);
    ASSERT_EQ(form->xxLabel->text(), "Ref");

    // A corrupted count other than 0 is no mark found.
    receiveMarked(positionReply(12, 7000, 0), 9);
    EXPECT_TRUE(form->xSButton->isChecked());
    EXPECT_EQ(form->xxLabel->text(), "Ref");

    replyPositions(12, 7000, 0);
    EXPECT_FALSE(form->xSButton->isChecked());
    EXPECT_EQ(form->xxLabel->text(), "0.012");
}

TEST_F(LinkTrust, ALineThatCorruptsEveryReplyEndsInTheWaitDialog) {
    startCycle(box);
    replyPositions(1000, 2000, 3000);
    device->takeWritten();
    int waitDialogAtMs = -1;
    int elapsedMs = 0;
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        if (&dialog == breakForm.get()) waitDialogAtMs = elapsedMs;
    };
    for (; elapsedMs < 6000 && waitDialogAtMs < 0; elapsedMs += 10) {
        if (lastCommand() == 0xE1) receiveMarked(positionReply(5000, 6000, 7000), 0);
        clock.advance(10);
    }
    // Three watchdog periods and two repeats, as for a box that does not answer at all.
    EXPECT_GE(waitDialogAtMs, 3600);
    EXPECT_LE(waitDialogAtMs, 4000);
    EXPECT_EQ(form->xxLabel->text(), "1.000");
}

TEST_F(LinkTrust, AConfigurationReplyWithALineErrorStopsTheRead) {
    const struct {
        const char* name;
        std::uint8_t readiness;
        std::uint8_t corrupted;  // the command whose reply comes with a parity error
    } cases[] = {
        {"calibration, also when asked again", 0x30, 0xE5},
        {"resolution and types", 0x30, 0xE6},
        {"line counts", 0x30, 0xE7},
        {"correction tables", 0x30, 0xE4},
        {"kind 1 resolution", 0xE0, 0xE6},
        {"kind 1 dimension types", 0xE0, 0xE8},
        {"kind 1 line counts", 0xE0, 0xE7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        BoxConfig config;
        config.readiness = c.readiness;
        config.codes = {2, 2, 2};
        config.correctionRows = 2;
        box = config;
        startOrRestartLink();
        prompts.clear();
        std::vector<std::uint8_t> commands;
        for (int step = 0; step < 10; ++step) {
            const std::uint8_t command = lastCommand();
            if (command == 0 || command == 0xE1) break;
            commands.push_back(command);
            const Bytes reply = replyTo(command);
            if (command == c.corrupted)
                receiveMarked(reply, reply.size() - 1);
            else
                device->receive(reply);
        }
        clock.advance(20000);
        EXPECT_EQ(prompts.messages, QStringList{badParameter});
        EXPECT_EQ(prompts.dialogCount, 0);
        EXPECT_TRUE(form->configMMI->isEnabled());
        EXPECT_EQ(lastCommand(), 0) << "the read went on";
        EXPECT_NE(lastOf(commands), 0xE1);
    }
}

TEST_F(LinkTrust, ABoxSilentAfterAReferenceAcknowledgementBringsTheWaitDialog) {
    startCycle(box);
    startReferenceSearch(form->zSButton);
    ASSERT_EQ(lastCommand(), 0xE5);
    // The box says nothing more. The re-read times out like any other read.
    clock.advance(4999);
    EXPECT_EQ(prompts.dialogCount, 0);
    clock.advance(1);
    ASSERT_EQ(prompts.dialogResults, QList<int>{6});
    EXPECT_TRUE(form->configMMI->isEnabled());
    clock.advance(10000);
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The link starts again by itself once the box answers.
    EXPECT_EQ(lastOf(device->written()), 0xE9);
    EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
}

TEST_F(LinkTrust, ALinkStartCancelsARepeatStillDueFromTheCycle) {
    const struct {
        const char* name;
        bool portChange;
    } cases[] = {{"link test", false}, {"port change", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOrRestartLink();
        ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
        // The box does not answer; 50 ms before the watchdog the operator restarts the link.
        clock.advance(1150);
        device->takeWritten();
        if (c.portChange)
            form->COMClick(1);
        else
            form->testAction->trigger();
        clock.advance(100);
        clock.advance(200);
        // Only the readiness request: no repeat of the position request crosses the read.
        EXPECT_EQ(device->written(), Bytes{0xE9});
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
        EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
        prompts.clear();
    }
}

TEST_F(LinkTrust, TheLinkTestIsAnnouncedOnceNotAfterALaterReRead) {
    startCycle(box);
    form->testAction->trigger();
    replyPositions(1, 2, 3);
    ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    EXPECT_EQ(prompts.messages, QStringList{testPassed});

    startReferenceSearch(form->xSButton);
    EXPECT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    EXPECT_EQ(prompts.messages, QStringList{testPassed});
}

TEST_F(LinkTrust, AReferenceGivenUpStaysGivenUp) {
    startCycle(box);
    form->ySButton->click();
    replyPositions(1, 2, 3);
    ASSERT_EQ(lastCommand(), 0xEF);
    clock.advance(3000);
    ASSERT_EQ(prompts.messages, QStringList{"Przerwa w transmisji referencji."});
    EXPECT_TRUE(form->configMMI->isEnabled());
    // An acceptance that still comes does not restart the cycle behind the message.
    device->receive(Bytes{0xE0});
    device->receive(Bytes{0xE0});
    clock.advance(10000);
    EXPECT_EQ(lastCommand(), 0);
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.dialogCount, 0);
}

TEST_F(LinkTrust, AReferenceCommandRefusedByTheBoxIsReportedOnceAndLeavesTheMenuOpen) {
    startCycle(box);
    form->xSButton->click();
    replyPositions(1, 2, 3);
    ASSERT_EQ(lastCommand(), 0xEF);
    device->receive(Bytes{0x55});
    clock.advance(10000);
    EXPECT_EQ(prompts.messages,
              QStringList{QStringLiteral("Urządzenie niedostępne (błąd czytania akceptacji).")});
    EXPECT_TRUE(form->configMMI->isEnabled());
    // Then the link is started anew, quietly, about once a second.
    EXPECT_EQ(lastCommand(), 0xE9);
}

TEST_F(LinkTrust, FiguresTurnGreyWhileNoCurrentReadingIsShown) {
    EXPECT_FALSE(form->readoutsLive());
    startCycle(box);
    EXPECT_FALSE(form->readoutsLive());
    replyPositions(1000, 2000, 3000);
    EXPECT_TRUE(form->readoutsLive());
    EXPECT_EQ(form->xxLabel->palette().color(QPalette::WindowText), QColor(0, 128, 0));

    // No answer within the watchdog's time: what is shown is no longer the box's reading.
    clock.advance(1199);
    EXPECT_TRUE(form->readoutsLive());
    clock.advance(1);
    EXPECT_FALSE(form->readoutsLive());
    EXPECT_EQ(form->xxLabel->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    EXPECT_EQ(form->xxLabel->text(), "1.000");
    // The repeat is answered: current again.
    clock.advance(100);
    ASSERT_EQ(lastCommand(), 0xE1);
    replyPositions(1500, 2000, 3000);
    EXPECT_TRUE(form->readoutsLive());

    // A corrupted reply changes nothing; a link error stops the readings.
    receiveMarked(positionReply(1, 2, 3), 0);
    EXPECT_TRUE(form->readoutsLive());
    device->receive(0x00, serial::ErrorBits::Frame);
    EXPECT_FALSE(form->readoutsLive());
    EXPECT_EQ(form->xxLabel->text(), "1.500");
}

TEST_F(LinkTrust, TheMenuComesBackWhenTheCycleStopsWithAReferenceCommandQueued) {
    const struct {
        const char* name;
        bool linkError;  // else the operator stops waiting for a silent box
    } cases[] = {{"link error", true}, {"silent box", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOrRestartLink();
        ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
        // Pressed while a request is out: the button holds the menu until the command is sent.
        form->xSButton->click();
        ASSERT_FALSE(form->configMMI->isEnabled());
        if (c.linkError)
            device->receive(0x00, serial::ErrorBits::Frame);
        else
            clock.advance(4000);
        EXPECT_TRUE(form->configMMI->isEnabled());
        // Releasing the button does not take it away again.
        form->xSButton->click();
        EXPECT_TRUE(form->configMMI->isEnabled());
        prompts.clear();
    }
}

TEST_F(LinkTrust, ALinkGivenUpCancelsTheRepeatStillDueAndTheQueuedReference) {
    startCycle(box);
    replyPositions(1000, 2000, 3000);
    form->xSButton->click();  // queued for the next reply, which does not come
    device->takeWritten();
    clock.advance(1250);  // the watchdog fired at 1200, its repeat is due at 1300
    Bytes behindMessage;
    prompts.whileMessageOpen = [&](const QString&) {
        clock.advance(500);
        const Bytes w = device->takeWritten();
        behindMessage.insert(behindMessage.end(), w.begin(), w.end());
    };
    device->receive(std::uint8_t{0x00}, serial::ErrorBits::Frame);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(behindMessage.empty()) << "a request went out behind the message";
    EXPECT_FALSE(service.Comm().Active());
    prompts.whileMessageOpen = nullptr;

    // The operator releases the button and restarts the link: no reference command follows.
    form->xSButton->click();
    ASSERT_FALSE(form->xSButton->isChecked());
    form->testAction->trigger();
    clock.advance(100);
    ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    replyPositions(1000, 2000, 3000);
    EXPECT_EQ(lastCommand(), 0xE1);
}

TEST_F(LinkTrust, FiguresTurnGreyWhateverExchangeKeepsTheReadingsAway) {
    const struct {
        const char* name;
        bool acknowledged;  // else the box never answers the reference command
    } cases[] = {{"re-read after the acknowledgement", true}, {"no acknowledgement", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        startOrRestartLink();
        ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
        replyPositions(1000, 2000, 3000);
        form->zSButton->click();
        replyPositions(1000, 2000, 3000);
        ASSERT_EQ(lastCommand(), 0xEF);
        if (c.acknowledged) {
            device->receive(Bytes{0xE0});
            device->receive(Bytes{0xE0});
            ASSERT_EQ(lastCommand(), 0xE5);
        }
        clock.advance(1199);
        EXPECT_TRUE(form->readoutsLive());
        clock.advance(1);
        EXPECT_FALSE(form->readoutsLive());
        clock.advance(10000);
        EXPECT_FALSE(form->readoutsLive());
        form->zSButton->setChecked(false);
        for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) form->refButton(axis)->setEnabled(true);
        prompts.clear();
    }
}

TEST_F(LinkTrust, TheDialogsOpenOnlyOnAConfigurationReadWhole) {
    const QString openFailed = QStringLiteral("Błąd przy nawiązaniu połączenia.");
    // No box answers: the operator stops waiting, then asks for the parameters.
    showAndStart();
    clock.advance(5000);
    ASSERT_EQ(prompts.dialogResults, QList<int>{6});
    ASSERT_TRUE(form->configMMI->isEnabled());
    for (QAction* item : {form->paramsMMI, form->coordMMI}) {
        prompts.clear();
        item->trigger();
        clock.advance(5000);
        EXPECT_EQ(prompts.messages, QStringList{openFailed});
        EXPECT_EQ(prompts.dialogCount, 0) << "a dialog opened with values never read";
    }

    // A whole read: the dialog opens.
    prompts.clear();
    form->testAction->trigger();
    clock.advance(100);
    ASSERT_EQ(lastOf(answerConfiguration(box)), 0xE1);
    form->paramsMMI->trigger();
    replyPositions(1, 2, 3);
    EXPECT_EQ(prompts.dialogCount, 1);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

}  // namespace
}  // namespace readouttest
