#pragma once

#include <QDialog>
#include <functional>

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

    // The end of a send: the last byte has left the port.
    void OnEmpty();
    // The box did not answer a write in time.
    void SendFailed();
    // From the first write until the box acknowledged the last one or stopped answering.
    bool sending() const { return sending_; }

protected:
    void setButtonsEnabled(bool enabled);
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Binds the service's acknowledgement to the first step and its time-out to SendFailed, then
    // closes, purges and reopens the port. False, with the buttons back, when it cannot be opened.
    bool startSend(std::function<void()> firstStep);
    // Binds the next step to the box's acknowledgement.
    void onAcknowledge(std::function<void()> step);
    // The last write was acknowledged: close the configuration and wait for the byte to leave.
    void endSend();
    // Nothing more will be sent (a box of an unknown kind): the dialog may be closed again.
    void abandonSend() { sending_ = false; }

    TRS232Service& service_;
    platform::Prompts& prompts_;

private:
    void closeLinkQuietly();

    bool sending_ = false;
};
