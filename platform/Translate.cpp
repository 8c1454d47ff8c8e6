#include "platform/Translate.h"

#include <utility>

namespace platform {

namespace {
Translator& installed() {
    static Translator t;
    return t;
}
}  // namespace

void setTranslator(Translator translator) {
    installed() = std::move(translator);
}

std::string translate(const char* context, const char* source) {
    if (const Translator& t = installed()) return t(context, source);
    return source;
}

std::string format(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const std::size_t number = static_cast<std::size_t>(next - '0');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && number <= args.size()) {
            text += *(args.begin() + (number - 1));
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

}  // namespace platform
