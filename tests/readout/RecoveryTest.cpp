// The operator's zero over link starts, no zero taken from grey figures, and a port that went
// away coming back by itself.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "readout/Texts.h"
#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Offsets = std::array<double, 3>;

TEST_F(ReadoutTest, OffsetsAreKeptUnlessTheBoxBehindThemMayHaveChanged) {
    const Offsets set{0.25, 0.5, 0.75};
    BoxConfig otherCounts = box;
    otherCounts.lineCounts = {8000, 4000, 4000};
    const struct {
        const char* action;
        std::function<void()> act;  // ends with the next link start asking for readiness
        BoxConfig answered;
        bool kept;
        const char* said;
    } cases[] = {
        {"F5 on a healthy link",
         [&] {
             QTest::keyClick(form.get(), Qt::Key_F5);
             replyPositions(1, 2, 3);
         },
         box, true, ""},
        {"\"Parametry\" closed without writing",
         [&] {
             form->paramsMMI->trigger();
             replyPositions(1, 2, 3);  // opens it; the prompts close it at once
             clock.advance(100);
         },
         box, true, ""},
        {"the box answers with another configuration",
         [&] {
             QTest::keyClick(form.get(), Qt::Key_F5);
             replyPositions(1, 2, 3);
         },
         otherCounts, false, "Przesunięcia wyzerowane: zmieniła się konfiguracja urządzenia."},
        {"another port",
         [&] {
             form->COM[1]->trigger();
             clock.advance(100);
         },
         box, false, "Przesunięcia wyzerowane: wybrano inny port."},
    };
    startCycle(box);
    QTest::mouseClick(form->relRButton, Qt::LeftButton);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const auto& c : cases) {
        replyPositions(1, 2, 3);
        form->offsets = set;
        prompts.clear();
        c.act();
        ASSERT_EQ(answerConfiguration(c.answered), (Bytes{0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}))
            << c.action;
        EXPECT_EQ(form->offsets, c.kept ? set : Offsets{}) << c.action;
        replyPositions(1, 2, 3);
        EXPECT_EQ(form->statusLabel->text().section('\n', 1),
                  QString::fromUtf8(c.kept ? "" : c.said))
            << c.action;
        box = c.answered;
    }
    // The operator's own zero takes the note away.
    QTest::mouseClick(form->clrXButton, Qt::LeftButton);
    EXPECT_EQ(form->statusLabel->text(), "COM2: odczyty aktualne.");
}

TEST_F(ReadoutTest, NoZeroIsTakenFromGreyFigures) {
    startCycle(box);
    QTest::mouseClick(form->relRButton, Qt::LeftButton);
    replyPositions(1000, 2000, 3000);
    form->deltaEdit->setText("5");
    // The box falls silent: the figures turn grey a watchdog period after the last reading.
    clock.advance(1200);
    ASSERT_FALSE(form->readoutsLive());
    for (QPushButton* button : {form->clrZButton, form->setXButton}) {
        prompts.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(prompts.messages, QStringList{texts::staleReading()})
            << button->accessibleName().toStdString();
        EXPECT_EQ(form->offsets, Offsets{});
    }
}

TEST_F(ReadoutTest, AVanishedPortIsReopenedByItselfAndTheWaitDialogClosesItself) {
    startCycle(box);
    replyPositions(1000, 2000, 3000);
    form->offsets = {1, 2, 3};
    const int attemptsBefore = device->openAttempts();
    // The adapter is pulled: its node goes with it.
    device->hangUp(true);
    EXPECT_FALSE(device->isOpen()) << "let go at once, so the node can come back";
    // Tried again soon, then about once a second, quietly: the status line tells.
    int attemptsInDialog = 0;
    QString statusInDialog;
    prompts.whileDialogOpen = [&](QDialog&) {
        prompts.whileDialogOpen = nullptr;
        attemptsInDialog = device->openAttempts() - attemptsBefore;
        statusInDialog = form->statusLabel->text();
        // The adapter is plugged in again; the next attempt finds the box.
        device->failOpen(0);
        clock.advance(1000);
        ASSERT_EQ(answerConfiguration(box), (Bytes{0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}));
    };
    clock.advance(5000);
    EXPECT_EQ(prompts.dialogResults, QList<int>{TbreakForm::ResultNo}) << "closed by itself";
    // At 0.25, 0.75, 1.75, 2.75, 3.75 and 4.75 s.
    EXPECT_EQ(attemptsInDialog, 6);
    EXPECT_TRUE(statusInDialog.startsWith("COM1: połączenie przerwane od 4 s"))
        << statusInDialog.toStdString();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    replyPositions(1000, 2000, 3000);
    EXPECT_TRUE(form->readoutsLive());
    EXPECT_EQ(form->offsets, Offsets{});
    EXPECT_EQ(form->statusLabel->text(),
              "COM1: odczyty aktualne.\nPrzesunięcia wyzerowane: połączenie było przerwane.");
}

}  // namespace
}  // namespace readouttest
