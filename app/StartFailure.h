#pragma once

#include <string>

// Shows why the program cannot start in a message box, for a start from the desktop menu, where
// nobody reads standard error. Needs the application object; returns once it is answered.
void showStartFailure(const std::string& message);
