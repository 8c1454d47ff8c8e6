#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cerrno>

#include "config/paramsUnit.h"
#include "tests/config/SendFixture.h"

namespace {

using configtest::Bytes;

class ParamsSend : public configtest::SendFixture {
protected:
    TparamsForm form{service, prompts, clock};

    // The main window's filling for a box of this kind with `axes` axes: every entry valid.
    void fillFor(int kind, int axes, const sim::Faults& faults = {}) {
        attachBox(kind, faults);
        form.LoadResolutionLists(kind);
        form.EnableAxisGroup(Axis::Y, axes > 1);
        form.EnableAxisGroup(Axis::Z, axes > 2);
        for (Axis axis : {Axis::X, Axis::Y, Axis::Z}) {
            // An axis the box lacks as the main window fills it in from a box that holds nothing
            // for it: absent (kind 1) or the list's last code.
            const bool present = axisIndex(axis) < axes;
            form.SetAxisResolution(axis, present ? 4 : kind == 1 ? 0 : 10);
            form.impulseEdit(axis)->setText(present ? "1000" : "0");
            form.calibrationEdit(axis)->setText(present ? "1.000000" : "0.000000");
        }
        form.FormShow();
    }
    bool buttons() { return buttonsEnabled(form.saveButton, form.exitButton); }
    void save() {
        prompts.clear();
        form.saveButton->click();
    }
};

TEST_F(ParamsSend, KindOneWritesCalibrationResolutionTypesAndLineCounts) {
    fillFor(1, 1);
    form.resXCBox->setCurrentIndex(3);  // "0.005", code 3
    form.calibXEdit->setText("1.5");
    form.FormShow();
    save();
    EXPECT_FALSE(buttons());
    clock.advance(200);
    const Bytes expected = {
        0xEB, 0x60, 0xE3, 0x16, 0x06, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF,  // 1.5, 0, 0
        0xEC, 0x03, 0x00, 0x00,                                                        // codes
        0xEE, 0x00,                                                                    // types
        0xED, 0xA0, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                    // 4000, 0, 0
        0xF1};
    EXPECT_EQ(sent(), expected) << wire->transcript();
    EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
    EXPECT_FALSE(service.Comm().Active());
    EXPECT_FALSE(form.sending());
    EXPECT_EQ(service.Comm().OnTxEmpty, nullptr);
    EXPECT_EQ(service.OnAcknowledge, nullptr);
}

TEST_F(ParamsSend, KindsTwoToFourWriteTypesWithTheResolution) {
    fillFor(3, 2);
    form.resXCBox->setCurrentIndex(4);  // "0.001", code 3
    form.resYCBox->setCurrentIndex(0);  // "0.00005", code 10
    form.impulseXEdit->setText("999999");
    form.impulseYEdit->setText("0");
    form.calibXEdit->setText("1,5");
    form.calibYEdit->setText("-0.25");
    form.impulseZEdit->setText("abc");  // Z is not there: never looked at
    save();
    clock.advance(200);
    const Bytes expected = {
        0xEB, 0x60, 0xE3, 0x16, 0x00, 0x70, 0x2F, 0xFC, 0xFF, 0x00, 0x00, 0x00, 0x00,  // micro
        0xEC, 0xA3, 0x0A, 0x0F, 0x00,  // X + 16 Y, Z, types ^ 0x0F, 0
        0xED, 0xFC, 0x08, 0x3D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // 3999996
        0xF1};
    EXPECT_EQ(sent(), expected) << wire->transcript();
    EXPECT_EQ(form.LineCount, (std::array<std::int32_t, 3>{3999996, 0, 0}));
    EXPECT_EQ(form.ResolutionCode, (std::array<std::int32_t, 3>{3, 10, 10}));
    EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
}

TEST_F(ParamsSend, RefusedEntriesNameTheEntryAndTheAxis) {
    struct Case {
        Axis axis;
        const char* pulses;
        const char* calibration;
        const char* message;  // empty: accepted
    };
    const Case cases[] = {
        {Axis::X, "999999", "1", ""},
        {Axis::X, "0", "1", ""},
        {Axis::Y, "+25", "1", ""},
        {Axis::X, "1000000", "1", "Błędna wartość ilości impulsów dla osi X."},
        {Axis::X, "-1", "1", "Błędna wartość ilości impulsów dla osi X."},
        {Axis::Y, "", "1", "Błędna wartość ilości impulsów dla osi Y."},
        {Axis::Z, "12a", "1", "Błędna wartość ilości impulsów dla osi Z."},
        {Axis::Y, "abc", "1", "Błędna wartość ilości impulsów dla osi Y."},
        {Axis::X, "1.0", "1", "Błędna wartość ilości impulsów dla osi X."},
        {Axis::X, "4294967296", "1", "Błędna wartość ilości impulsów dla osi X."},
        {Axis::X, "10", "1,5", ""},
        {Axis::X, "10", "1.5", ""},
        {Axis::Z, "10", "9.999999", ""},
        {Axis::Z, "10", "-9,999999", ""},
        {Axis::Y, "10", " 2.5 ", ""},
        {Axis::X, "10", "10", "Wartość kalibracji poza przedziałem dla osi X."},
        {Axis::Z, "10", "-10", "Wartość kalibracji poza przedziałem dla osi Z."},
        {Axis::Y, "10", "9.9999991", "Wartość kalibracji poza przedziałem dla osi Y."},
        {Axis::Y, "10", "1.2.3", "Błędna wartość kalibracji dla osi Y."},
        {Axis::X, "10", "1,2,3", "Błędna wartość kalibracji dla osi X."},
        {Axis::X, "10", "", "Błędna wartość kalibracji dla osi X."},
        {Axis::Z, "10", "nan", "Błędna wartość kalibracji dla osi Z."},
        {Axis::X, "x", "y", "Błędna wartość ilości impulsów dla osi X."},  // first failure only
    };
    fillFor(2, 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << axisIndex(c.axis) << " '" << c.pulses << "' '" << c.calibration << "'");
        fillFor(2, 3);
        form.impulseEdit(c.axis)->setText(c.pulses);
        form.calibrationEdit(c.axis)->setText(c.calibration);
        save();
        clock.advance(200);
        if (*c.message) {
            EXPECT_EQ(prompts.messages, QStringList{c.message});
            EXPECT_TRUE(sent().empty());
        } else {
            EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
            ASSERT_FALSE(sent().empty());
            EXPECT_EQ(sent().front(), 0xEB);
        }
        EXPECT_FALSE(form.sending());
        EXPECT_EQ(buttons(), *c.message != 0);
        clock.advance(3000);
    }
}

TEST_F(ParamsSend, AcceptedEntriesGiveTheValuesSent) {
    fillFor(2, 1);
    form.impulseXEdit->setText("999999");
    form.calibXEdit->setText("-1,25");
    save();
    EXPECT_EQ(form.LineCount[0], 3999996);
    EXPECT_DOUBLE_EQ(form.Calibration[0], -1.25);
    clock.advance(200);
    EXPECT_EQ(wire->box().settings().lineCounts[0], 3999996);
}

// A line count read from the box that is no multiple of four cannot be typed as pulses: it goes
// back as read while its pulse edit shows the text it was filled with; typed pulses go as four
// times as many.
TEST_F(ParamsSend, LineCountsReadGoBackUnlessOtherPulsesAreTyped) {
    const struct {
        const char* name;
        std::int32_t read;
        const char* typed;  // nullptr: left as filled
        std::int32_t stored;
    } cases[] = {
        {"left as filled", 4002, nullptr, 4002},
        {"below one pulse", 3, nullptr, 3},
        {"none", 0, nullptr, 0},
        {"typed again as shown", 10001, "2500", 10001},
        {"other pulses typed", 4002, "1001", 4004},
        {"one pulse typed over less", 3, "1", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fillFor(4, 3);
        form.setLineCount(Axis::Y, c.read);
        if (c.typed) {
            form.impulseYEdit->selectAll();
            QTest::keyClicks(form.impulseYEdit, c.typed);
        }
        save();
        clock.advance(200);
        EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
        EXPECT_EQ(wire->box().settings().lineCounts,
                  (std::array<std::int32_t, 3>{4000, c.stored, 4000}));
        clock.advance(3000);
    }
}

// A typed calibration of a few decimals reaches the box as exactly that number, although its
// double is a hair below it; a seventh decimal is cut off.
TEST_F(ParamsSend, TypedCalibrationsReachTheBoxExactly) {
    struct Case {
        int kind;
        const char* typed;
        Bytes stored;
    };
    const Case cases[] = {
        {3, "0.3", {0xE0, 0x93, 0x04, 0x00}},         // 300000
        {3, "0.000001", {0x01, 0x00, 0x00, 0x00}},    // 1
        {3, "-0.000125", {0x83, 0xFF, 0xFF, 0xFF}},   // -125
        {3, "0,1234567", {0x40, 0xE2, 0x01, 0x00}},   // 123456
        {1, "0.3", {0xC0, 0xC6, 0x2D, 0x07}},         // 3000000 x 10^-7
        {1, "0.000001", {0x40, 0x42, 0x0F, 0x0C}},    // 1000000 x 10^-12
        {1, "0.12345678", {0x87, 0xD6, 0x12, 0x07}},  // 1234567 x 10^-7
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << ": " << c.typed);
        fillFor(c.kind, 1);
        form.calibXEdit->setText(c.typed);
        save();
        clock.advance(200);
        const auto& stored = wire->box().settings().calibration[0];
        EXPECT_EQ(Bytes(stored.begin(), stored.end()), c.stored);
        clock.advance(3000);
    }
}

// A kind 1 box holds a calibration as 23 bits and a decimal exponent: what it cannot hold to the
// millionth is refused instead of reaching it without its sixth decimal.
TEST_F(ParamsSend, KindOneRefusesCalibrationsItCannotHoldToTheMillionth) {
    const struct {
        Axis axis;
        const char* typed;
        Bytes stored;  // empty: refused
    } cases[] = {
        {Axis::X, "8.388607", {0xFF, 0xFF, 0x7F, 0x06}},
        {Axis::X, "-8,388607", {0xFF, 0xFF, 0xFF, 0x06}},
        {Axis::X, "8.38861", {0xCD, 0xCC, 0x0C, 0x05}},
        {Axis::X, "9.99999", {0x3F, 0x42, 0x0F, 0x05}},
        {Axis::X, "9.5", {0xF0, 0x7E, 0x0E, 0x05}},
        {Axis::X, "0.12345678", {0x87, 0xD6, 0x12, 0x07}},  // more than the millionth
        {Axis::X, "8.3886079", {}},                         // the sixth decimal would go
        {Axis::X, "8.388608", {}},
        {Axis::Y, "9.999999", {}},
        {Axis::Z, "-9.000001", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        fillFor(1, 3);
        form.calibrationEdit(c.axis)->selectAll();
        QTest::keyClicks(form.calibrationEdit(c.axis), c.typed);
        save();
        clock.advance(200);
        if (c.stored.empty()) {
            const QString axis(QChar(u"XYZ"[axisIndex(c.axis)]));
            EXPECT_EQ(prompts.messages,
                      QStringList{"Wartość kalibracji poza przedziałem dla osi " + axis + "."});
            EXPECT_TRUE(sent().empty());
        } else {
            EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
            const auto& stored = wire->box().settings().calibration[0];
            EXPECT_EQ(Bytes(stored.begin(), stored.end()), c.stored);
        }
        clock.advance(3000);
    }
}

TEST_F(ParamsSend, ResolutionWithoutAValidEntryIsRefused) {
    struct Case {
        int kind;
        int index;
        bool refused;
    };
    // -1: no selection; kind 1 index 1 is code 1, the lowest it takes.
    const Case cases[] = {{1, -1, true}, {1, 1, false}, {3, -1, true}, {3, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.index);
        fillFor(c.kind, 2);
        form.resYCBox->setCurrentIndex(c.index);
        save();
        clock.advance(200);
        EXPECT_EQ(prompts.messages.value(0) == "Błędna wartość rozdzielczości dla osi Y.",
                  c.refused);
        clock.advance(3000);
    }
    // Code 0, which no kind 1 entry has, read for X: nothing goes out until one is picked.
    fillFor(1, 1);
    form.SetAxisResolution(Axis::X, 0);
    save();
    clock.advance(200);
    EXPECT_EQ(prompts.messages, QStringList{"Błędna wartość rozdzielczości dla osi X."});
    EXPECT_TRUE(sent().empty());
}

// An axis the box does not have is not validated and goes back with what was read for it: the box
// keeps values for such axes. Kind 1 boxes tell their axes by the codes of Y and Z, so an axis read
// absent (code 0) stays absent. Before any read a kind 1 box gets code 0 for it, kinds 2 to 4 the
// list's last code; count and calibration 0.
TEST_F(ParamsSend, AbsentAxesAreNotValidatedAndGoBackAsRead) {
    struct Case {
        int kind, axes;
        bool read;  // the main window filled in the absent axes
        std::array<std::int32_t, 3> codes;
        std::array<std::int32_t, 3> lineCounts;
        std::array<double, 3> calibrations;
        int axesAfter;
    };
    const Case cases[] = {
        {1, 1, true, {4, 0, 0}, {4000, 0, 0}, {1, 0, 0}, 1},
        {1, 1, true, {4, 0, 5}, {4000, 8000, 12001}, {1, 0.5, -0.25}, 1},
        {1, 2, true, {4, 4, 0}, {4000, 4000, 3}, {1, 1, 0.125}, 2},
        {2, 1, true, {4, 6, 15}, {4000, 8000, 2}, {1, 0, 0}, 1},
        {3, 2, true, {4, 4, 10}, {4000, 4000, 12000}, {1, 1, 0}, 2},
        {1, 1, false, {4, 0, 0}, {4000, 0, 0}, {1, 0, 0}, 1},
        {2, 1, false, {4, 10, 10}, {4000, 0, 0}, {1, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << c.kind << ", axes " << c.axes << (c.read ? "" : ", never read"));
        // A dialog the main window has not filled yet but for X.
        auto fresh = std::make_unique<TparamsForm>(service, prompts, clock);
        TparamsForm& dialog = c.read ? form : *fresh;
        if (c.read) {
            fillFor(c.kind, c.axes);
        } else {
            attachBox(c.kind);
            dialog.LoadResolutionLists(c.kind);
            dialog.EnableAxisGroup(Axis::Y, c.axes > 1);
            dialog.EnableAxisGroup(Axis::Z, c.axes > 2);
            dialog.SetAxisResolution(Axis::X, 4);
            dialog.impulseXEdit->setText("1000");
            dialog.calibXEdit->setText("1.000000");
            dialog.show();
        }
        for (Axis axis : {Axis::Y, Axis::Z}) {
            const auto i = static_cast<std::size_t>(axisIndex(axis));
            if (axisIndex(axis) < c.axes) continue;
            if (c.read) {
                dialog.SetAxisResolution(axis, c.codes[i]);
                dialog.setLineCount(axis, c.lineCounts[i]);
                dialog.calibrationEdit(axis)->setText(QString::number(c.calibrations[i], 'f', 6));
            }
            dialog.impulseEdit(axis)->setText("bad");
        }
        prompts.clear();
        dialog.saveButton->click();
        clock.advance(200);
        EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
        EXPECT_EQ(dialog.ResolutionCode, c.codes);
        EXPECT_EQ(dialog.LineCount, c.lineCounts);
        EXPECT_EQ(dialog.Calibration, c.calibrations);
        const sim::BoxSettings& stored = wire->box().settings();
        EXPECT_EQ(stored.lineCounts, c.lineCounts);
        std::array<std::uint8_t, 3> codes{};
        for (std::size_t i = 0; i < 3; ++i) codes[i] = static_cast<std::uint8_t>(c.codes[i]);
        EXPECT_EQ(stored.resolution, codes);
        EXPECT_EQ(sim::axisCount(stored), c.axesAfter);
        clock.advance(3000);
    }
}

TEST_F(ParamsSend, OrientationKeepsTheUpperBitsOfWhatWasRead) {
    struct Case {
        int kind;
        std::uint32_t read;
        bool angularX, angularZ;
        std::uint8_t stored;
    };
    const Case cases[] = {
        {1, 0x18, true, false, 0x19},
        {3, 0x18, true, false, 0x19},
        {2, 0x07, false, false, 0x00},
        {1, 0x01, true, true, 0x05},  // Z's group disabled: its button still counts
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.read);
        fillFor(c.kind, 2);
        form.OrientationBits = c.read;
        form.angleXRButton->setChecked(c.angularX);
        form.lineXRButton->setChecked(!c.angularX);
        form.angleZRButton->setChecked(c.angularZ);
        form.lineZRButton->setChecked(!c.angularZ);
        save();
        EXPECT_EQ(form.OrientationBits, c.stored);
        clock.advance(200);
        EXPECT_EQ(wire->box().settings().types, c.stored);
        clock.advance(3000);
    }
}

TEST_F(ParamsSend, SilentBoxAfterTheCalibrationFailsTheSendAndASecondStartsAgain) {
    sim::Faults faults;
    faults.silent.first = 3;  // readiness, calibration, then nothing
    faults.silentForUs = 7000000;
    fillFor(2, 1, faults);
    save();
    clock.advance(4999);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_FALSE(buttons());
    clock.advance(100);
    EXPECT_EQ(prompts.messages, QStringList{configtest::notSentMessage});
    EXPECT_TRUE(buttons());
    EXPECT_FALSE(service.Comm().Active());
    EXPECT_EQ(sent().front(), 0xEB);
    EXPECT_EQ(sent().at(13), 0xEC);

    clock.advance(3000);  // the box listens again
    wire->clearRecords();
    save();
    clock.advance(200);
    EXPECT_EQ(prompts.messages, QStringList{configtest::sentMessage});
    EXPECT_EQ(sent().front(), 0xEB);
    EXPECT_EQ(sent().back(), 0xF1);
}

TEST_F(ParamsSend, AnAxisBackToLinearAfterAnUnsentSaveGetsTheResolutionItHad) {
    struct Case {
        const char* why;
        sim::Faults faults;
        const char* pulses;
    };
    sim::Faults silent;
    silent.silent.first = 2;
    const Case cases[] = {
        {"refused entry", {}, "abc"},
        {"silent box", silent, "1000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        fillFor(2, 1, c.faults);
        form.show();
        form.resXCBox->setCurrentIndex(2);  // "0.0002"
        form.FormShow();
        const auto click = [](QWidget* w) {
            QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(8, w->height() / 2));
        };
        click(form.angleXRButton);
        EXPECT_EQ(form.resXCBox->currentText(), "0.001");
        form.impulseXEdit->setText(c.pulses);
        save();
        clock.advance(6000);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(buttons());
        click(form.lineXRButton);
        EXPECT_EQ(form.resXCBox->currentText(), "0.0002");
        EXPECT_EQ(form.LinearIndex[0], 2);
        form.close();
    }
}

TEST_F(ParamsSend, PortThatCannotOpenSendsNothing) {
    fillFor(3, 1);
    device->failOpen(EBUSY);
    save();
    clock.advance(6000);
    EXPECT_EQ(prompts.messages, QStringList{configtest::openFailedMessage});
    EXPECT_TRUE(buttons());
    EXPECT_FALSE(form.sending());
    EXPECT_TRUE(sent().empty());
}

TEST_F(ParamsSend, ButtonsComeBackThreeSecondsAfterTheLastByteLeft) {
    fillFor(1, 1);
    // The pause runs while the success message is still open.
    bool pauseRunningUnderMessage = false;
    prompts.whileMessageOpen = [&](const QString&) {
        pauseRunningUnderMessage = form.canExitTimer.Enabled();
    };
    save();
    clock.advance(200);
    ASSERT_EQ(prompts.messages, QStringList{configtest::sentMessage});
    EXPECT_TRUE(pauseRunningUnderMessage);
    EXPECT_FALSE(buttons());
    clock.advance(2700);
    EXPECT_FALSE(buttons());
    clock.advance(400);
    EXPECT_TRUE(buttons());
    EXPECT_FALSE(form.canExitTimer.Enabled());
}

TEST_F(ParamsSend, CloseBoxWaitsForTheSendToEnd) {
    fillFor(2, 1);
    form.show();
    save();
    form.close();
    EXPECT_TRUE(form.isVisible());
    clock.advance(200);
    EXPECT_EQ(sent().back(), 0xF1);
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), 2);
}

TEST_F(ParamsSend, UnknownKindWritesTheCalibrationAlone) {
    fillFor(0, 1);
    form.show();
    save();
    clock.advance(6000);
    const Bytes bytes = sent();
    ASSERT_EQ(bytes.size(), 13u);
    EXPECT_EQ(bytes.front(), 0xEB);
    // Nothing more will come; the close box works again.
    EXPECT_FALSE(form.sending());
    form.close();
    EXPECT_FALSE(form.isVisible());
}

}  // namespace
