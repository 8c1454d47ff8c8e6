#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/AboutUnit.h"
#include "app/breakUnit.h"
#include "app/helpUnit.h"
#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "platform/ManualClock.h"
#include "readout/MainUnit.h"
#include "serial/MemoryDevice.h"
#include "tests/support/prompts/FakePrompts.h"

namespace readouttest {

// The last byte of a sequence, 0 for an empty one.
inline std::uint8_t lastOf(const std::vector<std::uint8_t>& bytes) {
    return bytes.empty() ? 0 : bytes.back();
}

// What a scripted box reports during the configuration read.
struct BoxConfig {
    std::uint8_t readiness = 0x30;  // kind 4
    std::array<long double, 3> calibration{0.5L, 0.5L, 0.5L};
    std::array<std::uint8_t, 3> codes{5, 5, 5};
    std::uint8_t types = 0;
    std::array<std::int32_t, 3> lineCounts{4000, 4000, 4000};
    std::uint8_t correctionRows = 0;
    std::uint32_t correctionFlags = 0;
};

// The working directory of the program, a temporary one for each test.
class WorkDir {
public:
    WorkDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~WorkDir() { QDir::setCurrent(previous_); }
    QString path() const { return dir_.path(); }

private:
    QString previous_;
    QTemporaryDir dir_;
};

// The readout window with its dialogs on a real link service, an in-memory line and virtual
// time; the test plays the box byte by byte.
class ReadoutTest : public ::testing::Test {
protected:
    ReadoutTest();
    ~ReadoutTest() override;

    int kind() const;
    // Shows the window and lets the link start 100 ms later (the readiness request goes out).
    void showAndStart();
    // showAndStart the first time, then a new link start through a port change to COM1.
    void startOrRestartLink();
    // Answers every request of the configuration read with the box's values; returns the
    // commands the host sent, ending with the first position request (or where the read stopped).
    std::vector<std::uint8_t> answerConfiguration(const BoxConfig& box);
    // A position reply of service.AxisCount counters.
    void replyPositions(std::int32_t x, std::int32_t y, std::int32_t z);
    // showAndStart, answerConfiguration and a check that the cycle asks for positions.
    void startCycle(const BoxConfig& box);
    // The last byte the host wrote since the previous call (0 when none).
    std::uint8_t lastCommand();

    std::vector<std::uint8_t> calibrationReply() const;
    std::vector<std::uint8_t> resolutionReply() const;
    std::vector<std::uint8_t> lineCountsReply() const;
    std::vector<std::uint8_t> correctionsReply() const;

    WorkDir workDir;
    platform::ManualClock clock;
    std::shared_ptr<serial::MemoryDevice> device = std::make_shared<serial::MemoryDevice>();
    TRS232Service service{clock, device};
    testsupport::FakePrompts prompts;
    std::unique_ptr<TmainForm> form;
    std::unique_ptr<TbreakForm> breakForm;
    std::unique_ptr<TlogoForm> logoForm;
    std::unique_ptr<ThelpForm> helpForm;
    std::unique_ptr<TparamsForm> paramsForm;
    std::unique_ptr<TcoordForm> coordForm;
    BoxConfig box;
};

}  // namespace readouttest
