// The keyboard on the real window and dialogs: nothing that moves the machine or writes to the
// box is one stray key away, Escape leaves a dialog as its close button does, every button can be
// reached, and the menus open with Alt and a letter in both languages.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <set>

#include "config/RestoreDialog.h"
#include "i18n/Language.h"
#include "tests/readout/Harness.h"

namespace {

class Keys : public readouttest::ReadoutTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(startCycle(box));
        form->restoreDialog()->setComparison(form->configurationOfBox(), form->configurationOfBox(),
                                             QStringLiteral("box.ini"));
        device->takeWritten();
    }
    // Opened as the window shows it: active, the focus on its first control.
    static void open(QDialog* dialog) {
        dialog->open();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([dialog] {
            return dialog->isActiveWindow() && QApplication::focusWidget() &&
                   QApplication::focusWidget()->window() == dialog;
        }));
    }
    static void press(QKeyCombination keys) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, keys.key(), keys.keyboardModifiers());
    }
};

TEST_F(Keys, EscapeLeavesEachDialogAsItsCloseButtonDoesAndWritesNothing) {
    const struct {
        const char* name;
        QDialog* dialog;
        int result;
    } cases[] = {
        {"Parametry", paramsForm.get(), ConfigDialog::CancelResult},
        {"Koordynaty", coordForm.get(), ConfigDialog::CancelResult},
        {"Pomoc", helpForm.get(), QDialog::Accepted},
        {"O autorze", logoForm.get(), QDialog::Accepted},
        {"Odtwarzanie", form->restoreDialog(), QDialog::Rejected},
        {"wait", breakForm.get(), TbreakForm::ResultYes},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.dialog->setResult(-1);
        ASSERT_NO_FATAL_FAILURE(open(c.dialog));
        ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Escape));
        EXPECT_FALSE(c.dialog->isVisible());
        EXPECT_EQ(c.dialog->result(), c.result);
    }
    EXPECT_TRUE(device->takeWritten().empty());

    // While "Zapisz" writes to the box, "Zamknij" is disabled, and so is Escape.
    ASSERT_NO_FATAL_FAILURE(open(coordForm.get()));
    coordForm->saveButton->click();
    ASSERT_TRUE(coordForm->sending());
    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Escape));
    EXPECT_TRUE(coordForm->isVisible());
    coordForm->hide();
}

// Tab goes through a grid's cells and on; Ctrl+Tab leaves a table or grid at once.
TEST_F(Keys, TabOrCtrlTabReachesEveryButtonOfADialog) {
    const struct {
        const char* name;
        QDialog* dialog;
        QKeyCombination keys;
    } cases[] = {
        {"Odtwarzanie, Tab", form->restoreDialog(), Qt::Key_Tab},
        {"Odtwarzanie, Ctrl+Tab", form->restoreDialog(), Qt::CTRL | Qt::Key_Tab},
        {"Koordynaty, Tab", coordForm.get(), Qt::Key_Tab},
        {"Koordynaty, Ctrl+Tab", coordForm.get(), Qt::CTRL | Qt::Key_Tab},
        {"Koordynaty, Ctrl+Shift+Tab", coordForm.get(), Qt::CTRL | Qt::SHIFT | Qt::Key_Tab},
        {"Parametry, Tab", paramsForm.get(), Qt::Key_Tab},
        {"Pomoc, Tab", helpForm.get(), Qt::Key_Tab},
    };
    coordForm->setGridRowCounts(200);  // 400 cells: Tab would take long, Ctrl+Tab does not
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(open(c.dialog));
        std::set<QWidget*> visited;
        for (int i = 0; i < (c.keys.keyboardModifiers() ? 30 : 500); ++i) {
            ASSERT_NO_FATAL_FAILURE(press(c.keys));
            visited.insert(QApplication::focusWidget());
        }
        for (QPushButton* button : c.dialog->findChildren<QPushButton*>()) {
            if (!button->isVisible() || !button->isEnabled()) continue;
            EXPECT_EQ(visited.count(button), 1u) << button->text().toStdString();
        }
        c.dialog->done(QDialog::Rejected);
    }
    EXPECT_TRUE(device->takeWritten().empty());
}

TEST_F(Keys, TheWindowStartsWhereNoKeyMovesTheMachine) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(form->deltaEdit));
    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Space));
    // A click on "Ref" leaves the focus where it was, so Space does not go to it either.
    QTest::mouseClick(form->xSButton, Qt::LeftButton);
    ASSERT_TRUE(form->xSButton->isChecked());
    QTest::mouseClick(form->xSButton, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(form->deltaEdit));
    ASSERT_NO_FATAL_FAILURE(press(Qt::Key_Space));
    EXPECT_FALSE(form->xSButton->isChecked());
    EXPECT_EQ(form->deltaEdit->text(), QStringLiteral("  "));
}

// Each menu and each item has a letter of its own within its menu, in both languages, and Alt
// with the menu's letter opens it from the window.
TEST(MenuKeys, EveryMenuAndItemHasItsOwnLetterInBothLanguages) {
    for (const i18n::Language language : {i18n::Language::Polish, i18n::Language::English}) {
        const i18n::Translation translation(language);
        platform::ManualClock clock;
        TRS232Service service{clock, std::make_shared<serial::MemoryDevice>()};
        testsupport::FakePrompts prompts;
        TmainForm form(service, prompts, clock);
        form.viewMMI->setVisible(true);
        const auto letters = [](const QList<QAction*>& actions) {
            QStringList shown, unique;
            for (const QAction* action : actions) {
                if (action->isSeparator()) continue;
                const QKeySequence key = QKeySequence::mnemonic(action->text());
                shown << action->text();
                if (!key.isEmpty() && !unique.contains(key.toString())) unique << key.toString();
            }
            return std::pair{shown, unique};
        };
        std::vector<QList<QAction*>> menus{form.menuBar()->actions()};
        for (QMenu* menu : {form.configMMI, form.fileMMI, form.infoMMI})
            menus.push_back(menu->actions());
        for (const auto& actions : menus) {
            const auto [shown, unique] = letters(actions);
            EXPECT_EQ(unique.size(), shown.size()) << shown.join(" | ").toStdString();
        }

        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        const QKeySequence configKey = QKeySequence::mnemonic(form.configMMI->title());
        QTest::keyClick(form.deltaEdit, static_cast<char>(configKey[0].key()), Qt::AltModifier);
        EXPECT_TRUE(form.configMMI->isVisible());
        EXPECT_TRUE(form.deltaEdit->text().isEmpty());
        form.configMMI->close();
    }
}

}  // namespace
