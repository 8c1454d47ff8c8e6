// The operator's zero over link starts that change nothing, and zeroed with its reason otherwise.
// (A box killed and started again, the zero and grey figures: the window test in e2e.)
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Offsets = std::array<double, 3>;

TEST_F(ReadoutTest, OffsetsAreKeptUnlessTheBoxBehindThemMayHaveChanged) {
    // A link test on a healthy link keeps them too (CycleTest, and the window test in e2e).
    enum class Act { closeParameters, linkTest, otherPort };
    const struct {
        Act act;
        std::int32_t countX;  // the line count of X the box answers with
        const char* said;     // empty: kept
    } cases[] = {
        {Act::closeParameters, 4000, ""},
        {Act::linkTest, 8000, "Przesunięcia wyzerowane: zmieniła się konfiguracja urządzenia."},
        {Act::otherPort, 8000, "Przesunięcia wyzerowane: wybrano inny port."},
    };
    startCycle(box);
    QTest::mouseClick(form->relRButton, Qt::LeftButton);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    for (const auto& c : cases) {
        replyPositions(1, 2, 3);
        const Offsets set{0.25, 0.5, 0.75};
        form->offsets = set;
        if (c.act == Act::otherPort) {
            form->COM[1]->trigger();
        } else {
            // A dialog opens, and a link test starts, at the next reply; the prompts close the
            // dialog at once.
            if (c.act == Act::linkTest)
                QTest::keyClick(form.get(), Qt::Key_F5);
            else
                form->paramsMMI->trigger();
            replyPositions(1, 2, 3);
        }
        clock.advance(100);
        box.lineCounts[0] = c.countX;
        ASSERT_EQ(answerConfiguration(box), (Bytes{0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}));
        const bool kept = *c.said == 0;
        EXPECT_EQ(form->offsets, kept ? set : Offsets{}) << c.said;
        replyPositions(1, 2, 3);
        EXPECT_EQ(form->statusLabel->text().section('\n', 1), QString::fromUtf8(c.said));
    }
    // The operator's own zero takes the note away.
    QTest::mouseClick(form->clrXButton, Qt::LeftButton);
    EXPECT_EQ(form->statusLabel->text(), "COM2: odczyty aktualne.");
}

}  // namespace
}  // namespace readouttest
