#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string>

class QTranslator;

// The language of the window and its messages. Polish is the program's own: its texts are the
// source texts in the code. English comes from the translation built from kvt3_en.ts.
namespace i18n {

enum class Language { Polish, English };

// The language a user with these locale variables expects, as the C library reads them for
// messages: the first that is set and not empty of LC_ALL, LC_MESSAGES and LANG. "en" and
// "en_*" (with or without a code set or modifier) mean English; everything else, "C" and "POSIX"
// included, Polish.
Language languageFor(const std::optional<std::string>& lcAll,
                     const std::optional<std::string>& lcMessages,
                     const std::optional<std::string>& lang);
// The same from this process's environment.
Language systemLanguage();

// The help text's file in that language; both are looked up the same way (helpUnit.h).
QString helpFileName(Language language);

// Puts the language's texts in force for the application object that exists, until destroyed:
// Qt's translator for tr() and QCoreApplication::translate, and the hook of the texts made below
// the windows (platform/Translate.h). For Polish our texts are the source texts; Qt's own (its
// dialogs, an entry's context menu) come from Qt's Polish translation where it is installed.
class Translation {
public:
    explicit Translation(Language language);
    ~Translation();
    Translation(const Translation&) = delete;
    Translation& operator=(const Translation&) = delete;

    // False when English was asked for and its translation could not be loaded: the texts stay
    // Polish.
    bool loaded() const { return language_ == Language::Polish || translator_ != nullptr; }

private:
    Language language_;
    std::unique_ptr<QTranslator> translator_;
    std::unique_ptr<QTranslator> qtTranslator_;
};

}  // namespace i18n
