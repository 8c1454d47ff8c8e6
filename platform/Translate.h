#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

// The operator's language for the messages made below the windows (the link's error texts, the
// file readers' reasons). Their Polish source texts are written as
//     platform::translate("Context", "Polish text with %1")
// which lupdate finds by that name, and the program installs Qt's translator as the hook. Unset
// (the tests, the sanitizer and fuzz trees, the simulator) each text is its Polish source.
namespace platform {

// Context and source are UTF-8, as they stand in the source file; so is the result.
using Translator = std::function<std::string(const char* context, const char* source)>;

void setTranslator(Translator translator);
std::string translate(const char* context, const char* source);

// The pattern with %1 to %9 replaced by the arguments, as QString::arg numbers them. The
// arguments are inserted as they are (a %1 inside one is not replaced again).
std::string format(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace platform
