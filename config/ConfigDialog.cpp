#include "config/ConfigDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include "link/RSLib.h"
#include "platform/DialogKeys.h"
#include "platform/Prompts.h"

ConfigDialog::ConfigDialog(TRS232Service& service, platform::Prompts& prompts,
                           platform::Clock& clock, QWidget* parent)
    : QDialog(parent),
      canExitTimer(3000, clock),
      service_(service),
      prompts_(prompts),
      chain_(service, clock) {
    setWindowTitle(tr("Paramtery"));
    setFixedSize(386, 430);
    saveButton = new QPushButton(tr("Zapisz"), this);
    saveButton->setGeometry(220, 398, 75, 25);
    exitButton = new QPushButton(tr("Zamknij"), this);
    exitButton->setGeometry(304, 398, 75, 25);
    connect(exitButton, &QPushButton::clicked, this, [this] { exitButtonClick(); });
    canExitTimer.OnTimer = [this] { canExitTimerTimer(); };
    chain_.onSent = [this] {
        canExitTimer.SetEnabled(true);
        prompts_.showMessage(sentMessage());
    };
    chain_.onFailed = [this] {
        prompts_.showMessage(tr("Parametry nie zostały wysłane."));
        setButtonsEnabled(true);
    };
    // Escape leaves as "Zamknij" does, and not while it is disabled during a send.
    platform::setUpDialogKeys(
        *this, [this] { return firstEntry(); }, exitButton);
}

ConfigDialog::~ConfigDialog() = default;

void ConfigDialog::setButtonsEnabled(bool enabled) {
    saveButton->setEnabled(enabled);
    exitButton->setEnabled(enabled);
}

void ConfigDialog::FormShow() {
    setButtonsEnabled(true);
}

QString ConfigDialog::sentMessage() const {
    return tr("Parametry zostały wysłane.\r\nZa 3 sekundy można kontynuować pomiar.");
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
    if (chain_.running()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool ConfigDialog::startSend(std::function<void()> firstStep) {
    if (chain_.start(std::move(firstStep))) return true;
    prompts_.showMessage(tr("Błąd przy nawiązaniu połączenia."));
    setButtonsEnabled(true);
    return false;
}

void ConfigDialog::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void ConfigDialog::keyPressEvent(QKeyEvent* event) {
    // Return left over by an entry or the grid presses no "Zapisz": a write to the box is started
    // only from the button itself (the dialog's keys press it while it has the focus). Escape
    // never gets here: the dialog's keys press "Zamknij" for it.
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
