#include "config/ConfigDialog.h"

#include <QKeyEvent>
#include <QPushButton>

ConfigDialog::ConfigDialog(TRS232Service& service, platform::Prompts& prompts,
                           platform::Clock& clock, QWidget* parent)
    : QDialog(parent), canExitTimer(3000, clock), service_(service), prompts_(prompts) {
    setWindowTitle(QStringLiteral("Paramtery"));
    setFixedSize(386, 430);
    saveButton = new QPushButton(QStringLiteral("Zapisz"), this);
    saveButton->setGeometry(220, 398, 75, 25);
    exitButton = new QPushButton(QStringLiteral("Zamknij"), this);
    exitButton->setGeometry(304, 398, 75, 25);
    connect(exitButton, &QPushButton::clicked, this, [this] { exitButtonClick(); });
    canExitTimer.OnTimer = [this] { canExitTimerTimer(); };
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

void ConfigDialog::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void ConfigDialog::keyPressEvent(QKeyEvent* event) {
    // No button of these dialogs answers Escape; only "Zamknij" and the close box leave them.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
