// The broker's dialog on a real ReadingsOut and a real mosquitto on loopback, driven with keys
// and the mouse (offscreen): a wrong address is refused in the window, the choice and the login
// are kept for the next start, the password in an owner-only file, and the state is shown.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "mqtt/BrokerDialog.h"
#include "mqtt/ReadingsOut.h"
#include "tests/mqtt/LoopbackBroker.h"

namespace mqtttest {
namespace {

TEST(BrokerDialog, AppliesKeepsAndShowsTheConnection) {
    LoopbackBroker broker;
    e2e::TempDir dir;
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    {
        feed::Feed feed;
        mqtt::ReadingsOut out(feed);
        mqtt::BrokerDialog dialog(out, nullptr);
        dialog.show();
        QTest::keyClick(dialog.publishBox, Qt::Key_Space);
        QTest::keyClicks(dialog.urlEdit, "mqtt://127.0.0.1/");
        QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
        EXPECT_TRUE(dialog.failureLabel->isVisible());
        EXPECT_FALSE(out.publishing());
        EXPECT_NE(::access(dir.file(mqtt::choiceFileName).c_str(), F_OK), 0);

        dialog.urlEdit->selectAll();
        QTest::keyClicks(dialog.urlEdit, QString::fromStdString(broker.url("hall/k")));
        QTest::keyClicks(dialog.userEdit, "reader");
        QTest::keyClicks(dialog.passwordEdit, "secret");
        dialog.rateSpin->selectAll();
        QTest::keyClicks(dialog.rateSpin, "4");
        QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
        EXPECT_FALSE(dialog.failureLabel->isVisible()) << dialog.failureLabel->text().toStdString();
        EXPECT_TRUE(out.publishing());
        EXPECT_TRUE(dialog.passwordEdit->text().isEmpty());
        // The broker takes anyone: the login is sent and the connection shown.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return dialog.statusLabel->text().startsWith("Połączono"); }, 5000))
            << dialog.statusLabel->text().toStdString();

        // Applied again on the same topics: the old connection's "offline" goes before the new
        // one's "online", never after it, and the window does not wait for either.
        QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return dialog.statusLabel->text().startsWith("Połączono"); }, 5000));
        Subscriber later(broker.port(), "hall/k/status");
        const int first = later.waitFor("hall/k/status", "", std::chrono::seconds(5));
        ASSERT_GE(first, 0);
        EXPECT_EQ(later.messages()[static_cast<std::size_t>(first)].payload, "online");

        const std::string kept = e2e::readFile(dir.file(mqtt::choiceFileName));
        EXPECT_EQ(kept, "on=1\nurl=" + broker.url("hall/k") + "\nlogin=mqtt-login\nrate=4\n");
        EXPECT_EQ(e2e::readFile(dir.file("mqtt-login")), "reader\nsecret\n");
        struct stat st {};
        ASSERT_EQ(::stat(dir.file("mqtt-login").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    {
        // A next start whose login file others may read by now: nothing publishes, and the
        // status line says why rather than nothing.
        ::chmod(dir.file("mqtt-login").c_str(), 0644);
        feed::Feed feed;
        mqtt::ReadingsOut out(feed);
        EXPECT_NE(out.apply(mqtt::ReadingsOut::loadChoice()), QString());
        EXPECT_FALSE(out.publishing());
        EXPECT_TRUE(out.problemText().startsWith("MQTT: ")) << out.problemText().toStdString();
        ::chmod(dir.file("mqtt-login").c_str(), 0600);
    }
    {
        // The next start: the same choice, the user shown, the password not.
        feed::Feed feed;
        mqtt::ReadingsOut out(feed);
        EXPECT_EQ(out.apply(mqtt::ReadingsOut::loadChoice()), QString());
        mqtt::BrokerDialog dialog(out, nullptr);
        dialog.show();
        EXPECT_TRUE(dialog.publishBox->isChecked());
        EXPECT_EQ(dialog.urlEdit->text().toStdString(), broker.url("hall/k"));
        EXPECT_EQ(dialog.userEdit->text(), "reader");
        EXPECT_TRUE(dialog.passwordEdit->text().isEmpty());
        EXPECT_EQ(dialog.rateSpin->value(), 4);
        // Switched off: stops, and is kept off.
        QTest::keyClick(dialog.publishBox, Qt::Key_Space);
        QTest::mouseClick(dialog.applyButton, Qt::LeftButton);
        EXPECT_FALSE(out.publishing());
        EXPECT_EQ(e2e::readFile(dir.file("mqtt-login")), "reader\nsecret\n");
        EXPECT_FALSE(mqtt::ReadingsOut::loadChoice().on);
    }
    ASSERT_EQ(::chdir(previous), 0);
    std::free(previous);
}

}  // namespace
}  // namespace mqtttest
