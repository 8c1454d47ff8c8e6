#pragma once

#include <functional>
#include <string>

namespace platform {

// The application-wide display of an exception that escaped a handler (a modal message box with
// the exception's message in the program). Below the windows only this hook is known; the program
// installs the real display, tests install a recorder. Unset, messages go to stderr.
using ExceptionDisplay = std::function<void(const std::string& message)>;

void setExceptionDisplay(ExceptionDisplay display);
void showException(const std::string& message);

}  // namespace platform
