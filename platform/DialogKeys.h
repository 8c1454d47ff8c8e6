#pragma once

#include <functional>

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
void setUpDialogKeys(QDialog& dialog, std::function<QWidget*()> firstEntry = nullptr);

}  // namespace platform
