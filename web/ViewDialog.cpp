#include "web/ViewDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "platform/DialogKeys.h"
#include "web/LiveView.h"
#include "web/Qr.h"

namespace web {

namespace {
constexpr std::uint16_t defaultPort = 8080;
}  // namespace

ViewDialog::ViewDialog(LiveView& view, QWidget* parent) : QDialog(parent), view_(view) {
    setWindowTitle(tr("Podgląd w sieci"));
    // The readings go on while this window is open: the pages keep showing them as current.
    setProperty("kvt3KeepsReadings", true);

    shareBox = new QCheckBox(tr("Udostępniaj odczyty w sieci"), this);
    shareBox->setAccessibleName(tr("Udostępniaj odczyty w sieci"));

    addressLabel = new QLabel(tr("&Adres nasłuchu:"), this);
    addressCombo = new QComboBox(this);
    addressCombo->setAccessibleName(tr("Adres nasłuchu"));
    addressLabel->setBuddy(addressCombo);

    portLabel = new QLabel(tr("&Port:"), this);
    portSpin = new QSpinBox(this);
    portSpin->setRange(1, 65535);
    portSpin->setValue(defaultPort);
    // A port is a number, not a quantity: no thousands separator ("8 080").
    portSpin->setGroupSeparatorShown(false);
    portSpin->setAccessibleName(tr("Port"));
    portLabel->setBuddy(portSpin);

    urlLabel = new QLabel(tr("Adres do &otwarcia:"), this);
    urlEdit = new QLineEdit(this);
    urlEdit->setReadOnly(true);  // selectable and copyable, in the tab order for a screen reader
    urlEdit->setPlaceholderText(tr("podgląd wyłączony"));
    // Wide enough for a whole address on a network, key included.
    urlEdit->setMinimumWidth(
        urlEdit->fontMetrics().horizontalAdvance(
            QStringLiteral("http://192.168.100.200:65535/0123456789abcdef0123456789abcdef/")) +
        24);
    urlEdit->setAccessibleName(tr("Adres do otwarcia w przeglądarce"));
    urlLabel->setBuddy(urlEdit);

    qrLabel = new QLabel(this);
    qrLabel->setAlignment(Qt::AlignCenter);
    qrLabel->setWordWrap(true);
    qrLabel->setFixedSize(qrSide,
                          qrSide);  // the window keeps its size when the code comes and goes
    qrLabel->setAccessibleName(tr("Kod QR adresu do otwarcia"));

    renewButton = new QPushButton(tr("Nowy klucz dostępu"), this);
    renewButton->setAccessibleName(tr("Nowy klucz dostępu"));
    renewButton->setAccessibleDescription(
        tr("Zmienia adres; strony otwarte ze starym przestają działać"));

    noteLabel =
        new QLabel(tr("Każdy w sieci, kto zna ten adres, widzi odczyty, ale niczego nie może "
                      "zmienić. Nowy klucz dostępu zmienia adres: strony otwarte ze starym "
                      "przestają działać."),
                   this);
    noteLabel->setWordWrap(true);

    failureLabel = new QLabel(this);
    failureLabel->setWordWrap(true);
    failureLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette red = failureLabel->palette();
    red.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
    failureLabel->setPalette(red);
    failureLabel->hide();

    applyButton = new QPushButton(tr("Zastosuj"), this);
    applyButton->setAccessibleName(tr("Zastosuj"));
    closeButton = new QPushButton(tr("Zamknij"), this);
    closeButton->setAccessibleName(tr("Zamknij"));

    auto* grid = new QGridLayout;
    grid->addWidget(shareBox, 0, 0, 1, 2);
    grid->addWidget(addressLabel, 1, 0);
    grid->addWidget(addressCombo, 1, 1);
    grid->addWidget(portLabel, 2, 0);
    grid->addWidget(portSpin, 2, 1, Qt::AlignLeft);
    grid->addWidget(urlLabel, 3, 0);
    grid->addWidget(urlEdit, 3, 1);
    grid->addWidget(qrLabel, 4, 0, 1, 2, Qt::AlignHCenter);
    grid->addWidget(renewButton, 5, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(applyButton);
    buttons->addWidget(closeButton);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addWidget(noteLabel);
    outer->addWidget(failureLabel);
    outer->addLayout(buttons);

    // Top to bottom, as the window reads: the switch, where, the address, a new key, the buttons.
    setTabOrder(shareBox, addressCombo);
    setTabOrder(addressCombo, portSpin);
    setTabOrder(portSpin, urlEdit);
    setTabOrder(urlEdit, renewButton);
    setTabOrder(renewButton, applyButton);
    setTabOrder(applyButton, closeButton);

    connect(shareBox, &QCheckBox::toggled, this, [this] { updateControls(); });
    connect(addressCombo, &QComboBox::currentIndexChanged, this, [this] { updateControls(); });
    connect(portSpin, &QSpinBox::valueChanged, this, [this] { updateControls(); });
    connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(renewButton, &QPushButton::clicked, this, [this] { renew(); });
    connect(&view_, &LiveView::servingChanged, this, [this] { onServingChanged(); });
    // Return in the port does not apply it: only "Zastosuj" itself does.
    platform::setUpDialogKeys(*this, [this] { return shareBox; });

    load(current());
    showServing();
    showFailure(view_.failure(), false);
}

ServeChoice ViewDialog::current() const {
    // The choice as last applied; on even when it could not listen (the view then says why), so
    // that the controls keep it to be tried again.
    ServeChoice choice = view_.choice();
    // Port 0 (the kernel's pick, from the command line) is not one the operator can choose: the
    // controls show the port listened on, or the usual one.
    if (choice.port == 0) choice.port = view_.serving() ? view_.listeningPort() : defaultPort;
    if (choice.port == 0) choice.port = defaultPort;
    return choice;
}

ServeChoice ViewDialog::chosen() const {
    ServeChoice choice = view_.choice();
    choice.on = shareBox->isChecked();
    choice.address = addressCombo->currentData().toString().toStdString();
    choice.port = static_cast<std::uint16_t>(portSpin->value());
    return choice;
}

void ViewDialog::load(const ServeChoice& choice) {
    loaded_ = choice;
    const QSignalBlocker blockCombo(addressCombo);
    addressCombo->clear();
    addressCombo->addItem(tr("Wszystkie adresy"), QString());
    for (const QString& address : LiveView::machineAddresses())
        addressCombo->addItem(address, address);
    const QString address = QString::fromStdString(choice.address);
    int index = addressCombo->findData(address);
    if (index < 0) {
        // An address the machine no longer has (the settings file came from another network):
        // kept, so that the choice is not changed behind the operator's back.
        addressCombo->addItem(address, address);
        index = addressCombo->count() - 1;
    }
    addressCombo->setCurrentIndex(index);
    const QSignalBlocker blockSpin(portSpin);
    portSpin->setValue(choice.port);
    const QSignalBlocker blockBox(shareBox);
    shareBox->setChecked(choice.on);
    updateControls();
}

bool ViewDialog::edited() const {
    const ServeChoice now = chosen();
    return now.on != loaded_.on ||
           (now.on && (now.address != loaded_.address || now.port != loaded_.port));
}

void ViewDialog::updateControls() {
    const ServeChoice now = chosen();
    // After a failure the view is off while the controls still say on: "Zastosuj" tries again.
    applyButton->setEnabled(edited() || (now.on && !view_.serving()));
    addressLabel->setEnabled(now.on);
    addressCombo->setEnabled(now.on);
    portLabel->setEnabled(now.on);
    portSpin->setEnabled(now.on);
}

void ViewDialog::showServing() {
    const bool serving = view_.serving();
    const QString url = serving ? view_.url() : QString();
    urlEdit->setText(url);
    urlEdit->setCursorPosition(0);
    renewButton->setEnabled(serving);

    QImage code;
    if (!url.isEmpty()) {
        // Whole device pixels per module: the code stays sharp on a scaled screen too.
        const qreal ratio = devicePixelRatioF();
        const QrModules modules = qrModules(url);
        if (modules.size > 0) {
            const int side = modules.size + 2 * qrQuietZone;
            const int scale = std::max(1, static_cast<int>(std::floor(qrSide * ratio / side)));
            code = qrImage(url, scale);
            code.setDevicePixelRatio(ratio);
        }
    }
    if (code.isNull()) {
        const QString none = tr("Kod QR pojawi się, gdy podgląd działa.");
        qrLabel->setText(none);
        qrLabel->setEnabled(false);
        qrLabel->setAccessibleDescription(none);
    } else {
        qrLabel->setPixmap(QPixmap::fromImage(code));
        qrLabel->setEnabled(true);
        qrLabel->setAccessibleDescription(url);
    }
    updateControls();
}

void ViewDialog::showFailure(const QString& why, bool operatorAsked) {
    if (why.isEmpty()) {
        failureLabel->clear();
        failureLabel->hide();
        portSpin->setAccessibleDescription(QString());
        return;
    }
    const QString text = tr("Nie można nasłuchiwać: %1").arg(why);
    failureLabel->setText(text);
    failureLabel->show();
    // A screen reader hears it where the focus goes after a failed "Zastosuj" or new key: to the
    // port, the usual cause.
    portSpin->setAccessibleDescription(text);
    if (operatorAsked && portSpin->isEnabled()) portSpin->setFocus(Qt::OtherFocusReason);
}

QString ViewDialog::outcome(QString why, bool wanted) const {
    // Never a success unless it serves: a view that says nothing but does not listen failed too.
    if (why.isEmpty() && wanted && !view_.serving()) why = tr("serwer nie działa");
    return why;
}

void ViewDialog::apply() {
    const ServeChoice choice = chosen();
    applying_ = true;
    const QString why = outcome(view_.apply(choice), choice.on);
    applying_ = false;
    load(current());
    showServing();
    showFailure(why, true);
}

void ViewDialog::renew() {
    // The server starts again with the new key; its port may have been taken meanwhile.
    applying_ = true;
    const QString why = outcome(view_.renewToken(), true);
    applying_ = false;
    showServing();
    showFailure(why, true);
}

void ViewDialog::onServingChanged() {
    if (applying_) return;  // apply() and renew() look at the outcome themselves
    // Controls the operator has not touched follow the view; changes not yet applied stay.
    if (!edited()) load(current());
    showServing();
    showFailure(view_.failure(), false);
}

void ViewDialog::showEvent(QShowEvent* event) {
    // Each showing starts from what is served: changes closed without "Zastosuj" are gone. A
    // start that failed (the settings file's port taken) is told at once.
    load(current());
    showServing();
    showFailure(view_.failure(), false);
    QDialog::showEvent(event);
}

}  // namespace web
