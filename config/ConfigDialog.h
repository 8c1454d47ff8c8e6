#pragma once

#include <QDialog>

#include "platform/Timer.h"

class QPushButton;
class TRS232Service;

namespace platform {
class Prompts;
}

// What the two configuration dialogs share: the fixed-size window, "Zapisz" and "Zamknij" at the
// bottom right, the three-second pause after a send, and leaving only through "Zamknij" or the
// close box, both with the cancel result.
class ConfigDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int CancelResult = 2;

    ConfigDialog(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                 QWidget* parent);
    ~ConfigDialog() override;

    QPushButton* saveButton;
    QPushButton* exitButton;
    platform::Timer canExitTimer;

    // Runs each time the dialog is shown.
    virtual void FormShow();
    void exitButtonClick();
    void canExitTimerTimer();
    void reject() override;

protected:
    void setButtonsEnabled(bool enabled);
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    TRS232Service& service_;
    platform::Prompts& prompts_;
};
