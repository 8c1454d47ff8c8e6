// Relative mode, "clr" and "set" with the offset entry, and the settings file.
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include "readout/Formats.h"
#include "readout/SettingsFile.h"
#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

TEST(AngleEntryTest, DegreesMinutesSeconds) {
    using Error = readout::AngleEntry::Error;
    const struct {
        const char* text;
        Error error;
        double degrees;
    } cases[] = {
        {"10'30'15", Error::None, 10 + 30.0 / 60 + 15.0 / 3600},
        {"-10'30'00", Error::None, -10.5},
        {"-0'30'00", Error::None, -0.5},
        {"10", Error::None, 10},
        {"10'30", Error::None, 10.5},
        {"10''15", Error::None, 10 + 15.0 / 3600},
        {"10'005'00", Error::None, 10 + 5.0 / 60},
        {"-400'00'00", Error::None, -400},
        {"", Error::NotDigits, 0},
        {"10'30'15'", Error::NotDigits, 0},
        {"1.5", Error::NotDigits, 0},
        {"10'-5'00", Error::NotDigits, 0},
        {"99999999999", Error::NotDigits, 0},
        {"10'5'00", Error::MinutesOneDigit, 0},
        {"10'05'5", Error::SecondsOneDigit, 0},
        {"360'00'00", Error::DegreesExceeded, 0},
        {"10'60'00", Error::MinutesExceeded, 0},
        {"10'00'60", Error::SecondsExceeded, 0},
        {"'30'00", Error::DegreesNotInteger, 0},
        {"-'30'00", Error::DegreesNotInteger, 0},
    };
    for (const auto& c : cases) {
        const auto entry = readout::parseAngleEntry(c.text);
        EXPECT_EQ(entry.error, c.error) << c.text;
        if (c.error == Error::None) {
            EXPECT_NEAR(entry.degrees, c.degrees, 1e-12) << c.text;
        }
    }
}

TEST(SettingsFileTest, Reading) {
    const struct {
        const char* content;
        std::optional<int> port;
        std::array<double, 3> offsets;
        bool absolute;
    } cases[] = {
        {"3", 3, {0, 0, 0}, false},
        {"3\r\n", 3, {0, 0, 0}, false},
        {"", std::nullopt, {0, 0, 0}, false},
        {"2\r\n-12.5\r\n0\r\n1.5E-6\r\n1\r\n", 2, {-12.5, 0, 1.5e-6}, true},
        {"4\n1\n2\n3\n1\nignored\n", 4, {1, 2, 3}, true},
        {"5\r\nabc\r\n1,5\r\n\r\n1 \r\n", std::nullopt, {0, 0, 0}, false},
        {" 1\r\n", std::nullopt, {0, 0, 0}, false},
        {"1\r\n0.0\r\n0.0\r\n0.0\r\n0\r\n", 1, {0, 0, 0}, false},
    };
    for (const auto& c : cases) {
        const auto settings = readout::parseSettings(c.content);
        EXPECT_EQ(settings.port, c.port) << c.content;
        EXPECT_EQ(settings.offsets, c.offsets) << c.content;
        EXPECT_EQ(settings.absolute, c.absolute) << c.content;
    }
}

TEST(SettingsFileTest, Writing) {
    EXPECT_EQ(readout::settingsText("COM2", {-12.5, 0, 0.0000015}, false),
              "2\r\n-12.5\r\n0\r\n1.5E-6\r\n0\r\n");
    EXPECT_EQ(readout::settingsText("COM", {1, 2, 3}, true), "\r\n1\r\n2\r\n3\r\n1\r\n");
    // The live view's line comes sixth, and only once the view has been used.
    const std::string line = "0 * 8080 0123456789ABCDEF0123456789abcdef";
    const std::string text = readout::settingsText("COM1", {0, 0, 0}, true, &line);
    EXPECT_EQ(text, "1\r\n0\r\n0\r\n0\r\n1\r\n" + line + "\r\n");
    const auto back = readout::parseSettings(text);
    ASSERT_TRUE(back.serve);
    EXPECT_EQ(back.serve->port, 8080);
    EXPECT_EQ(back.serve->token, "0123456789abcdef0123456789abcdef");
    // A line the program cannot read is kept as it stood, for the window to write back.
    const auto handEdited = readout::parseSettings("4\n1\n2\n3\n1\n1  127.0.0.1 80 x\n");
    EXPECT_FALSE(handEdited.serve);
    EXPECT_EQ(handEdited.sixthLine, "1  127.0.0.1 80 x");
    EXPECT_FALSE(readout::parseSettings("4\n1\n2\n3\n1\n").sixthLine);
}

TEST_F(ReadoutTest, OffsetEntryOnALinearAxis) {
    const struct {
        std::uint8_t readiness;
        std::uint8_t code;
        const char* entry;
        const char* shown;
        const char* message;
    } cases[] = {
        {0xE0, 3, "1.2372", "1.235", nullptr},  // step 0.005, three decimals
        {0x30, 9, "2.5", "2.0", nullptr},       // halves go to the even step
        {0x30, 9, "3.5", "4.0", nullptr},
        {0x30, 9, "2.6", "3.0", nullptr},
        {0x30, 9, " -7 ", "-7.0", nullptr},
        {0x30, 5, "1,5", nullptr, "Zła wartość przesunięcia."},
        {0x30, 5, "", nullptr, "Zła wartość przesunięcia."},
        {0x30, 11, "5", nullptr, nullptr},  // step 0: nothing happens
        // Snapped to the step the entry would pass the largest double: no offset to take.
        {0x30, 0, "1e305", nullptr, "Zła wartość przesunięcia."},
        {0x30, 10, "-1e304", nullptr, "Zła wartość przesunięcia."},
        {0xE0, 7, "1.7e308", nullptr, "Zła wartość przesunięcia."},
        {0x30, 9, "1e309", nullptr, "Zła wartość przesunięcia."},
    };
    for (const auto& c : cases) {
        startOrRestartLink();
        BoxConfig config;
        config.readiness = c.readiness;
        config.codes = {c.code, 5, 5};
        config.calibration = {1.0L, 1.0L, 1.0L};
        ASSERT_EQ(lastOf(answerConfiguration(config)), 0xE1);
        replyPositions(2000, 0, 0);
        form->relRButton->setChecked(true);
        const QString before = form->xxLabel->text();
        prompts.clear();
        form->deltaEdit->setText(c.entry);
        form->setXButton->click();
        if (c.shown) {
            EXPECT_EQ(form->xxLabel->text().toStdString(), c.shown) << c.entry;
            // The next reply shows the same relative reading.
            replyPositions(2000, 0, 0);
            EXPECT_EQ(form->xxLabel->text().toStdString(), c.shown) << c.entry;
        } else {
            EXPECT_EQ(form->xxLabel->text(), before) << c.entry;
            EXPECT_EQ(form->offsets[0], 0.0) << c.entry;
        }
        EXPECT_EQ(prompts.messages, c.message ? QStringList{c.message} : QStringList{}) << c.entry;
        EXPECT_EQ(form->deltaEdit->text(), c.entry);
    }
}

TEST_F(ReadoutTest, OffsetEntryOnAnAngularAxis) {
    const struct {
        const char* entry;
        const char* shown;
        const char* message;
        const char* exception;
    } cases[] = {
        {"10'30'15", "10'30'15", nullptr, nullptr},
        {"-0'30'00", "359'30'00", nullptr, nullptr},
        {"10''15", "10'00'15", nullptr, nullptr},
        {"10'5'00", nullptr, "Wartość minut musi być dwucyfrowa.", nullptr},
        {"10'05'5", nullptr, "Wartość sekund musi być dwucyfrowa.", nullptr},
        {"360'00'00", nullptr, "Przekroczona wartość stopni.", nullptr},
        {"10'60'00", nullptr, "Przekroczona wartość minut.", nullptr},
        {"10'00'60", nullptr, "Przekroczona wartość sekund.", nullptr},
        {"1'2'3'4", nullptr, "Zła wartość przesunięcia.", nullptr},
        {"'30'00", nullptr, nullptr, "'' is not a valid integer value"},
    };
    BoxConfig config;
    config.types = 0b010;  // Y angular
    startCycle(config);
    replyPositions(0, 1000, 0);  // 90 degrees
    form->relRButton->setChecked(true);
    for (const auto& c : cases) {
        prompts.clear();
        form->offsets[1] = 0;
        form->yyLabel->setText("before");
        form->deltaEdit->setText(c.entry);
        form->setYButton->click();
        EXPECT_EQ(form->yyLabel->text().toStdString(), c.shown ? c.shown : "before") << c.entry;
        EXPECT_EQ(prompts.messages, c.message ? QStringList{c.message} : QStringList{}) << c.entry;
        EXPECT_EQ(prompts.exceptions, c.exception ? QStringList{c.exception} : QStringList{})
            << c.entry;
        if (!c.shown) {
            EXPECT_EQ(form->offsets[1], 0.0) << c.entry;
        }
    }
}

TEST_F(ReadoutTest, ModesAndClear) {
    BoxConfig config;
    config.types = 0b100;  // Z angular
    startCycle(config);
    replyPositions(1500, -250, 2000);
    EXPECT_FALSE(form->relPanel->isEnabled());
    EXPECT_FALSE(form->clrXButton->isEnabled());

    form->relRButton->setChecked(true);
    EXPECT_TRUE(form->relPanel->isEnabled());
    EXPECT_TRUE(form->setZButton->isEnabled());
    form->clrXButton->click();
    form->clrZButton->click();
    EXPECT_EQ(form->xxLabel->text(), "0.0");
    EXPECT_EQ(form->zzLabel->text(), "0.0");
    replyPositions(1500, -250, 2000);
    EXPECT_EQ(form->xxLabel->text(), "0.000");
    EXPECT_EQ(form->yyLabel->text(), "-0.250");
    EXPECT_EQ(form->zzLabel->text(), "0'00'00");
    replyPositions(1600, -250, 3000);
    EXPECT_EQ(form->xxLabel->text(), "0.100");
    EXPECT_EQ(form->zzLabel->text(), "90'00'00");

    form->absRButton->setChecked(true);
    EXPECT_EQ(form->xxLabel->text(), "1.600");
    EXPECT_EQ(form->zzLabel->text(), "270'00'00");
    EXPECT_FALSE(form->setXButton->isEnabled());
}

TEST_F(ReadoutTest, SettingsReadWhenShown) {
    const struct {
        const char* content;
        int port;
        bool absolute;
    } cases[] = {{"3", 3, false}, {"", 1, false}, {"2\r\n1\r\n2\r\n3\r\n1\r\n", 2, true}};
    for (const auto& c : cases) {
        WorkDir dir;
        QFile file(dir.path() + "/params.kv3");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
        file.close();
        TmainForm window(service, prompts, clock);
        window.attachWindows(*breakForm, *logoForm, *helpForm, *paramsForm, *coordForm);
        window.show();
        EXPECT_EQ(service.GetPortName(), "COM" + std::to_string(c.port)) << c.content;
        EXPECT_TRUE(window.COM[std::size_t(c.port - 1)]->isChecked()) << c.content;
        EXPECT_EQ(window.absRButton->isChecked(), c.absolute) << c.content;
        EXPECT_EQ(window.setXButton->isEnabled(), !c.absolute) << c.content;
        window.close();
        service.SetPortName("COM1");
    }
}

TEST_F(ReadoutTest, SettingsWrittenOnceAtTheEnd) {
    startCycle(box);
    form->COMClick(2);
    form->relRButton->setChecked(true);
    form->offsets = {-12.5, 0, 0.0000015};
    QFile file(workDir.path() + "/params.kv3");
    EXPECT_FALSE(file.exists());
    form->exitAction->trigger();
    EXPECT_FALSE(device->isOpen());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "2\r\n-12.5\r\n0\r\n1.5E-6\r\n0\r\n");
    file.close();

    // Destroying the window after it was closed does not write again.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("marker");
    file.close();
    form.reset();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "marker");
}

}  // namespace
}  // namespace readouttest
