// Whole scenarios against the simulated box on the in-memory line, paced at 9600 baud.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include "link/WireFormats.h"
#include "tests/readout/Harness.h"
#include "tests/support/simwire/SimWire.h"

namespace readouttest {
namespace {

using Bytes = std::vector<std::uint8_t>;

class SimScenarioTest : public ReadoutTest {
protected:
    void connectBox(const sim::SimConfig& config) {
        wire = std::make_unique<simwire::SimWire>(clock, device, config);
    }
    // Times of the position requests the host wrote, in microseconds.
    std::vector<std::int64_t> positionRequestTimes() const {
        std::vector<std::int64_t> times;
        for (const auto& t : wire->traffic())
            if (t.fromHost && t.byte == 0xE1) times.push_back(t.timeUs);
        return times;
    }
    std::string transcript() const { return wire ? wire->transcript() : std::string(); }

    // Opens a configuration dialog from its menu item `times` times, each time pressing "Zapisz"
    // and, once the buttons are back, "Zamknij"; returns how many sends were reported done.
    int saveUnchanged(QAction* item, QDialog* dialog, QPushButton* save, QPushButton* exit,
                      int times) {
        int done = 0;
        prompts.clear();
        prompts.whileDialogOpen = [&](QDialog& shown) {
            if (&shown != dialog) return;
            QTest::mouseClick(save, Qt::LeftButton);
            clock.advance(500);
            if (prompts.messages.contains(sentMessage)) ++done;
            prompts.messages.clear();
            clock.advance(3000);
            QTest::mouseClick(exit, Qt::LeftButton);
        };
        for (int i = 0; i < times; ++i) {
            item->trigger();
            // The dialog opens between two readings; after it the link starts again.
            clock.advance(1000);
        }
        prompts.whileDialogOpen = nullptr;
        return done;
    }

    const QString sentMessage =
        QStringLiteral("Parametry zostały wysłane.\r\nZa 3 sekundy można kontynuować pomiar.");
    std::unique_ptr<simwire::SimWire> wire;
};

sim::SimConfig boxOfKind(int kind) {
    sim::SimConfig config;
    config.settings.kind = kind;
    config.settings.resolution = {5, 5, 5};
    for (auto& motion : config.motion) {
        motion.kind = sim::Motion::Kind::Ramp;
        motion.rate = 1000;
    }
    return config;
}

TEST_F(SimScenarioTest, ConfigurationReadThenReadingsAtTheLineRate) {
    const struct {
        int kind;
        Bytes read;
        int readingsPerSecond;  // 9600 baud, 11 bits a character
    } cases[] = {
        {1, {0xE9, 0xE5, 0xE6, 0xE8, 0xE7}, 36},   // three axes: 24 characters a reading
        {2, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4}, 109},  // one axis: 8 characters
        {3, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4}, 54},   // two axes: 16 characters
        {4, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4}, 36},
    };
    for (const auto& c : cases) {
        wire.reset();
        connectBox(boxOfKind(c.kind));
        startOrRestartLink();
        clock.advance(500);
        const Bytes host = wire->hostBytes();
        ASSERT_GE(host.size(), c.read.size() + 1) << transcript();
        EXPECT_EQ(Bytes(host.begin(), host.begin() + std::ptrdiff_t(c.read.size())), c.read)
            << "kind " << c.kind;
        EXPECT_EQ(host[c.read.size()], 0xE1) << "kind " << c.kind;

        const auto before = positionRequestTimes().size();
        clock.advance(1000);
        const auto readings = int(positionRequestTimes().size() - before);
        EXPECT_NEAR(readings, c.readingsPerSecond, 2) << "kind " << c.kind;
        EXPECT_NE(form->xxLabel->text(), "0.0") << "kind " << c.kind;
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    }
}

TEST_F(SimScenarioTest, BoxSwitchedOffDuringTheCycle) {
    sim::SimConfig config = boxOfKind(4);
    config.faults.silent.first = 40;  // a position request well into the cycle
    connectBox(config);
    std::int64_t shownAt = 0;
    std::vector<std::int64_t> times;
    prompts.whileDialogOpen = [&](QDialog& dialog) {
        EXPECT_EQ(&dialog, breakForm.get());
        shownAt = clock.nowUs();
        times = positionRequestTimes();
    };
    showAndStart();
    clock.advance(10000);
    ASSERT_EQ(prompts.dialogCount, 1) << transcript();
    // The request and its two repeats, 1300 ms apart, and the dialog 1200 ms after the last.
    ASSERT_GE(times.size(), 3u);
    const std::int64_t first = times[times.size() - 3];
    EXPECT_EQ(times[times.size() - 2] - first, 1300000);
    EXPECT_EQ(times.back() - first, 2600000);
    EXPECT_EQ(shownAt - first, 3800000);
    // The operator stopped waiting: the box is asked again once a second, the readouts stand
    // still and grey.
    const QString frozen = form->xxLabel->text();
    const auto asked = positionRequestTimes().size();
    clock.advance(20000);
    EXPECT_EQ(positionRequestTimes().size() - asked, 20u);
    EXPECT_EQ(form->xxLabel->text(), frozen);
    EXPECT_FALSE(form->readoutsLive());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(SimScenarioTest, SecondRepeatAnsweredLate) {
    sim::SimConfig config = boxOfKind(4);
    // Request 40 and its first repeat go unanswered; the second repeat is request 41 to the
    // box, answered 1500 ms late, after the wait dialog has come up.
    config.faults.silent.first = 40;
    config.faults.silentForUs = 2500000;
    config.faults.late.first = 41;
    config.faults.lateByUs = 1500000;
    connectBox(config);
    std::int64_t shownAt = 0;
    prompts.whileDialogOpen = [&](QDialog&) {
        shownAt = clock.nowUs();
        clock.advance(1000);
    };
    showAndStart();
    clock.advance(6000);
    ASSERT_EQ(prompts.dialogResults, QList<int>{7}) << transcript();
    const auto before = positionRequestTimes().size();
    clock.advance(1000);
    // The cycle went on from the late reply, at the line rate again.
    EXPECT_NEAR(int(positionRequestTimes().size() - before), 36, 2);
    EXPECT_EQ(form->retriesLeft, 2);
    EXPECT_GT(shownAt, 0);
    EXPECT_EQ(prompts.dialogCount, 1);
}

// The parameters dialog opened and saved unchanged, over and over: each save writes back what
// the link start before it read, and the box ends up holding the very bytes it began with.
TEST_F(SimScenarioTest, UnchangedSavesLeaveTheBoxAsItWas) {
    using Calibration = std::array<std::uint8_t, 4>;
    const auto micro = [](std::int32_t v) {
        Calibration b{};
        wire::writeInt32(b.data(), v);
        return b;
    };
    const struct {
        const char* name;
        int kind;
        std::array<std::uint8_t, 3> codes;
        std::array<Calibration, 3> calibration;
        // An axis the box does not have goes back as read.
        std::array<std::int32_t, 3> lineCounts;
    } cases[] = {
        {"kind 1, three axes",
         1,
         {2, 3, 7},
         // 0.001 as 1000000 x 10^-9, 0.12525, -1.5
         {{{0x40, 0x42, 0x0F, 0x09}, {0x94, 0x1C, 0x13, 0x07}, {0x60, 0xE3, 0x96, 0x06}}},
         {4000, 10000, 400}},
        {"kind 1, X alone",
         1,
         {4, 0, 0},
         {{{0x94, 0x1C, 0x13, 0x07}, {0x00, 0x00, 0x00, 0xFF}, {0x00, 0x00, 0x00, 0xFF}}},
         {4000, 0, 0}},
        {"kind 1, X and Y",
         1,
         {1, 6, 0},
         // 0.001 and 0.000001 (1000000 x 10^-12)
         {{{0x40, 0x42, 0x0F, 0x09}, {0x40, 0x42, 0x0F, 0x0C}, {0x00, 0x00, 0x00, 0xFF}}},
         {4000, 10000, 0}},
        {"kind 3", 3, {3, 3, 10}, {{micro(125250), micro(-125), micro(0)}}, {4000, 10000, 0}},
        {"kind 4", 4, {0, 9, 5}, {{micro(300000), micro(1), micro(-9999999)}}, {4000, 10000, 400}},
        {"kind 1, Y absent, Z held by the box",
         1,
         {2, 0, 4},
         // 0.001, 0.5, 0.25
         {{{0x40, 0x42, 0x0F, 0x09}, {0x40, 0x4B, 0x4C, 0x07}, {0xA0, 0x25, 0x26, 0x07}}},
         {4000, 8000, 12000}},
        // The window takes the calibrations of the axes a kind 2 box lacks as 0.
        {"kind 2, Y and Z absent",
         2,
         {3, 5, 15},
         {{micro(1000000), micro(0), micro(0)}},
         {4000, 8000, 3}},
        // Counts no whole number of pulses gives: the edits show fewer, the box keeps its own.
        {"kind 4, line counts of no whole pulses",
         4,
         {3, 3, 3},
         {{micro(1000000), micro(1000000), micro(1000000)}},
         {4002, 10001, 3}},
        {"kind 1, line counts of no whole pulses",
         1,
         {2, 3, 4},
         {{{0x40, 0x42, 0x0F, 0x09}, {0x40, 0x42, 0x0F, 0x09}, {0x40, 0x42, 0x0F, 0x09}}},
         {4001, 6, 2}},
    };
    constexpr int saves = 15;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimConfig config = boxOfKind(c.kind);
        config.settings.resolution = c.codes;
        config.settings.calibration = c.calibration;
        config.settings.types = 0b010;
        config.settings.lineCounts = c.lineCounts;
        wire.reset();
        connectBox(config);
        // The port tells when the dialog's last byte has left.
        device->setAutoTxEmpty(&clock, 2000);
        startOrRestartLink();
        clock.advance(500);
        const sim::BoxSettings before = wire->box().settings();

        EXPECT_EQ(saveUnchanged(form->paramsMMI, paramsForm.get(), paramsForm->saveButton,
                                paramsForm->exitButton, saves),
                  saves)
            << prompts.log.join('|').toStdString();
        const sim::BoxSettings& after = wire->box().settings();
        EXPECT_EQ(after.calibration, before.calibration);
        EXPECT_EQ(after.resolution, before.resolution);
        EXPECT_EQ(after.types, before.types);
        EXPECT_EQ(after.lineCounts, before.lineCounts);
        // The link started again after every save and the cycle runs.
        EXPECT_EQ(service.AxisCount, sim::axisCount(before));
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('|').toStdString();
    }
}

}  // namespace
}  // namespace readouttest

namespace readouttest {
namespace {

// A resolution code of kinds 2 to 4 that names no step (11 to 15 fit the four bits) gives no
// scale for the axis's correction table: it shows in the box's own units, and saving it
// unchanged writes back what the box holds instead of zeros.
TEST_F(SimScenarioTest, TablesOfAxesWithoutAStepSurviveASave) {
    sim::SimConfig config = boxOfKind(4);
    config.settings.resolution = {3, 12, 15};
    config.settings.correctionCount = 2;
    config.settings.correctionFlags = 0x70;
    auto& tables = config.settings.corrections;
    tables[0][1] = {1000, 1010};
    tables[0][2] = {2000, 1990};
    tables[1][1] = {100, 110};
    tables[1][2] = {200, 190};
    tables[2][1] = {-2147483647, 2147483647};
    tables[2][2] = {123456789, -7};
    connectBox(config);
    device->setAutoTxEmpty(&clock, 2000);
    startOrRestartLink();
    clock.advance(500);
    // Y and Z in box units, whole numbers; X at its step of 0.001.
    const struct {
        QTableWidget* grid;
        std::array<const char*, 4> cells;
    } shown[] = {
        {coordForm->correctionXSGrid, {"1.000", "1.010", "2.000", "1.990"}},
        {coordForm->correctionYSGrid, {"100", "110", "200", "190"}},
        {coordForm->correctionZSGrid, {"-2147483647", "2147483647", "123456789", "-7"}},
    };
    for (const auto& s : shown) {
        for (int row = 1; row <= 2; ++row) {
            for (int column = 1; column <= 2; ++column) {
                const QTableWidgetItem* cell = s.grid->item(row, column);
                ASSERT_NE(cell, nullptr);
                EXPECT_EQ(cell->text().toStdString(),
                          s.cells[std::size_t(2 * (row - 1) + column - 1)]);
            }
        }
    }

    const sim::BoxSettings before = wire->box().settings();
    EXPECT_EQ(saveUnchanged(form->coordMMI, coordForm.get(), coordForm->saveButton,
                            coordForm->exitButton, 3),
              3)
        << prompts.log.join('|').toStdString();
    const sim::BoxSettings& after = wire->box().settings();
    EXPECT_EQ(after.correctionCount, 2);
    EXPECT_EQ(after.correctionFlags, 0x70u);
    for (std::size_t axis = 0; axis < 3; ++axis) {
        for (int row = 1; row <= 2; ++row) {
            EXPECT_EQ(after.corrections[axis][row].Position, before.corrections[axis][row].Position)
                << "axis " << axis << " row " << row;
            EXPECT_EQ(after.corrections[axis][row].Corrected,
                      before.corrections[axis][row].Corrected)
                << "axis " << axis << " row " << row;
        }
    }
}

}  // namespace
}  // namespace readouttest

namespace readouttest {
namespace {

// Table values of 10^8 grid units and more reach the grid rounded to 8 significant digits; saved
// unchanged, the box keeps every digit of them.
TEST_F(SimScenarioTest, LargeTableValuesSurviveUnchangedSaves) {
    sim::SimConfig config = boxOfKind(4);
    config.settings.resolution = {3, 10, 9};  // steps 0.001, 0.00001 and 1
    config.settings.correctionCount = 2;
    config.settings.correctionFlags = 0x70;
    for (auto& table : config.settings.corrections) {
        table[1] = {100000001, 123456789};
        table[2] = {2147483647, -2147483647};
    }
    connectBox(config);
    device->setAutoTxEmpty(&clock, 2000);
    startOrRestartLink();
    clock.advance(500);
    const sim::BoxSettings before = wire->box().settings();
    EXPECT_EQ(saveUnchanged(form->coordMMI, coordForm.get(), coordForm->saveButton,
                            coordForm->exitButton, 2),
              2)
        << prompts.log.join('|').toStdString();
    const sim::BoxSettings& after = wire->box().settings();
    for (std::size_t axis = 0; axis < 3; ++axis) {
        for (int row = 1; row <= 2; ++row) {
            SCOPED_TRACE(testing::Message() << "axis " << axis << " row " << row);
            EXPECT_EQ(after.corrections[axis][row].Position,
                      before.corrections[axis][row].Position);
            EXPECT_EQ(after.corrections[axis][row].Corrected,
                      before.corrections[axis][row].Corrected);
        }
    }
}

// Writing the box's parameters is a configuration written, even with the values it held: the
// box is told to end its configuration and "measuring can go on in 3 s". The operator's zero
// must not outlive it unannounced.
TEST_F(SimScenarioTest, OffsetsDoNotOutliveAParametersWrite) {
    sim::SimConfig config = boxOfKind(4);
    for (auto& calibration : config.settings.calibration)
        wire::writeInt32(calibration.data(), 500000);
    connectBox(config);
    device->setAutoTxEmpty(&clock, 2000);
    startOrRestartLink();
    clock.advance(500);
    QTest::mouseClick(form->relRButton, Qt::LeftButton);
    form->offsets = {0.25, 0.5, 0.75};
    ASSERT_EQ(saveUnchanged(form->paramsMMI, paramsForm.get(), paramsForm->saveButton,
                            paramsForm->exitButton, 1),
              1)
        << prompts.log.join('|').toStdString();
    clock.advance(1000);
    ASSERT_TRUE(form->readoutsLive()) << transcript();
    EXPECT_EQ(form->offsets, (std::array<double, 3>{})) << "kept over a write to the box";
}

}  // namespace
}  // namespace readouttest
