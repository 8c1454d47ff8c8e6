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
// bottom right, the three-second pause after a send, leaving only through "Zamknij" or the
// close box, both with the cancel result, and sending only from "Zapisz" itself.
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
    // Ends a send that stopped making progress where the service's own time-out cannot see it:
    // the last byte that never left the port, a port closed under the send, an exchange the
    // service gave up with its time-out off. As long as the service's time-out runs, the send is
    // left to it.
    platform::Timer sendWatchdog;

    // Runs each time the dialog is shown.
    virtual void FormShow();
    // Where the focus starts each time the dialog is shown.
    virtual QWidget* firstEntry() const = 0;
    void exitButtonClick();
    void canExitTimerTimer();
    void reject() override;

    // The end of a send: the last byte has left the port.
    void OnEmpty();
    // The send cannot go on: the box did not answer a write in time, refused it, the line or the
    // port failed, or the last byte never left. Nothing of the send goes on after it.
    void SendFailed();
    // From the first write until the box acknowledged the last one or stopped answering.
    bool sending() const { return sending_; }

protected:
    void setButtonsEnabled(bool enabled);
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // Binds the service's acknowledgement to the first step and its time-out and link errors to
    // SendFailed, then closes, purges and reopens the port. False, with the buttons back, when it
    // cannot be opened.
    bool startSend(std::function<void()> firstStep);
    // Binds the next step to the box's acknowledgement.
    void onAcknowledge(std::function<void()> step);
    // The last write was acknowledged: close the configuration and wait for the byte to leave.
    void endSend();
    // Nothing more will be sent (a box of an unknown kind): the link is let go and the dialog may
    // be closed again.
    void abandonSend();

    TRS232Service& service_;
    platform::Prompts& prompts_;

private:
    void closeLinkQuietly();
    // The service's events and the port's transmit-empty no longer reach this send.
    void unbindSteps();
    // The send made progress: the watchdog counts afresh.
    void restartWatchdog();
    void sendWatchdogTimer();

    bool sending_ = false;
};
