#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "app/AboutUnit.h"
#include "app/breakUnit.h"
#include "app/helpUnit.h"

namespace {

TEST(WaitDialog, CallerSeesOnlyYesOrNo) {
    struct Case {
        const char* how;
        std::function<void(TbreakForm&)> close;
        int result;
    };
    const Case cases[] = {
        {"button", [](TbreakForm& f) { f.yesBtn->click(); }, 6},
        {"escape", [](TbreakForm& f) { QTest::keyClick(&f, Qt::Key_Escape); }, 6},
        {"escape on the button", [](TbreakForm& f) { QTest::keyClick(f.yesBtn, Qt::Key_Escape); },
         6},
        {"close box", [](TbreakForm& f) { f.close(); }, 6},
        {"cancel", [](TbreakForm& f) { f.done(2); }, 6},
        {"ok", [](TbreakForm& f) { f.done(1); }, 6},
        {"from outside, wait over", [](TbreakForm& f) { f.done(7); }, 7},
        {"from outside, yes", [](TbreakForm& f) { f.done(6); }, 6},
    };
    TbreakForm form;  // one dialog reused, as in the program
    for (const Case& c : cases) {
        form.setResult(-1);
        form.open();
        ASSERT_TRUE(form.isVisible()) << c.how;
        c.close(form);
        EXPECT_FALSE(form.isVisible()) << c.how;
        EXPECT_EQ(form.result(), c.result) << c.how;
    }
}

TEST(WaitDialog, LooksAsDescribedAndKeepsTheTextsItWasGiven) {
    TbreakForm form;
    EXPECT_EQ(form.windowTitle(), "Informacja");
    EXPECT_EQ(form.size(), QSize(236, 88));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(form.yesBtn->text(), "TAK");
    EXPECT_EQ(form.txtLabel->text(), "23::Przerwa w transmisji\r\nChcesz przerwać czekanie?");
    EXPECT_TRUE(form.txtLabel->font().bold());
    EXPECT_LT(form.Image->x(), form.txtLabel->x());

    form.txtLabel->setText("Urządzenie niedostępne.\n\rChcesz przerwać czekanie?");
    form.yesBtn->setText("OK");
    form.open();
    form.done(7);
    form.open();
    EXPECT_EQ(form.txtLabel->text(), "Urządzenie niedostępne.\n\rChcesz przerwać czekanie?");
    EXPECT_EQ(form.yesBtn->text(), "OK");
    form.done(6);
}

TEST(HelpWindow, EscapeClosesAsOkDoes) {
    ThelpForm form;
    EXPECT_EQ(form.windowTitle(), "Pomoc");
    EXPECT_EQ(form.size(), QSize(536, 348));
    EXPECT_TRUE(form.helpMemo->isReadOnly());

    form.open();
    QTest::keyClick(form.helpMemo, Qt::Key_Escape);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 1);

    form.open();
    form.okBtn->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 1);
}

// Keys typed into the about window, where they land and what they leave behind.
struct KeyRun {
    const char* name;
    std::vector<int> keys;
    bool toButton;  // sent to the button that has the focus, else to the window itself
    int progress;
    bool hidden;
};

class AboutWindow : public ::testing::Test {
protected:
    static constexpr const char* hiddenText = "Elektronika Pomiary";
    TlogoForm form;

    void type(const std::vector<int>& keys, bool toButton) {
        for (int key : keys) {
            if (toButton) {
                QTest::keyClick(form.Btn, static_cast<Qt::Key>(key));
            } else {
                QTest::keyClick(&form, static_cast<Qt::Key>(key));
            }
        }
    }
};

TEST_F(AboutWindow, FiveLettersInARowRevealTheHiddenText) {
    const KeyRun runs[] = {
        {"sequence at the button",
         {Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T},
         true,
         4,
         true},
        {"sequence at the window",
         {Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T},
         false,
         4,
         true},
        {"four letters", {Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N}, true, 4, false},
        {"shift between two letters",
         {Qt::Key_K, Qt::Key_W, Qt::Key_Shift, Qt::Key_A, Qt::Key_N, Qt::Key_T},
         true,
         0,
         false},
        {"first letter twice",
         {Qt::Key_K, Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T},
         true,
         0,
         false},
        {"restart after a wrong key",
         {Qt::Key_K, Qt::Key_X, Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T},
         true,
         4,
         true},
        {"digit in between", {Qt::Key_K, Qt::Key_W, Qt::Key_1, Qt::Key_A}, false, 0, false},
        {"fifth letter again",
         {Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T, Qt::Key_T},
         true,
         4,
         true},
    };
    for (const KeyRun& run : runs) {
        TlogoForm fresh;
        fresh.open();
        for (int key : run.keys) {
            QWidget* target = run.toButton ? static_cast<QWidget*>(fresh.Btn) : &fresh;
            QTest::keyClick(target, static_cast<Qt::Key>(key));
        }
        EXPECT_EQ(fresh.keyProgress(), run.progress) << run.name;
        EXPECT_EQ(fresh.verLabel->text(), run.hidden ? hiddenText : "Wersja 2.1") << run.name;
        EXPECT_TRUE(fresh.isVisible()) << run.name;
    }
}

TEST_F(AboutWindow, ShowingAgainResetsProgressButKeepsTheText) {
    EXPECT_EQ(form.windowTitle(), "O Autorach");
    EXPECT_EQ(form.size(), QSize(400, 192));
    form.open();
    type({Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T}, true);
    ASSERT_EQ(form.verLabel->text(), hiddenText);

    type({Qt::Key_Escape}, true);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 1);
    EXPECT_EQ(form.keyProgress(), 0);

    type({Qt::Key_K, Qt::Key_W}, false);  // progress made while hidden...
    form.open();                          // ...is forgotten at the next showing
    EXPECT_EQ(form.keyProgress(), 0);
    EXPECT_EQ(form.verLabel->text(), hiddenText);

    type({Qt::Key_Escape}, false);
    EXPECT_FALSE(form.isVisible());
    form.open();
    form.Btn->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 1);
}

TEST_F(AboutWindow, HiddenTextFollowsTheLabels) {
    form.Label3->setText("abcdefghijklmnopqrstuvwxyz0123456789");
    form.Label9->setText("ABCDEFGHIJKLMNOPQRSTU");
    form.open();
    type({Qt::Key_K, Qt::Key_W, Qt::Key_A, Qt::Key_N, Qt::Key_T}, true);
    // Label3 positions 10..19, Label9 16, Label3 21..27, Label9 15 raised by one.
    EXPECT_EQ(form.verLabel->text(), "klmnopqrstQvwxyz01Q");
}

}  // namespace
