#include "mqtt/BrokerDialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "mqtt/ReadingsOut.h"

namespace mqtt {

BrokerDialog::BrokerDialog(ReadingsOut& out, QWidget* parent) : QDialog(parent), out_(out) {
    setWindowTitle(tr("Broker MQTT"));
    // The readings go on while this window is open.
    setProperty("kvt3KeepsReadings", true);

    publishBox = new QCheckBox(tr("&Publikuj odczyty do brokera MQTT"), this);
    urlEdit = new QLineEdit(this);
    urlEdit->setPlaceholderText(QStringLiteral("mqtt://broker:1883/hala1/kvt3"));
    urlEdit->setAccessibleName(tr("Adres brokera"));
    // Wide enough for a shop's broker and a prefix of a few levels.
    urlEdit->setMinimumWidth(urlEdit->fontMetrics().horizontalAdvance(QStringLiteral(
                                 "mqtts://broker.hala1.local:8883/hala1/tokarka3/kvt3")) +
                             16);
    caEdit = new QLineEdit(this);
    caEdit->setPlaceholderText(tr("certyfikaty systemu"));
    caEdit->setAccessibleName(tr("Plik CA dla mqtts"));
    userEdit = new QLineEdit(this);
    userEdit->setAccessibleName(tr("Użytkownik"));
    passwordEdit = new QLineEdit(this);
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setPlaceholderText(tr("bez zmian"));
    passwordEdit->setAccessibleName(tr("Hasło"));
    rateSpin = new QSpinBox(this);
    rateSpin->setRange(1, 50);
    rateSpin->setAccessibleName(tr("Najwyżej wiadomości na sekundę"));

    statusLabel = new QLabel(this);
    statusLabel->setWordWrap(true);
    failureLabel = new QLabel(this);
    failureLabel->setWordWrap(true);
    QPalette red = failureLabel->palette();
    red.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
    failureLabel->setPalette(red);
    failureLabel->hide();

    applyButton = new QPushButton(tr("Zastosuj"), this);
    closeButton = new QPushButton(tr("Zamknij"), this);
    applyButton->setDefault(true);

    auto* form = new QFormLayout;
    form->addRow(publishBox);
    form->addRow(tr("&Adres brokera:"), urlEdit);
    form->addRow(tr("Plik &CA (mqtts):"), caEdit);
    form->addRow(tr("&Użytkownik:"), userEdit);
    form->addRow(tr("&Hasło:"), passwordEdit);
    form->addRow(tr("&Najwyżej wiadomości na sekundę:"), rateSpin);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(applyButton);
    buttons->addWidget(closeButton);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(form);
    outer->addWidget(statusLabel);
    outer->addWidget(failureLabel);
    outer->addLayout(buttons);

    connect(applyButton, &QPushButton::clicked, this, &BrokerDialog::apply);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(&out_, &ReadingsOut::statusChanged, this,
            [this] { statusLabel->setText(out_.statusText()); });
}

void BrokerDialog::showEvent(QShowEvent* event) {
    load();
    QDialog::showEvent(event);
}

void BrokerDialog::load() {
    const BrokerChoice& choice = out_.choice();
    publishBox->setChecked(choice.on);
    urlEdit->setText(choice.address.host.empty()
                         ? QString()
                         : QString::fromStdString(brokerUrl(choice.address)));
    caEdit->setText(QString::fromStdString(choice.caFile));
    std::string why;
    const auto login =
        choice.loginFile.empty() ? std::nullopt : readLoginFile(choice.loginFile, why);
    userEdit->setText(login ? QString::fromStdString(login->user) : QString());
    passwordEdit->clear();
    rateSpin->setValue(choice.maxPerSecond);
    statusLabel->setText(out_.statusText());
    failureLabel->hide();
    publishBox->setFocus();
}

void BrokerDialog::showFailure(const QString& why) {
    failureLabel->setText(why);
    failureLabel->show();
}

void BrokerDialog::apply() {
    BrokerChoice choice = out_.choice();
    choice.on = publishBox->isChecked();
    choice.caFile = caEdit->text().trimmed().toStdString();
    choice.maxPerSecond = rateSpin->value();
    const QString url = urlEdit->text().trimmed();
    if (!url.isEmpty() || choice.on) {
        std::string why;
        const auto address = parseBrokerUrl(url.toStdString(), why);
        if (!address) {
            showFailure(
                tr("Nieprawidłowy adres brokera: oczekiwano mqtt://HOST[:PORT]/PREFIKS "
                   "lub mqtts://HOST[:PORT]/PREFIKS"));
            urlEdit->setFocus();
            return;
        }
        choice.address = *address;
    }
    const std::string user = userEdit->text().trimmed().toStdString();
    if (user.empty()) {
        choice.loginFile.clear();
    } else {
        std::string why;
        const std::string file = choice.loginFile.empty() ? defaultLoginFile : choice.loginFile;
        const auto kept = readLoginFile(file, why);
        // An empty password field keeps the password of the same user.
        const bool unchanged = kept && kept->user == user && passwordEdit->text().isEmpty();
        if (!unchanged && !writeLoginFile(file, Login{user, passwordEdit->text().toStdString()})) {
            showFailure(
                tr("Nie można zapisać pliku logowania %1").arg(QString::fromStdString(file)));
            return;
        }
        choice.loginFile = file;
    }
    const QString why = out_.apply(choice);
    if (!why.isEmpty()) {
        showFailure(why);
        return;
    }
    if (!ReadingsOut::saveChoice(choice)) {
        showFailure(tr("Nie można zapisać wyboru w pliku %1").arg(QLatin1String(choiceFileName)));
        return;
    }
    passwordEdit->clear();
    failureLabel->hide();
    statusLabel->setText(out_.statusText());
}

}  // namespace mqtt
