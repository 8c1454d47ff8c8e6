#pragma once

#include <QString>

class QDialog;

namespace platform {

// Everything that asks or tells the operator goes through here: modal message boxes, modal
// dialogs with their result, and the application-wide exception display. The program shows real
// modal Qt dialogs (nested event loops: timers and port events keep arriving while one is open);
// tests record the texts and script the answers, including what happens while a dialog is open.
class Prompts {
public:
    virtual ~Prompts() = default;
    // A modal information box with the text and an OK button; returns when it is closed.
    virtual void showMessage(const QString& text) = 0;
    // Shows the dialog modally and returns its result (QDialog::done codes: 1 OK, 2 cancel,
    // 6 yes, 7 no). Code may close the dialog from outside meanwhile with dialog.done(result).
    virtual int execModal(QDialog& dialog) = 0;
    // The application-wide display of an exception's message.
    virtual void showException(const QString& message) = 0;
};

}  // namespace platform
