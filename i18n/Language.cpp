#include "i18n/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdlib>
#include <string_view>

#include "platform/Translate.h"

namespace i18n {

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

bool english(std::string_view locale) {
    if (!locale.starts_with("en")) return false;
    locale.remove_prefix(2);
    return locale.empty() || locale[0] == '_' || locale[0] == '.' || locale[0] == '@';
}

}  // namespace

Language languageFor(const std::optional<std::string>& lcAll,
                     const std::optional<std::string>& lcMessages,
                     const std::optional<std::string>& lang) {
    for (const auto* value : {&lcAll, &lcMessages, &lang}) {
        if (*value && !(*value)->empty())
            return english(**value) ? Language::English : Language::Polish;
    }
    return Language::Polish;
}

Language systemLanguage() {
    return languageFor(environment("LC_ALL"), environment("LC_MESSAGES"), environment("LANG"));
}

QString helpFileName(Language language) {
    return language == Language::English ? QStringLiteral("help_en.txt")
                                         : QStringLiteral("pomoc.txt");
}

Translation::Translation(Language language) : language_(language) {
    if (language == Language::Polish) {
        // Qt's own dialogs and menus (the file dialogs, "replace?", an entry's context menu) are
        // English in Qt itself; Debian's qt6-translations-l10n has them in Polish. Without it
        // they stay English and nothing else changes.
        auto qtTexts = std::make_unique<QTranslator>();
        if (qtTexts->load(QLocale(QLocale::Polish, QLocale::Poland), QStringLiteral("qtbase"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qtTexts.get());
            qtTranslator_ = std::move(qtTexts);
        }
        return;
    }
    // Built from i18n/kvt3_en.ts and compiled into the program.
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral(":/i18n/kvt3_en.qm"))) return;
    QCoreApplication::installTranslator(translator.get());
    translator_ = std::move(translator);
    platform::setTranslator([](const char* context, const char* source) {
        return QCoreApplication::translate(context, source).toStdString();
    });
}

Translation::~Translation() {
    if (qtTranslator_) QCoreApplication::removeTranslator(qtTranslator_.get());
    if (!translator_) return;
    platform::setTranslator(nullptr);
    QCoreApplication::removeTranslator(translator_.get());
}

}  // namespace i18n
