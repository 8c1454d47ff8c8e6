// A configuration file restored to the simulated box in virtual time: the port held from the
// first read to the end, only what differs written, and every way it ends told.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "config/ConfigRestore.h"
#include "config/RestoreDialog.h"
#include "tests/config/FormFixture.h"
#include "tests/support/simwire/SimWire.h"

namespace {

using Stage = ConfigRestore::Stage;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t endOfConfiguration = 0xF1;

class Restore : public configtest::FormFixture {
protected:
    std::unique_ptr<simwire::SimWire> wire;
    ConfigRestore restore{service, clock};
    std::optional<Stage> stage;
    int finishedCount = 0;
    bool holds = false;
    bool written = false;
    QString text;

    // A box of `kind` (with whatever `edit` makes of its store) on the line, the port closed.
    void attach(int kind, const std::function<void(sim::BoxSettings&)>& edit = {}) {
        sim::SimConfig config;
        config.settings.kind = kind;
        config.settings.correctionCount = 1;
        config.settings.correctionFlags = 0x10;
        config.settings.corrections[0][1] = {100, 101};
        if (edit) edit(config.settings);
        wire = std::make_unique<simwire::SimWire>(clock, device, config);
        device->setAutoTxEmpty(&clock, 2000);
        restore.onStage = [this](Stage s) { stage = s; };
        restore.onFinished = [this](bool h, bool w, const QString& t) {
            ++finishedCount;
            holds = h;
            written = w;
            text = t;
        };
    }
    // What the box holds, read as the restore reads it.
    boxconfig::BoxConfig boxNow() {
        ConfigRead read(service);
        std::optional<boxconfig::BoxConfig> box;
        read.onRead = [&](const boxconfig::BoxConfig& b) { box = b; };
        read.start();
        for (int ms = 0; ms < 20000 && !box; ++ms) clock.advance(1);
        EXPECT_TRUE(box);
        return box.value_or(boxconfig::BoxConfig{});
    }
    // Runs the clock in steps of a millisecond until `done` or 60 s, checking that the port
    // stays open meanwhile; returns whether it always was.
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
            if ((b >= 0xEA && b <= 0xEE) || b == endOfConfiguration) writes.push_back(b);
        return writes;
    }
};

TEST_F(Restore, HoldsThePortAndWritesOnlyWhatDiffers) {
    const struct {
        const char* name;
        int kind;
        std::function<void(boxconfig::BoxConfig&)> change;
        Bytes writes;  // the write commands and ends of configuration, in order
        bool written;
    } cases[] = {
        {"nothing differs", 1, [](auto&) {}, {}, false},
        // Kind 1 keeps 1.5 as 15 tenths and -0 as it is: the calibration frame is not sent.
        {"a line count",
         1,
         [](auto& c) { c.lineCounts[0] = 8000; },
         {0xEC, 0xEE, 0xED, endOfConfiguration},
         true},
        {"a calibration",
         1,
         [](auto& c) { c.calibrationMillionths[2] = 250000; },
         {0xEB, 0xEC, 0xEE, 0xED, endOfConfiguration},
         true},
        {"a table row",
         4,
         [](auto& c) { c.corrections[0][1].Corrected = 102; },
         {0xEA, endOfConfiguration},
         true},
        {"the types and a table",
         4,
         [](auto& c) {
             c.dimensionTypes = 0xF8;
             c.correctionFlags = 0x30;
         },
         {0xEC, 0xED, endOfConfiguration, 0xEA, endOfConfiguration},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        finishedCount = 0;
        attach(c.kind, [](sim::BoxSettings& s) {
            if (s.kind != 1) return;
            s.calibration[0] = {15, 0, 0, 1};    // 15 x 10^-1
            s.calibration[1] = {0, 0, 0x80, 0};  // -0
        });
        boxconfig::BoxConfig file = boxNow();
        c.change(file);
        const sim::BoxSettings before = wire->box().settings();
        wire->clearRecords();
        const int opens = device->openCount();
        restore.start(file);
        EXPECT_TRUE(runHeld([&] { return finishedCount > 0; }));
        ASSERT_EQ(finishedCount, 1);
        EXPECT_TRUE(holds) << text.toStdString();
        EXPECT_EQ(written, c.written);
        EXPECT_FALSE(device->isOpen());
        // One opening for the whole restore: no other program could come between its stages.
        EXPECT_EQ(device->openCount() - opens, 1);
        EXPECT_EQ(writesSent(), c.writes);
        if (c.kind == 1 && c.name != std::string("a calibration")) {
            EXPECT_EQ(wire->box().settings().calibration, before.calibration);
        }
        EXPECT_EQ(boxNow(), file);
    }
}

TEST_F(Restore, APortInUseIsNamedAndNothingIsWritten) {
    attach(4);
    const boxconfig::BoxConfig file = boxNow();
    device->failOpen(EBUSY);
    restore.start(file);
    EXPECT_EQ(text, QStringLiteral("Błąd przy nawiązaniu połączenia.\r\nPort COM2 jest używany "
                                   "przez inny program. Nic nie zostało zapisane w urządzeniu."));
    EXPECT_FALSE(written);
}

TEST_F(Restore, AnInterruptionSaysWhatTheBoxMayHold) {
    int pauseMs = 0;
    const struct {
        const char* name;
        std::function<bool()> when;
        const char* said;
        bool written;
    } cases[] = {
        {"checking", [] { return true; },
         "Odtwarzanie konfiguracji przerwane. Nic nie zostało zapisane w urządzeniu.", false},
        {"parameters", [this] { return stage == Stage::Parameters && writesSent().size() == 2; },
         "w czasie zapisu parametrów", true},
        // A second after the parameters' end of configuration went out.
        {"the pause between",
         [this, &pauseMs] {
             const Bytes w = writesSent();
             if (std::count(w.begin(), w.end(), endOfConfiguration) == 0) return false;
             return ++pauseMs > 1000;
         },
         "po zapisie parametrów", true},
        {"tables", [this] { return stage == Stage::Corrections; }, "w czasie zapisu tabel korekcji",
         true},
        {"reading back", [this] { return stage == Stage::ReadingBack; },
         "przed końcem odczytu kontrolnego", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        finishedCount = 0;
        stage.reset();
        attach(4);
        boxconfig::BoxConfig file = boxNow();
        file.lineCounts[1] = 8000;
        file.corrections[0][1].Corrected = 102;
        wire->clearRecords();
        restore.start(file);
        runHeld([&] { return c.when() || finishedCount > 0; });
        ASSERT_EQ(finishedCount, 0) << text.toStdString();
        restore.interrupt();
        ASSERT_EQ(finishedCount, 1);
        EXPECT_FALSE(holds);
        EXPECT_EQ(written, c.written);
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.said))) << text.toStdString();
        EXPECT_FALSE(device->isOpen());
        // Nothing of it goes on.
        const std::size_t sent = wire->hostBytes().size();
        clock.advance(10000);
        EXPECT_EQ(wire->hostBytes().size(), sent);
        EXPECT_EQ(finishedCount, 1);
    }
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

// The dialog: the operator's "Zamknij" waits for the writes; the program's own close (it ends on
// a signal) stops them, and what the box may now hold goes to standard error, not into a message
// box that would hold the ending program up.
TEST_F(Restore, TheProgramClosingTheDialogStopsTheWritesAndSaysSo) {
    attach(4);
    boxconfig::BoxConfig file = boxNow();
    file.lineCounts[1] = 8000;
    RestoreDialog dialog(service, prompts, clock);
    dialog.compareWithBox(file, QStringLiteral("box.ini"));
    dialog.show();
    runHeld([&] { return dialog.writeButton->isEnabled(); });
    ASSERT_TRUE(dialog.writeButton->isEnabled()) << dialog.status->text().toStdString();
    wire->clearRecords();
    dialog.writeButtonClick();
    runHeld([&] { return writesSent().size() == 1; });
    dialog.closeButton->click();
    EXPECT_TRUE(dialog.isVisible());

    std::ostringstream said;
    std::streambuf* const standardError = std::cerr.rdbuf(said.rdbuf());
    dialog.close();
    std::cerr.rdbuf(standardError);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_NE(said.str().find("przerwane w czasie zapisu parametrów"), std::string::npos)
        << said.str();
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_FALSE(device->isOpen());
}
