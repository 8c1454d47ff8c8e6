#include "config/ConfigDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <exception>

#include "link/RSLib.h"
#include "platform/DialogKeys.h"
#include "platform/Prompts.h"

namespace {
const QString sentText =
    QStringLiteral("Parametry zostały wysłane.\r\nZa 3 sekundy można kontynuować pomiar.");
const QString notSentText = QStringLiteral("Parametry nie zostały wysłane.");
const QString openFailedText = QStringLiteral("Błąd przy nawiązaniu połączenia.");
}  // namespace

ConfigDialog::ConfigDialog(TRS232Service& service, platform::Prompts& prompts,
                           platform::Clock& clock, QWidget* parent)
    : QDialog(parent),
      canExitTimer(3000, clock),
      // No step of a send waits longer for the box than the service's reply time-out.
      sendWatchdog(TRS232Service::ReplyTimeoutMs, clock),
      service_(service),
      prompts_(prompts) {
    setWindowTitle(QStringLiteral("Paramtery"));
    setFixedSize(386, 430);
    saveButton = new QPushButton(QStringLiteral("Zapisz"), this);
    saveButton->setGeometry(220, 398, 75, 25);
    exitButton = new QPushButton(QStringLiteral("Zamknij"), this);
    exitButton->setGeometry(304, 398, 75, 25);
    connect(exitButton, &QPushButton::clicked, this, [this] { exitButtonClick(); });
    canExitTimer.OnTimer = [this] { canExitTimerTimer(); };
    sendWatchdog.OnTimer = [this] { sendWatchdogTimer(); };
    platform::setUpDialogKeys(*this, [this] { return firstEntry(); });
}

ConfigDialog::~ConfigDialog() = default;

void ConfigDialog::setButtonsEnabled(bool enabled) {
    saveButton->setEnabled(enabled);
    exitButton->setEnabled(enabled);
}

void ConfigDialog::FormShow() {
    setButtonsEnabled(true);
}

void ConfigDialog::exitButtonClick() {
    done(CancelResult);
}

void ConfigDialog::canExitTimerTimer() {
    canExitTimer.SetEnabled(false);
    setButtonsEnabled(true);
}

void ConfigDialog::reject() {
    done(CancelResult);
}

void ConfigDialog::closeEvent(QCloseEvent* event) {
    // The service's acknowledgements stay bound to this dialog's steps until the send ends; a
    // dialog closed meanwhile would leave the main window's link start to a half-sent box.
    if (sending_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool ConfigDialog::startSend(std::function<void()> firstStep) {
    onAcknowledge(std::move(firstStep));
    service_.OnTimeout = [this] { SendFailed(); };
    // A refused or unreadable acknowledgement stops the service's exchange with its time-out off,
    // and a line error would otherwise reach the main window, which closes the port under the
    // send: either way the send ends here.
    service_.OnLinkError = [this](std::int32_t) { SendFailed(); };
    if (service_.Comm().Active()) service_.Close();
    if (!service_.Comm().Active()) {
        try {
            service_.Purge();
            service_.Open();
        } catch (const std::exception&) {
            unbindSteps();
            prompts_.showMessage(openFailedText);
            setButtonsEnabled(true);
            return false;
        }
    }
    sending_ = true;
    restartWatchdog();
    return true;
}

void ConfigDialog::onAcknowledge(std::function<void()> step) {
    service_.OnAcknowledge = [this, step = std::move(step)](bool) {
        restartWatchdog();
        step();
    };
}

void ConfigDialog::endSend() {
    service_.Comm().OnTxEmpty = [this] { OnEmpty(); };
    restartWatchdog();
    service_.EndConfiguration();
}

void ConfigDialog::abandonSend() {
    sending_ = false;
    sendWatchdog.SetEnabled(false);
    unbindSteps();
    closeLinkQuietly();
}

void ConfigDialog::restartWatchdog() {
    sendWatchdog.SetEnabled(false);
    sendWatchdog.SetEnabled(true);
}

void ConfigDialog::sendWatchdogTimer() {
    sendWatchdog.SetEnabled(false);
    if (!sending_) return;
    // The box is still awaited: the service's own time-out ends the send if it stays silent.
    if (service_.PortOpen() && service_.TimeoutRunning()) {
        sendWatchdog.SetEnabled(true);
        return;
    }
    SendFailed();
}

void ConfigDialog::unbindSteps() {
    service_.Comm().OnTxEmpty = nullptr;
    service_.OnAcknowledge = nullptr;
    service_.OnTimeout = nullptr;
    service_.OnLinkError = nullptr;
}

void ConfigDialog::closeLinkQuietly() {
    try {
        if (service_.Comm().Active()) service_.Close();
    } catch (const std::exception&) {
        // The port is being let go; there is nothing left to tell the operator about it.
    }
}

void ConfigDialog::OnEmpty() {
    unbindSteps();
    sending_ = false;
    sendWatchdog.SetEnabled(false);
    closeLinkQuietly();
    canExitTimer.SetEnabled(true);
    prompts_.showMessage(sentText);
}

void ConfigDialog::SendFailed() {
    if (!sending_) return;
    sending_ = false;
    sendWatchdog.SetEnabled(false);
    // Before the message: its event loop keeps the port's events coming, and a late
    // acknowledgement must not carry the chain on behind it.
    unbindSteps();
    closeLinkQuietly();
    prompts_.showMessage(notSentText);
    setButtonsEnabled(true);
}

void ConfigDialog::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void ConfigDialog::keyPressEvent(QKeyEvent* event) {
    // No button of these dialogs answers Escape; only "Zamknij" and the close box leave them.
    // Nor does Return left over by an entry or the grid press "Zapisz": a write to the box is
    // started only from the button itself (the dialog's keys press it while it has the focus).
    switch (event->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            break;
    }
    QDialog::keyPressEvent(event);
}
