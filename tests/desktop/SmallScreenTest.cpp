// Real keys on the real window and dialogs on a 640 × 480 screen (screens.json's first), in both
// languages: no stray key writes or moves the machine, Escape is the close button, every button is
// reached, every window fits the screen with a title bar, every line of the help is whole.
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <set>

#include "config/RestoreDialog.h"
#include "i18n/Language.h"
#include "platform/ScreenFit.h"
#include "tests/readout/Harness.h"

namespace {

using Param = ::testing::WithParamInterface<i18n::Language>;

struct InLanguage {  // in force before the harness makes the windows
    InLanguage() : translation(Param::GetParam()) {}
    i18n::Translation translation;
};

class SmallScreen : protected InLanguage, public readouttest::ReadoutTest, public Param {};

// The window lies, with a title bar, within the free area of its screen.
bool fits(const QWidget* window) {
    const QSize room = window->screen()->availableSize() - platform::assumedFrame;
    return window->width() <= room.width() && window->height() <= room.height() &&
           window->screen()->availableGeometry().contains(window->frameGeometry());
}

void press(QKeyCombination keys) {
    QTest::keyClick(QApplication::focusWidget(), keys.key(), keys.keyboardModifiers());
}

TEST_P(SmallScreen, NoStrayKeyWritesEveryButtonIsReachedAndEveryWindowFits) {
    ASSERT_NO_FATAL_FAILURE(startCycle(box));
    RestoreDialog* restore = form->restoreDialog();
    restore->setComparison(form->configurationOfBox(), form->configurationOfBox(), "box.ini");
    helpForm->setFileName(i18n::helpFileName(GetParam()));
    ASSERT_TRUE(helpForm->loadHelp(QStringLiteral(KVT3_APP_SOURCE_DIR)));
    coordForm->setGridRowCounts(200);  // Tab would walk 400 cells; Ctrl+Tab leaves at once
    device->takeWritten();

    // The window opens on the offset entry, where Space only types; Alt and a menu's letter.
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    press(Qt::Key_Space);
    EXPECT_TRUE(form->deltaEdit->hasFocus() && !form->xSButton->isChecked());
    press(Qt::ALT | QKeySequence::mnemonic(form->configMMI->title())[0].key());
    EXPECT_TRUE(form->configMMI->isVisible());
    form->configMMI->close();
    for (const QMenu* menu : {form->configMMI, form->fileMMI, form->infoMMI}) {
        QStringList letters;  // of its items: each its own, none without
        for (const QAction* a : menu->actions())
            if (!a->isSeparator()) letters << QKeySequence::mnemonic(a->text()).toString();
        EXPECT_TRUE(letters.removeDuplicates() == 0 && !letters.contains(QString()));
    }

    const struct {
        const char* what;
        QDialog* dialog;
        QKeyCombination keys;
        int presses;
        int result;  // -1: stays open, every button reached
    } cases[] = {
        {"Escape, Parametry", paramsForm.get(), Qt::Key_Escape, 1, 2},
        {"Escape, Koordynaty", coordForm.get(), Qt::Key_Escape, 1, 2},
        {"Escape, Pomoc", helpForm.get(), Qt::Key_Escape, 1, 1},
        {"Escape, Odtwarzanie", restore, Qt::Key_Escape, 1, 0},
        {"Tab, Odtwarzanie", restore, Qt::Key_Tab, 6, -1},
        {"Ctrl+Tab, Koordynaty", coordForm.get(), Qt::CTRL | Qt::Key_Tab, 12, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.dialog->open();
        c.dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return c.dialog->isAncestorOf(qApp->focusWidget()); }));
        EXPECT_TRUE(fits(c.dialog));
        std::set<QWidget*> visited;
        for (int i = 0; i < c.presses; ++i) {
            press(c.keys);
            visited.insert(QApplication::focusWidget());
        }
        EXPECT_EQ(c.dialog->isVisible() ? -1 : c.dialog->result(), c.result);
        for (QPushButton* b : c.dialog->findChildren<QPushButton*>())
            EXPECT_TRUE(c.result >= 0 || !b->isEnabled() || visited.count(b))
                << b->text().toStdString();
        c.dialog->done(0);
    }
    EXPECT_TRUE(device->takeWritten().empty());

    const QPlainTextEdit* memo = helpForm->helpMemo;
    const int room = memo->viewport()->width() - 2 * int(memo->document()->documentMargin());
    for (const QString& line : memo->toPlainText().split(u'\n'))
        EXPECT_LE(QFontMetrics(memo->font()).horizontalAdvance(line), room) << line.toStdString();

    // While "Zapisz" writes, "Zamknij" is disabled, and so is Escape.
    coordForm->open();
    coordForm->saveButton->click();
    ASSERT_TRUE(coordForm->sending());
    QTest::keyClick(coordForm->focusWidget(), Qt::Key_Escape);
    EXPECT_TRUE(coordForm->isVisible());
    coordForm->hide();

    coordForm->move(QGuiApplication::screens().at(2)->geometry().topLeft());
    coordForm->show();
    EXPECT_TRUE(fits(coordForm.get()));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, SmallScreen,
                         ::testing::Values(i18n::Language::Polish, i18n::Language::English));

}  // namespace
