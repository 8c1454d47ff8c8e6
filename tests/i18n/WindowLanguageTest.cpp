// The window and its dialogs in the locale's language: English under an English locale with no
// Polish text left anywhere the operator reads, Polish exactly as the source texts otherwise.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdlib>

#include "config/ConfigFile.h"
#include "config/CorrectionCsv.h"
#include "config/RestoreDialog.h"
#include "i18n/Language.h"
#include "link/RSLib.h"
#include "readout/Texts.h"
#include "tests/readout/Harness.h"
#include "web/LiveView.h"
#include "web/PageTexts.h"
#include "web/ViewDialog.h"

namespace {

using i18n::Language;

// Polish letters, or a Polish word that has none (whole words, any case).
bool looksPolish(const QString& text) {
    static const QRegularExpression polish(
        QStringLiteral("[ąćęłńóśźżĄĆĘŁŃÓŚŹŻ]|\\b(konfiguracja|plik|pliki|informacje|informacja|"
                       "parametry|paramtery|koordynaty|wyjscie|absolutne|relatywne|zapisz|"
                       "zamknij|orientacje|orientacja|orienacja|liniowa|katowa|rodzielczosc|"
                       "kalibracja|tak|nie|pomoc|autorach|autorze|produkcie|wersja|uwaga|"
                       "korekcja|odcinkowa|kor|lp|zastosuj|wszystkie|adresy|adres|importuj|"
                       "eksportuj|jest|dla|osi|klucz|serwer|wiersz|wartosc)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return polish.match(text).hasMatch();
}

// Everything of a window the operator reads or hears: titles, captions, entries' hints, list
// items, table titles, tooltips, accessible names, menus.
QStringList textsOf(QWidget* window) {
    QStringList texts{window->windowTitle()};
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        texts << w->toolTip() << w->accessibleName() << w->accessibleDescription();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
        if (auto* group = qobject_cast<QGroupBox*>(w)) texts << group->title();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) texts << edit->placeholderText();
        if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) texts << memo->toPlainText();
        if (auto* menu = qobject_cast<QMenu*>(w)) texts << menu->title();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            for (int i = 0; i < tabs->count(); ++i) texts << tabs->tabText(i);
        if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int row = 0; row < table->rowCount(); ++row)
                for (int column = 0; column < table->columnCount(); ++column)
                    if (const QTableWidgetItem* item = table->item(row, column))
                        texts << item->text();
        }
        for (const QAction* action : w->actions()) texts << action->text() << action->toolTip();
    }
    texts.removeAll(QString());
    return texts;
}

// The language is in force before the harness makes the windows (a base made first).
struct InLanguage {
    explicit InLanguage(Language language) : translation(language) {}
    i18n::Translation translation;
};

struct InEnglish : InLanguage {
    InEnglish() : InLanguage(Language::English) {}
};

class EnglishWindows : protected InEnglish, public readouttest::ReadoutTest {
protected:
    web::LiveView view;
    web::ViewDialog viewDialog{view, form.get()};
};

TEST_F(EnglishWindows, NoTextOfTheWindowItsDialogsOrItsMessagesIsLeftInPolish) {
    ASSERT_TRUE(translation.loaded());
    helpForm->setFileName(i18n::helpFileName(Language::English));
    ASSERT_TRUE(helpForm->loadHelp(QStringLiteral(KVT3_APP_SOURCE_DIR)));
    ASSERT_NO_FATAL_FAILURE(startCycle(box));

    QStringList texts;
    form->restoreDialog()->setComparison(form->configurationOfBox(), form->configurationOfBox(),
                                         QStringLiteral("box.ini"));
    for (int r = 0; r < form->restoreDialog()->table->rowCount(); ++r)
        for (int c = 1; c < form->restoreDialog()->table->columnCount(); ++c)
            texts << form->restoreDialog()->table->item(r, c)->text();
    for (QWidget* window : std::initializer_list<QWidget*>{
             form.get(), breakForm.get(), logoForm.get(), helpForm.get(), paramsForm.get(),
             coordForm.get(), &viewDialog, form->restoreDialog()})
        texts << textsOf(window);
    texts << texts::openFailed() << texts::waitForDevice() << texts::testPassed()
          << texts::badParameter() << texts::referenceInterrupted() << texts::badOffset()
          << texts::minutesTwoDigits() << texts::secondsTwoDigits() << texts::degreesExceeded()
          << texts::minutesExceeded() << texts::secondsExceeded();
    for (int code = 1; code <= 16; ++code) texts << texts::deviceUnavailable(code);
    for (const char* csv : {"1;2;3", "1;x", "1;2\n0;2", "\"1;2", ""}) {
        texts << QString::fromStdString(
            correctioncsv::parseCsv(csv, correctioncsv::AxisUnits{}).error);
    }
    // The configuration file's refusals, as the restore shows them: a good file spoilt.
    boxconfig::BoxConfig config;
    config.deviceKind = 2;
    for (const char* spoilt : {"\nformat = 9", "\ndevice = 7", "\ntype = round", "\nrows = 300"}) {
        std::string text = boxconfig::configText(config);
        const auto at = text.find(std::string_view(spoilt).substr(0, 4));
        const std::string error =
            boxconfig::parseConfig(text.replace(at, text.find('\n', at + 1) - at, spoilt)).error;
        EXPECT_FALSE(error.empty()) << spoilt;
        texts << QString::fromStdString(error);
    }
    texts << QString::fromStdString(*boxconfig::kindMismatch(config, 3));
    // The live view's page as a browser gets it, with every word its script may show.
    const QString page = QString::fromUtf8(web::pageInLanguage(16));
    EXPECT_TRUE(page.contains(QStringLiteral("<html lang=\"en\">")));
    texts << page;

    // The about window's maker: a name and a postal address are not translated.
    const QStringList names{QStringLiteral("Pracownia Elektroniki Pomiarowej"),
                            QStringLiteral("ul. Przykładowa 1\n00-000 Miasto")};
    for (const QString& text : texts) {
        if (names.contains(text)) continue;
        EXPECT_FALSE(looksPolish(text)) << text.toStdString();
    }
    EXPECT_EQ(form->configMMI->title(), QStringLiteral("&Configuration"));
    EXPECT_EQ(texts::deviceUnavailable(1), QStringLiteral("Device unavailable (framing error)."));
}

// The process's own locale variables: the same choice as the program makes at its start.
class LocaleOfTheProcess : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
            ::unsetenv(name);
        }
    }
    void TearDown() override {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) ::unsetenv(name);
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(LocaleOfTheProcess, TheWindowIsEnglishUnderAnEnglishLangAndPolishUnderC) {
    struct Case {
        const char* lang;
        const char* menus[4];
        const char* absolute;
        const char* qtUndo;  // Qt's own text: the first entry of an entry's context menu
    };
    const Case cases[] = {
        {"en_GB.UTF-8", {"&Configuration", "&File", "&Workshop", "&Info"}, "absolute", "&Undo"},
        {"C", {"&Konfiguracja", "&Plik", "&Warsztat", "&Informacje"}, "absolutne", "&Cofnij"},
        {"POSIX", {"&Konfiguracja", "&Plik", "&Warsztat", "&Informacje"}, "absolutne", "&Cofnij"},
    };
    for (const Case& c : cases) {
        ::setenv("LANG", c.lang, 1);
        const i18n::Translation translation(i18n::systemLanguage());
        platform::ManualClock clock;
        TRS232Service service{clock, std::make_shared<serial::MemoryDevice>()};
        testsupport::FakePrompts prompts;
        TmainForm form(service, prompts, clock);
        QStringList menus;
        for (const QAction* menu : form.menuBar()->actions()) menus << menu->text();
        EXPECT_EQ(menus, (QStringList{QString::fromUtf8(c.menus[0]), QString::fromUtf8(c.menus[1]),
                                      QString::fromUtf8(c.menus[2]), QString::fromUtf8(c.menus[3])}))
            << c.lang;
        EXPECT_EQ(form.absRButton->text(), QString::fromUtf8(c.absolute)) << c.lang;
        EXPECT_EQ(form.deltaLabel->text(),
                  QString::fromUtf8(c.lang[0] == 'e' ? "Offset" : "Przesunięcie"))
            << c.lang;
        const std::unique_ptr<QMenu> menu(form.deltaEdit->createStandardContextMenu());
        EXPECT_EQ(menu->actions().value(0)->text().section(u'\t', 0, 0),
                  QString::fromUtf8(c.qtUndo))
            << c.lang;
    }
}

}  // namespace
