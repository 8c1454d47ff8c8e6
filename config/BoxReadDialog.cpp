#include "config/BoxReadDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

BoxReadDialog::BoxReadDialog(TRS232Service& service, QWidget* parent)
    : QDialog(parent), read_(service) {
    setWindowTitle(tr("Odczyt konfiguracji"));
    text_ = new QLabel(tr("Odczyt konfiguracji z urządzenia…"), this);
    stopButton = new QPushButton(tr("Przerwij"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stopButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addLayout(buttons);
    connect(stopButton, &QPushButton::clicked, this, [this] { reject(); });
    read_.onRead = [this](const boxconfig::BoxConfig& box) {
        box_ = box;
        accept();
    };
    read_.onFailed = [this](const QString& why) {
        failure_ = why;
        reject();
    };
}

void BoxReadDialog::start() {
    box_.reset();
    failure_.clear();
    read_.start();
}

void BoxReadDialog::done(int result) {
    read_.cancel();
    QDialog::done(result);
}
