// A panel PC's 800 × 480 screen (panel.json), in both languages: every window and dialog lies on
// it whole with a title bar, and the help window shows every line of its text uncut.
#include <QFile>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>

#include "app/Cp1250.h"
#include "config/RestoreDialog.h"
#include "i18n/Language.h"
#include "platform/ScreenFit.h"
#include "tests/readout/Harness.h"
#include "web/LiveView.h"
#include "web/ViewDialog.h"

namespace {

using i18n::Language;

// The language is in force before the harness makes the windows.
struct InLanguage {
    InLanguage() : translation(::testing::WithParamInterface<Language>::GetParam()) {}
    i18n::Translation translation;
};

class PanelScreen : protected InLanguage,
                    public readouttest::ReadoutTest,
                    public ::testing::WithParamInterface<Language> {
protected:
    web::LiveView view;
    web::ViewDialog viewDialog{view, form.get()};
};

TEST_P(PanelScreen, EveryWindowFitsWithItsFrameAndTheHelpIsUncut) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->size(), QSize(800, 480)) << "panel.json not read";
    ASSERT_NO_FATAL_FAILURE(startCycle(box));
    form->restoreDialog()->setComparison(form->configurationOfBox(), form->configurationOfBox(),
                                         QStringLiteral("box.ini"));
    helpForm->setFileName(i18n::helpFileName(GetParam()));
    ASSERT_TRUE(helpForm->loadHelp(QStringLiteral(KVT3_APP_SOURCE_DIR)));

    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    for (QWidget* window : std::initializer_list<QWidget*>{
             form.get(), breakForm.get(), logoForm.get(), helpForm.get(), paramsForm.get(),
             coordForm.get(), &viewDialog, form->restoreDialog()}) {
        SCOPED_TRACE(window->windowTitle().toStdString());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QSize framed = window->size() + platform::assumedFrame;
        EXPECT_LE(framed.width(), screen.width());
        EXPECT_LE(framed.height(), screen.height());
        // Nothing of it lies outside the window, cut off.
        for (const QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->window() != window) continue;
            const QRect placed(w->mapTo(window, QPoint(0, 0)), w->size());
            EXPECT_TRUE(window->rect().contains(placed)) << w->metaObject()->className();
        }
        if (window != form.get()) window->hide();
    }

    // Every line of the file, as the file has it, in the width the text has on the screen.
    helpForm->show();
    QFile file(QStringLiteral(KVT3_APP_SOURCE_DIR "/") + i18n::helpFileName(GetParam()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = splitTextLines(decodeCp1250(file.readAll()));
    ASSERT_GT(lines.size(), 60);
    const QPlainTextEdit* memo = helpForm->helpMemo;
    const int room = memo->viewport()->width() - 2 * int(memo->document()->documentMargin());
    for (const QString& line : lines)
        EXPECT_LE(QFontMetrics(memo->font()).horizontalAdvance(line), room) << line.toStdString();
    EXPECT_EQ(memo->horizontalScrollBar()->maximum(), 0);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, PanelScreen,
                         ::testing::Values(Language::Polish, Language::English));

}  // namespace
