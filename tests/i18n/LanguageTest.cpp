// Which language the locale asks for, and the patterns the texts below the windows are made of.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "i18n/Language.h"
#include "platform/Translate.h"

namespace {

using i18n::Language;

TEST(Language, ChosenFromTheLocaleAsTheCLibraryReadsItForMessages) {
    const std::optional<std::string> unset;
    struct Case {
        std::optional<std::string> lcAll, lcMessages, lang;
        Language expected;
    };
    const Case cases[] = {
        {unset, unset, "en_GB.UTF-8", Language::English},
        {unset, unset, "en_US", Language::English},
        {unset, unset, "en", Language::English},
        {unset, unset, "en_IE@euro", Language::English},
        {unset, unset, "pl_PL.UTF-8", Language::Polish},
        {unset, unset, "C", Language::Polish},
        {unset, unset, "C.UTF-8", Language::Polish},
        {unset, unset, "POSIX", Language::Polish},
        {unset, unset, "de_DE.UTF-8", Language::Polish},
        {unset, unset, "eng", Language::Polish},  // not a language code the C library knows
        {unset, unset, unset, Language::Polish},
        // LC_ALL over LC_MESSAGES over LANG; an empty variable counts as unset.
        {"C", "en_GB.UTF-8", "en_GB.UTF-8", Language::Polish},
        {"en_GB.UTF-8", "pl_PL.UTF-8", "C", Language::English},
        {unset, "en_GB.UTF-8", "pl_PL.UTF-8", Language::English},
        {unset, "pl_PL.UTF-8", "en_GB.UTF-8", Language::Polish},
        {"", "", "en_GB.UTF-8", Language::English},
        {"", "POSIX", "en_GB.UTF-8", Language::Polish},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(i18n::languageFor(c.lcAll, c.lcMessages, c.lang), c.expected)
            << c.lcAll.value_or("-") << " " << c.lcMessages.value_or("-") << " "
            << c.lang.value_or("-");
    }
}

TEST(Translate, PatternsTakeTheirArgumentsByNumberOnce) {
    struct Case {
        const char* pattern;
        std::initializer_list<std::string_view> args;
        const char* expected;
    };
    const Case cases[] = {
        {"wiersz %1: %2", {"3", "za dużo"}, "wiersz 3: za dużo"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"value %1%2.", {"„x”", " in column 2"}, "value „x” in column 2."},
        {"%1 stays %1", {"twice"}, "twice stays twice"},
        // An argument is not read as a pattern again; a number without an argument stays.
        {"%1 and %2", {"%2", "b"}, "%2 and b"},
        {"%3 and 100%", {"a"}, "%3 and 100%"},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::format(c.pattern, c.args), c.expected);
}

}  // namespace
