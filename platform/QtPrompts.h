#pragma once

#include "platform/Prompts.h"

namespace platform {

// The program's prompts: real modal Qt message boxes and dialogs. Their nested event loops keep
// timers and port events running while one is open. Message boxes carry the application's name
// as their title, as every message of the program does.
class QtPrompts : public Prompts {
public:
    void showMessage(const QString& text) override;
    int execModal(QDialog& dialog) override;
    void showException(const QString& message) override;
};

// The messages keep CR and LF as the box's texts have them ("\r\n", sometimes "\n\r"); a label
// shows each such pair, and a lone CR or LF, as one line break.
QString displayLines(const QString& text);

}  // namespace platform
