// The link start and the configuration read, played byte by byte against a scripted box.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <cerrno>

#include "tests/readout/Harness.h"

namespace readouttest {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST_F(ReadoutTest, ConfigurationReadOrderPerKind) {
    const struct {
        std::uint8_t readiness;
        Bytes commands;
    } cases[] = {
        {0xE0, {0xE9, 0xE5, 0xE6, 0xE8, 0xE7, 0xE1}},
        {0x10, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}},
        {0x2F, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}},
        {0x3F, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4, 0xE1}},
    };
    for (const auto& c : cases) {
        startOrRestartLink();
        BoxConfig config;
        config.readiness = c.readiness;
        EXPECT_EQ(answerConfiguration(config), c.commands) << "readiness " << int(c.readiness);
        EXPECT_TRUE(form->configMMI->isEnabled());
        EXPECT_TRUE(form->portOpen);
    }
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
}

// The port opened and the box answered, with a byte that names no kind: the operator is told of
// an unknown box at once, and again when asking for a dialog, not of a link that failed.
TEST_F(ReadoutTest, ReadinessRefusedRequestsNothingMore) {
    const QString unknown = QStringLiteral("Nieznany typ urządzenia.");
    const std::uint8_t bytes[] = {0x00, 0x0F, 0x40, 0x7F, 0xDF, 0xE1, 0xE9, 0xFF};
    for (const std::uint8_t readiness : bytes) {
        SCOPED_TRACE(int(readiness));
        startOrRestartLink();
        prompts.clear();
        BoxConfig config;
        config.readiness = readiness;
        EXPECT_EQ(answerConfiguration(config), Bytes{0xE9});
        EXPECT_EQ(paramsForm->MaxResolutionCode(), 0);
        EXPECT_EQ(prompts.messages, QStringList{unknown});
        EXPECT_TRUE(form->configMMI->isEnabled());
        EXPECT_FALSE(device->isOpen());
        // Nothing more is asked, and no wait dialog offers to wait for what will not come.
        clock.advance(20000);
        EXPECT_EQ(lastCommand(), 0);
        EXPECT_EQ(prompts.dialogCount, 0);
        form->paramsMMI->trigger();
        form->coordMMI->trigger();
        form->saveConfigMMI->trigger();
        EXPECT_EQ(prompts.messages, (QStringList{unknown, unknown, unknown, unknown}));
    }
    // A port that then fails to open is told as such.
    device->failOpen(ENOENT);
    startOrRestartLink();
    prompts.clear();
    form->paramsMMI->trigger();
    EXPECT_EQ(prompts.messages, QStringList{QStringLiteral("Błąd przy nawiązaniu połączenia.")});
    // One that another program holds is named as such.
    device->failOpen(EBUSY);
    startOrRestartLink();
    EXPECT_EQ(prompts.messages.last(), QStringLiteral("Błąd przy nawiązaniu połączenia.\r\nPort "
                                                      "COM1 jest używany przez inny program."));
}

TEST_F(ReadoutTest, AxisRowsFromResolutionCodes) {
    const struct {
        std::uint8_t readiness;
        std::array<std::uint8_t, 3> codes;
        int axes;
        int height;
    } cases[] = {
        {0xE0, {5, 0, 0}, 1, 186}, {0xE0, {5, 3, 0}, 2, 236},  {0xE0, {5, 3, 2}, 3, 286},
        {0xE0, {5, 0, 3}, 1, 186},  // no Z row beside a missing Y row
        {0x10, {5, 5, 5}, 1, 186}, {0x20, {0, 9, 10}, 2, 236}, {0x30, {1, 2, 3}, 3, 286},
    };
    for (const auto& c : cases) {
        startOrRestartLink();
        BoxConfig config;
        config.readiness = c.readiness;
        config.codes = c.codes;
        answerConfiguration(config);
        const std::string label = "readiness " + std::to_string(c.readiness) + " codes " +
                                  std::to_string(c.codes[0]) + std::to_string(c.codes[1]) +
                                  std::to_string(c.codes[2]);
        EXPECT_EQ(form->shownAxes, c.axes) << label;
        EXPECT_EQ(service.AxisCount, c.axes) << label;
        // The status line adds its height to each.
        EXPECT_EQ(form->frameGeometry().height(), c.height + form->statusLineExtra()) << label;
        EXPECT_EQ(form->yPanel->isVisible(), c.axes > 1) << label;
        EXPECT_EQ(form->ySButton->isVisible(), c.axes > 1) << label;
        EXPECT_EQ(form->zPanel->isVisible(), c.axes > 2) << label;
        EXPECT_EQ(form->clrZButton->isHidden(), c.axes <= 2) << label;
        EXPECT_EQ(paramsForm->dimYGBox->isEnabled(), c.axes > 1) << label;
        EXPECT_EQ(paramsForm->dimZGBox->isEnabled(), c.axes > 2) << label;

        // The cycle reads as many counters as rows are shown.
        device->takeWritten();
        replyPositions(100, 200, 300);
        const Bytes acks[] = {{0xE0, 0xE0, 0xE0},
                              {0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0},
                              {0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0}};
        Bytes expected = acks[c.axes - 1];
        expected.push_back(0xE1);
        EXPECT_EQ(device->takeWritten(), expected) << label;
    }
}

TEST_F(ReadoutTest, KindThreeTakesTheCalibrationOfZAsZero) {
    showAndStart();
    BoxConfig config;
    config.readiness = 0x20;
    // Z out of range would be refused, but kind 3 has no Z axis.
    config.calibration = {0.25L, 0.5L, 5000000.0L};
    answerConfiguration(config);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(form->calibrations, (std::array<double, 3>{0.25, 0.5, 0.0}));
    EXPECT_EQ(paramsForm->calibZEdit->text(), "0.000000");
    EXPECT_EQ(paramsForm->calibYEdit->text(), "0.500000");
}

TEST_F(ReadoutTest, CalibrationLimitsAndTruncation) {
    const struct {
        long double value;
        bool accepted;
        double stored;
        const char* edit;
    } cases[] = {
        {0.0000004L, false, 0, nullptr},
        {-2000000.0L, false, 0, nullptr},
        {0.0L, true, 0.0, "0.000000"},
        {1000000.0L, true, 1000000.0, "1000000.000000"},
        {0.000001L, true, 0.000001, "0.000001"},
        {-0.000001L, true, -0.000001, "-0.000001"},
        {0.1234567L, true, 0.123456, "0.123456"},
        {123.4567L, true, 123.4567, "123.456700"},
    };
    for (const auto& c : cases) {
        startOrRestartLink();
        prompts.clear();
        BoxConfig config;
        config.readiness = 0xE0;
        config.calibration = {0.5L, c.value, 0.5L};
        const Bytes commands = answerConfiguration(config);
        const std::string label = std::to_string(double(c.value));
        if (c.accepted) {
            EXPECT_EQ(lastOf(commands), 0xE1) << label;
            EXPECT_DOUBLE_EQ(form->calibrations[1], c.stored) << label;
            EXPECT_EQ(paramsForm->calibYEdit->text().toStdString(), c.edit) << label;
            EXPECT_TRUE(prompts.messages.isEmpty()) << label;
        } else {
            // Told at once; the rest is still read, so the parameters dialog holds this box's
            // values, but the cycle does not start. The menu is available, the dialogs too.
            EXPECT_EQ(commands, (Bytes{0xE9, 0xE5, 0xE6, 0xE8, 0xE7})) << label;
            EXPECT_EQ(prompts.messages, QStringList{"Błędna wartość parametru."}) << label;
            EXPECT_TRUE(form->configMMI->isEnabled()) << label;
            EXPECT_TRUE(form->configurationRead()) << label;
            EXPECT_EQ(paramsForm->impulseYEdit->text(), "1000") << label;
            clock.advance(10000);
            EXPECT_EQ(lastCommand(), 0) << label;
        }
    }
}

// The bytes a box holds for a whole number of millionths show as exactly that number, as the
// dialog will write it back; a seventh decimal is still cut off.
TEST_F(ReadoutTest, CalibrationBytesShowAsTheMillionthsTheyHold) {
    const struct {
        std::uint8_t readiness;
        Bytes bytes;
        double stored;
        const char* edit;
    } cases[] = {
        {0xE0, {0x40, 0x42, 0x0F, 0x09}, 0.001, "0.001000"},     // 1000000 x 10^-9
        {0xE0, {0x94, 0x1C, 0x13, 0x07}, 0.12525, "0.125250"},   // 1252500 x 10^-7
        {0xE0, {0xA0, 0xBB, 0x8D, 0x06}, -0.9, "-0.900000"},     // -900000 x 10^-6
        {0xE0, {0x87, 0xD6, 0x12, 0x07}, 0.123456, "0.123456"},  // 1234567 x 10^-7
        {0x30, {0x7D, 0x00, 0x00, 0x00}, 0.000125, "0.000125"},
        {0x30, {0x20, 0x6C, 0xFB, 0xFF}, -0.3, "-0.300000"},
        {0x30, {0x3D, 0xE2, 0x01, 0x00}, 0.123453, "0.123453"},
    };
    for (const auto& c : cases) {
        const std::string label = std::to_string(c.stored);
        startOrRestartLink();
        ASSERT_EQ(lastCommand(), 0xE9);
        device->receive(Bytes{c.readiness});
        ASSERT_EQ(lastCommand(), 0xE5);
        Bytes reply = c.bytes;
        for (int axis = 1; axis < 3; ++axis)
            reply.insert(reply.end(), c.bytes.begin(), c.bytes.end());
        device->receive(reply);
        EXPECT_EQ(form->calibrations[0], c.stored) << label;
        EXPECT_EQ(paramsForm->calibXEdit->text().toStdString(), c.edit) << label;
        EXPECT_TRUE(prompts.messages.isEmpty()) << label;
        prompts.clear();
    }
}

TEST_F(ReadoutTest, CodesAboveTheListAreReportedButTheReadGoesOn) {
    const struct {
        std::uint8_t readiness;
        std::array<std::uint8_t, 3> codes;
        int messages;
    } cases[] = {
        {0xE0, {0, 3, 2}, 1},    // X code 0 of kind 1
        {0xE0, {8, 8, 8}, 3},    // every code above 7
        {0x30, {11, 0, 12}, 2},  // X and Z above 10
        {0x30, {10, 0, 9}, 0},
    };
    for (const auto& c : cases) {
        startOrRestartLink();
        prompts.clear();
        BoxConfig config;
        config.readiness = c.readiness;
        config.codes = c.codes;
        EXPECT_EQ(lastOf(answerConfiguration(config)), 0xE1);
        EXPECT_EQ(prompts.messages.size(), c.messages) << int(c.codes[0]);
        for (const QString& text : prompts.messages) EXPECT_EQ(text, "Błędna wartość parametru.");
    }
    // A code outside the list gives step 0 and 6 decimals.
    EXPECT_EQ(form->resolutionSteps, (std::array<double, 3>{1e-5, 0.0001, 1.0}));
    EXPECT_EQ(form->decimals, (std::array<int, 3>{5, 4, 1}));
}

TEST_F(ReadoutTest, ConfigurationFillsTheDialogs) {
    showAndStart();
    BoxConfig config;
    config.readiness = 0x30;
    config.codes = {9, 3, 10};
    config.types = 0b101;
    config.lineCounts = {0, 4003, -8};
    config.correctionRows = 2;
    config.correctionFlags = 0x50;
    answerConfiguration(config);

    EXPECT_EQ(form->lineCounts, (std::array<std::int32_t, 3>{1, 4003, -8}));
    EXPECT_EQ(paramsForm->impulseXEdit->text(), "0");
    EXPECT_EQ(paramsForm->impulseYEdit->text(), "1000");
    EXPECT_EQ(paramsForm->impulseZEdit->text(), "-2");
    EXPECT_EQ(form->dimensionTypes, 0b101);
    EXPECT_EQ(paramsForm->OrientationBits & 7u, 0b101u);
    EXPECT_TRUE(paramsForm->angleXRButton->isChecked());
    EXPECT_TRUE(paramsForm->lineYRButton->isChecked());
    EXPECT_TRUE(paramsForm->angleZRButton->isChecked());
    EXPECT_EQ(form->resolutionCodes, (std::array<int, 3>{9, 3, 10}));

    EXPECT_EQ(coordForm->CorrectionFlags, 0x50u);
    EXPECT_TRUE(coordForm->xCBox->isChecked());
    EXPECT_FALSE(coordForm->yCBox->isChecked());
    EXPECT_TRUE(coordForm->zCBox->isChecked());
    EXPECT_EQ(coordForm->correctionXSGrid->rowCount(), 3);
    // Row 1 of X: 100 box units at step 1 with one decimal.
    ASSERT_NE(coordForm->correctionXSGrid->item(1, 1), nullptr);
    EXPECT_EQ(coordForm->correctionXSGrid->item(1, 1)->text(), "100.0");
    EXPECT_EQ(coordForm->correctionYSGrid->item(2, 2)->text(), "0.402");
}

TEST_F(ReadoutTest, LinkStartResetsReadingsAndKeepsOffsetsUntilTheReadIsWhole) {
    startCycle(box);
    replyPositions(1000, 2000, 3000);
    form->relRButton->setChecked(true);
    form->offsets = {1.0, 2.0, 3.0};
    form->testMMIClick();
    replyPositions(1000, 2000, 3000);  // takes the link test over
    EXPECT_EQ(form->offsets, (std::array<double, 3>{1.0, 2.0, 3.0}));
    EXPECT_EQ(form->positions, (std::array<double, 3>{}));
    clock.advance(TRS232Service::QuietLineMs);
    EXPECT_EQ(lastCommand(), 0xE9);
}

}  // namespace
}  // namespace readouttest
