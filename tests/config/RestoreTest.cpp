// A configuration file restored to the simulated box in virtual time: the port held from the
// first read to the end, only what differs written, and every way it ends told.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <functional>
#include <iostream>
#include <sstream>

#include "config/RestoreDialog.h"
#include "tests/config/FormFixture.h"
#include "tests/support/simwire/SimWire.h"

namespace {

using Stage = ConfigRestore::Stage;
using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t endConfig = 0xF1;

class Restore : public configtest::FormFixture {
protected:
    std::unique_ptr<simwire::SimWire> wire;
    ConfigRestore restore{service, clock};
    std::optional<Stage> stage;
    int finished = 0;
    bool holds = false, written = false;
    QString text;

    // A kind 1 box holding 1.5 as 15 tenths and -0 (or a box of `kind` with one table row), and
    // the file of what it holds changed by `change`.
    boxconfig::BoxConfig attach(int kind, const std::function<void(boxconfig::BoxConfig&)>& change,
                                std::array<std::uint8_t, 4> zCalibration = {0, 0, 0, 0}) {
        sim::SimConfig config;
        config.settings.kind = kind;
        config.settings.correctionCount = 1;
        config.settings.corrections[0][1] = {100, 101};
        config.settings.calibration = {{{15, 0, 0, 1}, {0, 0, 0x80, 0}, zCalibration}};
        if (kind != 1) config.settings.calibration = {};
        wire = std::make_unique<simwire::SimWire>(clock, device, config);
        device->setAutoTxEmpty(&clock, 2000);
        finished = 0;
        stage.reset();
        restore.onStage = [this](Stage s) { stage = s; };
        restore.onFinished = [this](bool h, bool w, const QString& t) {
            ++finished, holds = h, written = w, text = t;
        };
        ConfigRead read(service);
        boxconfig::BoxConfig file;
        read.onRead = [&](const boxconfig::BoxConfig& box) { file = box; };
        read.start();
        clock.advance(2000);
        change(file);
        wire->clearRecords();
        return file;
    }
    // Runs the clock until `done` (60 s at most); whether the port was open all the while the
    // restore ran.
    bool runHeld(const std::function<bool()>& done) {
        bool held = true;
        for (int ms = 0; ms < 60000 && !done(); ++ms) {
            clock.advance(1);
            held = held && (device->isOpen() || !restore.running());
        }
        return held;
    }
    Bytes writesSent() const {
        Bytes writes;
        for (std::uint8_t b : wire->hostBytes())
            if ((b >= 0xEA && b <= 0xEE) || b == endConfig) writes.push_back(b);
        return writes;
    }
};

TEST_F(Restore, HoldsThePortAndWritesOnlyWhatDiffers) {
    const struct {
        const char* name;
        int kind;
        std::function<void(boxconfig::BoxConfig&)> change;
        Bytes writes;
        std::array<std::uint8_t, 4> zCalibration = {0, 0, 0, 0};
    } cases[] = {
        {"nothing differs", 1, [](auto&) {}, {}},
        // The calibration frame is not sent: the box keeps 15 tenths and -0 as they are.
        {"a line count", 1, [](auto& c) { c.lineCounts[0] = 8000; }, {0xEC, 0xEE, 0xED, endConfig}},
        // 0.1234567 held, 0.123456 in the file: shown as a change, and written.
        {"a seventh decimal",
         1,
         [](auto&) {},
         {0xEB, 0xEC, 0xEE, 0xED, endConfig},
         {0x87, 0xD6, 0x12, 7}},
        {"a table row", 4, [](auto& c) { c.corrections[0][1].Corrected = 102; }, {0xEA, endConfig}},
        {"the types and a switch",
         4,
         [](auto& c) { c.dimensionTypes = 0xF8, c.correctionFlags = 0x30; },
         {0xEC, 0xED, endConfig, 0xEA, endConfig}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const boxconfig::BoxConfig file = attach(c.kind, c.change, c.zCalibration);
        const auto calibrationBefore = wire->box().settings().calibration;
        const int opens = device->openCount();
        restore.start(file);
        EXPECT_TRUE(runHeld([&] { return finished > 0; }));
        EXPECT_TRUE(holds) << text.toStdString();
        EXPECT_EQ(written, !c.writes.empty());
        // One opening for the whole restore: no other program could come between its stages.
        EXPECT_EQ(device->openCount() - opens, 1);
        EXPECT_FALSE(device->isOpen());
        EXPECT_EQ(writesSent(), c.writes);
        if (c.writes.empty() || c.writes[0] != 0xEB) {
            EXPECT_EQ(wire->box().settings().calibration, calibrationBefore);
        }
    }
}

TEST_F(Restore, AnInterruptionSaysWhatTheBoxMayHold) {
    int pauseMs = 0;
    const struct {
        std::function<bool()> when;
        const char* said;
    } cases[] = {
        {[] { return true; },
         "Odtwarzanie konfiguracji przerwane. Nic nie zostało zapisane w urządzeniu."},
        {[this] { return writesSent().size() == 2; }, "w czasie zapisu parametrów"},
        // A second after the parameters' end of configuration went out.
        {[&] { return writesSent().size() == 3 && ++pauseMs > 1000; }, "po zapisie parametrów"},
        {[this] { return stage == Stage::Corrections; }, "w czasie zapisu tabel korekcji"},
        {[this] { return stage == Stage::ReadingBack; }, "przed końcem odczytu kontrolnego"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        restore.start(attach(4, [](auto& f) { f.lineCounts[1] = 8000, f.correctionRows = 0; }));
        runHeld([&] { return c.when() || finished > 0; });
        ASSERT_EQ(finished, 0) << text.toStdString();
        restore.interrupt();
        EXPECT_EQ(finished, 1);
        EXPECT_FALSE(holds);
        EXPECT_EQ(written, stage != Stage::Checking);
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.said))) << text.toStdString();
        EXPECT_FALSE(device->isOpen());
        // Nothing of it goes on.
        const std::size_t sent = wire->hostBytes().size();
        clock.advance(10000);
        EXPECT_EQ(wire->hostBytes().size(), sent);
    }
}

// The operator's "Zamknij" waits for the writes; the program's own close (it ends on a signal)
// stops them, and what the box may hold goes to standard error, not into a message box that
// would hold the ending program up.
TEST_F(Restore, TheProgramClosingTheDialogStopsTheWritesAndSaysSo) {
    const boxconfig::BoxConfig file = attach(4, [](auto& f) { f.lineCounts[1] = 8000; });
    RestoreDialog dialog(service, prompts, clock);
    dialog.compareWithBox(file, QStringLiteral("box.ini"));
    dialog.show();
    runHeld([&] { return dialog.writeButton->isEnabled(); });
    dialog.writeButtonClick();
    runHeld([&] { return writesSent().size() == 1; });
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());

    std::ostringstream said;
    std::streambuf* const standardError = std::cerr.rdbuf(said.rdbuf());
    dialog.close();
    std::cerr.rdbuf(standardError);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_NE(said.str().find("przerwane w czasie zapisu parametrów"), std::string::npos);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_FALSE(device->isOpen());
}

TEST(ReadBack, WhatDiffersIsNamed) {
    boxconfig::BoxConfig file;
    file.deviceKind = 1;
    file.calibrationMillionths = {123456, 0, 0};
    boxconfig::BoxConfig box = file;
    box.dimensionTypes = 0xF8;
    EXPECT_EQ(readBackDifferences(box, {0.1234567L, 0, 0}, file),
              QStringLiteral("\r\nX: kalibracja = 0.1234567 (w pliku 0.123456)"
                             "\r\npozostałe bity typów osi = 0xF8 (w pliku 0x00)"));
    EXPECT_EQ(readBackDifferences(file, {0.123456L, 0, 0}, file), QString());
}

}  // namespace
