// The operator's live view dialog on a real LiveView, driven with keys and the mouse (offscreen):
// the view serves only after "Zastosuj", shows the address and its QR code, tells a failure to
// listen in red and stays off, gives a new key on request; and what a screen reader reads of it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include "web/LiveView.h"
#include "web/Qr.h"
#include "web/ViewDialog.h"

namespace {

using web::ViewDialog;

const QString loopback = QStringLiteral("127.0.0.1");

// A port nobody listens on now: the kernel's pick, let go again. The dialog takes ports from 1
// up, as the operator types them.
std::uint16_t freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress(loopback), 0)) return 0;
    return probe.serverPort();
}

QString tokenOf(const QString& url) {
    static const QRegularExpression pattern(QStringLiteral("^http://[^/]+/([0-9a-f]{32})/$"));
    const QRegularExpressionMatch match = pattern.match(url);
    return match.hasMatch() ? match.captured(1) : QString();
}

class ViewDialogTest : public ::testing::Test {
protected:
    web::LiveView view;
    ViewDialog dialog{view, nullptr};

    void SetUp() override {
        view.setSource([] {
            web::ViewState state;
            state.texts = {QStringLiteral("12.345"), QStringLiteral("-0.500"),
                           QStringLiteral("0.000")};
            state.mode = QStringLiteral("absolutne");
            state.live = true;
            return state;
        });
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    void TearDown() override { view.apply(web::ServeChoice{}); }

    void click(QWidget* widget) {
        ASSERT_TRUE(widget->isVisible() && widget->isEnabled())
            << widget->metaObject()->className();
        QTest::mouseClick(widget, Qt::LeftButton);
    }

    // On its box and caption: the check box is as wide as the window, but only they take a click.
    void click(QCheckBox* box) {
        ASSERT_TRUE(box->isVisible() && box->isEnabled());
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect hit = box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box);
        QTest::mouseClick(box, Qt::LeftButton, {}, hit.center());
    }

    // The operator's way: the check box on, the address picked with the arrow keys, the port
    // typed over the old one.
    void choose(const QString& address, std::uint16_t port) {
        if (!dialog.shareBox->isChecked()) click(dialog.shareBox);
        ASSERT_TRUE(dialog.shareBox->isChecked());
        dialog.addressCombo->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog.addressCombo, Qt::Key_Home);
        for (int i = 0;
             i < dialog.addressCombo->count() && dialog.addressCombo->currentText() != address; ++i)
            QTest::keyClick(dialog.addressCombo, Qt::Key_Down);
        ASSERT_EQ(dialog.addressCombo->currentText(), address);
        dialog.portSpin->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog.portSpin, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(dialog.portSpin, QString::number(port));
        ASSERT_EQ(dialog.portSpin->value(), port);
    }

    // Turned on at the loopback address from the dialog; the port it serves on.
    std::uint16_t turnOn() {
        const std::uint16_t port = freePort();
        EXPECT_NE(port, 0);
        choose(loopback, port);
        click(dialog.applyButton);
        EXPECT_TRUE(view.serving()) << dialog.failureLabel->text().toStdString();
        return port;
    }

    QImage shownCode() const {
        const QPixmap pixmap = dialog.qrLabel->pixmap();
        return pixmap.isNull() ? QImage() : pixmap.toImage();
    }

    // The code shown is the code of the shown address, whole pixels per module.
    void expectCodeOf(const QString& url) {
        const QImage shown = shownCode();
        ASSERT_FALSE(shown.isNull());
        const int side = web::qrModules(url).size + 2 * web::qrQuietZone;
        ASSERT_EQ(shown.width() % side, 0) << shown.width() << " for " << side;
        const int scale = shown.width() / side;
        EXPECT_LE(shown.width(), ViewDialog::qrSide);
        EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32),
                  web::qrImage(url, scale).convertToFormat(QImage::Format_RGB32));
        EXPECT_TRUE(dialog.qrLabel->isVisible());
    }
};

TEST_F(ViewDialogTest, TurnedOnServesAtTheShownAddressWithItsCode) {
    EXPECT_EQ(dialog.windowTitle(), "Podgląd w sieci");
    EXPECT_FALSE(dialog.shareBox->isChecked());
    EXPECT_EQ(dialog.portSpin->value(), 8080);
    EXPECT_TRUE(dialog.urlEdit->text().isEmpty());
    EXPECT_TRUE(shownCode().isNull());

    const std::uint16_t port = freePort();
    ASSERT_NE(port, 0);
    choose(loopback, port);
    EXPECT_FALSE(view.serving()) << "nothing changes before \"Zastosuj\"";
    EXPECT_TRUE(dialog.urlEdit->text().isEmpty());
    click(dialog.applyButton);

    ASSERT_TRUE(view.serving()) << dialog.failureLabel->text().toStdString();
    EXPECT_EQ(view.listeningPort(), port);
    const QString url = dialog.urlEdit->text();
    EXPECT_EQ(url, view.url());
    EXPECT_TRUE(url.startsWith(QStringLiteral("http://127.0.0.1:%1/").arg(port)))
        << url.toStdString();
    EXPECT_FALSE(tokenOf(url).isEmpty()) << url.toStdString();
    EXPECT_EQ(tokenOf(url).toStdString(), view.choice().token);
    EXPECT_TRUE(dialog.urlEdit->isReadOnly());
    expectCodeOf(url);
    EXPECT_FALSE(dialog.failureLabel->isVisible());
    EXPECT_FALSE(dialog.applyButton->isEnabled()) << "nothing left to apply";
    EXPECT_TRUE(dialog.renewButton->isEnabled());

    // Someone listens there.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(loopback), port);
    EXPECT_TRUE(socket.waitForConnected(2000));
}

// Return after typing the port applies nothing; "Zastosuj" does, also by Return once the
// operator has moved to it.
TEST_F(ViewDialogTest, ReturnAppliesOnlyFromZastosuj) {
    EXPECT_EQ(QApplication::focusWidget(), dialog.shareBox);
    choose(loopback, freePort());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(view.serving());
    EXPECT_TRUE(dialog.isVisible());
    for (int i = 0; i < 10 && QApplication::focusWidget() != dialog.applyButton; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.applyButton);
    QTest::keyClick(dialog.applyButton, Qt::Key_Return);
    EXPECT_TRUE(view.serving()) << dialog.failureLabel->text().toStdString();
}

TEST_F(ViewDialogTest, PortTakenIsToldInRedAndTheViewStaysOff) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress(loopback), 0));
    const std::uint16_t port = taken.serverPort();
    choose(loopback, port);
    click(dialog.applyButton);

    EXPECT_FALSE(view.serving());
    ASSERT_TRUE(dialog.failureLabel->isVisible());
    const QString told = dialog.failureLabel->text();
    EXPECT_TRUE(told.startsWith(QStringLiteral("Nie można nasłuchiwać: "))) << told.toStdString();
    EXPECT_GT(told.size(), QStringLiteral("Nie można nasłuchiwać: ").size());
    EXPECT_EQ(dialog.failureLabel->palette().color(QPalette::WindowText), QColor(0xb0, 0, 0));
    EXPECT_TRUE(dialog.urlEdit->text().isEmpty()) << "no address to open";
    EXPECT_TRUE(shownCode().isNull());
    EXPECT_FALSE(dialog.renewButton->isEnabled());
    // The choice stays in the controls, to be tried again; the focus is where it can be
    // corrected, and a screen reader hears why.
    EXPECT_TRUE(dialog.shareBox->isChecked());
    EXPECT_EQ(dialog.portSpin->value(), port);
    EXPECT_TRUE(dialog.applyButton->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), dialog.portSpin);
    EXPECT_EQ(dialog.portSpin->accessibleDescription(), told);

    // The port is free again: "Zastosuj" once more serves, and the red text goes.
    taken.close();
    click(dialog.applyButton);
    ASSERT_TRUE(view.serving()) << dialog.failureLabel->text().toStdString();
    EXPECT_FALSE(dialog.failureLabel->isVisible());
    EXPECT_TRUE(dialog.portSpin->accessibleDescription().isEmpty());
    EXPECT_TRUE(
        dialog.urlEdit->text().startsWith(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    expectCodeOf(dialog.urlEdit->text());
}

TEST_F(ViewDialogTest, NewKeyChangesTheTokenInTheShownAddressAndCode) {
    const std::uint16_t port = turnOn();
    const QString before = dialog.urlEdit->text();
    const QImage codeBefore = shownCode();
    ASSERT_FALSE(tokenOf(before).isEmpty());

    click(dialog.renewButton);
    const QString after = dialog.urlEdit->text();
    EXPECT_FALSE(tokenOf(after).isEmpty()) << after.toStdString();
    EXPECT_NE(tokenOf(after), tokenOf(before));
    EXPECT_EQ(after, view.url());
    EXPECT_TRUE(after.startsWith(QStringLiteral("http://127.0.0.1:%1/").arg(port)));
    EXPECT_TRUE(view.serving());
    expectCodeOf(after);
    EXPECT_NE(shownCode(), codeBefore);
}

TEST_F(ViewDialogTest, ChangesNotAppliedAreDroppedByZamknij) {
    const std::uint16_t port = turnOn();
    const QString url = dialog.urlEdit->text();

    choose(QStringLiteral("Wszystkie adresy"),
           static_cast<std::uint16_t>(port == 9999 ? 9998 : 9999));
    click(dialog.shareBox);
    EXPECT_TRUE(dialog.applyButton->isEnabled());
    EXPECT_TRUE(view.serving());
    EXPECT_EQ(view.listeningPort(), port);
    EXPECT_EQ(dialog.urlEdit->text(), url);

    click(dialog.closeButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(view.serving());
    EXPECT_EQ(view.url(), url);

    dialog.show();
    EXPECT_TRUE(dialog.shareBox->isChecked());
    EXPECT_EQ(dialog.addressCombo->currentText(), loopback);
    EXPECT_EQ(dialog.portSpin->value(), port);
    EXPECT_EQ(dialog.urlEdit->text(), url);
    EXPECT_FALSE(dialog.applyButton->isEnabled());

    // Escape leaves the same way.
    click(dialog.shareBox);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(view.serving());
}

TEST_F(ViewDialogTest, TurnedOffTheAddressAndCodeGo) {
    turnOn();
    click(dialog.shareBox);
    EXPECT_TRUE(view.serving());
    click(dialog.applyButton);
    EXPECT_FALSE(view.serving());
    EXPECT_TRUE(dialog.urlEdit->text().isEmpty());
    EXPECT_TRUE(shownCode().isNull());
    EXPECT_FALSE(dialog.renewButton->isEnabled());
    EXPECT_FALSE(dialog.portSpin->isEnabled());
    EXPECT_FALSE(dialog.addressCombo->isEnabled());
    EXPECT_FALSE(dialog.failureLabel->isVisible());
}

TEST_F(ViewDialogTest, FollowsTheViewTurnedOnElsewhere) {
    // As from the command line or the settings file: the kernel's pick of a port.
    web::ServeChoice choice;
    choice.on = true;
    choice.address = loopback.toStdString();
    choice.port = 0;
    ASSERT_EQ(view.apply(choice), QString());
    ASSERT_TRUE(view.serving());
    const QString url = dialog.urlEdit->text();
    EXPECT_EQ(url, view.url());
    EXPECT_TRUE(url.startsWith(QStringLiteral("http://127.0.0.1:%1/").arg(view.listeningPort())));
    expectCodeOf(url);
    EXPECT_TRUE(dialog.shareBox->isChecked());
    EXPECT_EQ(dialog.addressCombo->currentText(), loopback);
    EXPECT_EQ(dialog.portSpin->value(), view.listeningPort());
    EXPECT_FALSE(dialog.applyButton->isEnabled());

    view.renewToken();
    EXPECT_EQ(dialog.urlEdit->text(), view.url());
    EXPECT_NE(dialog.urlEdit->text(), url);
    expectCodeOf(view.url());
}

TEST_F(ViewDialogTest, AStartThatFailedIsToldWhenShownAndGoesWhenTheViewServes) {
    // As from the settings file at the program's start: the port is taken.
    dialog.hide();
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress(loopback), 0));
    web::ServeChoice choice;
    choice.on = true;
    choice.address = loopback.toStdString();
    choice.port = taken.serverPort();
    ASSERT_FALSE(view.apply(choice).isEmpty());

    dialog.show();
    ASSERT_TRUE(dialog.failureLabel->isVisible());
    EXPECT_EQ(dialog.failureLabel->text(),
              QStringLiteral("Nie można nasłuchiwać: ") + view.failure());
    EXPECT_TRUE(dialog.shareBox->isChecked());
    EXPECT_EQ(dialog.portSpin->value(), choice.port);
    EXPECT_TRUE(dialog.applyButton->isEnabled()) << "to be tried again";
    EXPECT_TRUE(dialog.urlEdit->text().isEmpty());

    // Served elsewhere meanwhile (the main window, another port): the untouched controls follow.
    choice.port = freePort();
    ASSERT_EQ(view.apply(choice), QString());
    EXPECT_FALSE(dialog.failureLabel->isVisible());
    EXPECT_EQ(dialog.portSpin->value(), choice.port);
    EXPECT_EQ(dialog.urlEdit->text(), view.url());
    EXPECT_FALSE(dialog.applyButton->isEnabled());
}

TEST_F(ViewDialogTest, AddressesAreAllThenTheMachines) {
    const QStringList machine = web::LiveView::machineAddresses();
    ASSERT_EQ(dialog.addressCombo->count(), machine.size() + 1);
    EXPECT_EQ(dialog.addressCombo->itemText(0), "Wszystkie adresy");
    EXPECT_TRUE(dialog.addressCombo->itemData(0).toString().isEmpty());
    for (int i = 0; i < machine.size(); ++i) {
        EXPECT_EQ(dialog.addressCombo->itemText(i + 1), machine[i]);
        EXPECT_EQ(dialog.addressCombo->itemData(i + 1).toString(), machine[i]);
    }
    EXPECT_TRUE(machine.contains(loopback));
    EXPECT_EQ(dialog.portSpin->minimum(), 1);
    EXPECT_EQ(dialog.portSpin->maximum(), 65535);
    EXPECT_EQ(dialog.portSpin->text(), "8080");
}

QString spoken(QWidget* widget, QAccessible::Text what = QAccessible::Name) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(what) : QStringLiteral("<no interface>");
}

TEST_F(ViewDialogTest, ScreenReaderHearsEachControlByNameAndTabWalksThemInOrder) {
    turnOn();
    struct Named {
        QWidget* control;
        const char* name;
        QLabel* label;  // its caption beside it, if any
    };
    const Named named[] = {
        {dialog.shareBox, "Udostępniaj odczyty w sieci", nullptr},
        {dialog.addressCombo, "Adres nasłuchu", dialog.addressLabel},
        {dialog.portSpin, "Port", dialog.portLabel},
        {dialog.urlEdit, "Adres do otwarcia w przeglądarce", dialog.urlLabel},
        {dialog.qrLabel, "Kod QR adresu do otwarcia", nullptr},
        {dialog.renewButton, "Nowy klucz dostępu", nullptr},
        {dialog.applyButton, "Zastosuj", nullptr},
        {dialog.closeButton, "Zamknij", nullptr},
    };
    for (const Named& n : named) {
        SCOPED_TRACE(n.name);
        EXPECT_EQ(n.control->accessibleName().toStdString(), n.name);
        // On Linux Qt names a combo box by its current entry; its caption comes through the label
        // relation below, as a screen reader reads it.
        if (n.control == dialog.addressCombo) {
            EXPECT_EQ(spoken(n.control), dialog.addressCombo->currentText());
        } else {
            EXPECT_EQ(spoken(n.control).toStdString(), n.name);
        }
        if (!n.label) continue;
        EXPECT_EQ(n.label->buddy(), n.control);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(n.control);
        ASSERT_NE(iface, nullptr);
        QStringList labels;
        for (const auto& [label, relation] : iface->relations(QAccessible::Label))
            labels << label->text(QAccessible::Name);
        EXPECT_TRUE(labels.contains(n.label->text().remove(QLatin1Char('&'))))
            << labels.join(QLatin1Char('|')).toStdString();
    }
    // The code says what it holds.
    EXPECT_EQ(spoken(dialog.qrLabel, QAccessible::Description), dialog.urlEdit->text());

    const std::vector<QWidget*> order{dialog.shareBox,    dialog.addressCombo, dialog.portSpin,
                                      dialog.urlEdit,     dialog.renewButton,  dialog.applyButton,
                                      dialog.closeButton, dialog.shareBox};
    // "Zastosuj" is passed over while there is nothing to apply: make something to apply.
    dialog.portSpin->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog.portSpin, Qt::Key_Up);
    ASSERT_TRUE(dialog.applyButton->isEnabled());
    dialog.shareBox->setFocus(Qt::TabFocusReason);
    for (std::size_t i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        // The spin box's focus is on its line edit.
        if (focus && focus->parentWidget() == dialog.portSpin) focus = dialog.portSpin;
        EXPECT_EQ(focus, order[i])
            << "stop " << i << ": " << (focus ? focus->metaObject()->className() : "nothing");
    }
}

}  // namespace
