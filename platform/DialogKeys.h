#pragma once

#include <functional>

class QAbstractButton;
class QDialog;
class QWidget;

namespace platform {

// The keys of our dialogs: opening one to look at it, or ending an entry with Return, presses no
// button. Qt makes the first push button of a dialog its default one, which then answers Return
// from anywhere in the dialog, and gives the focus to whatever comes first in the focus chain;
// in a configuration dialog that is "Zapisz", and a Return straight after opening it would write
// to the box. So here no button is a default one; Return and Enter press the button that has the
// focus (Space does too, as always) and no other; and each time the dialog is shown the focus
// starts on `firstEntry` when it names one that can take it, otherwise on the first control in
// the tab order that is not a push button.
//
// Escape leaves the dialog the way its `closeButton` does, by pressing it, and does nothing while
// that button is disabled (a write to the box is running); without one it is Qt's own cancel.
// A control that uses Escape itself (an open cell editor drops its typing) keeps it.
//
// Ctrl+Tab and Ctrl+Shift+Tab move the focus to the next and previous control of the dialog
// from anywhere, out of a grid whose Tab key moves between cells too: every control can be
// reached without a mouse.
void setUpDialogKeys(QDialog& dialog, std::function<QWidget*()> firstEntry = nullptr,
                     QAbstractButton* closeButton = nullptr);

}  // namespace platform
