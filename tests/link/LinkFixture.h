#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/RSLib.h"
#include "platform/ManualClock.h"
#include "serial/MemoryDevice.h"

namespace linktest {

using Bytes = std::vector<std::uint8_t>;
using Request = std::function<void(TRS232Service&)>;

// Every request of the service, what it sends and what it awaits.
struct RequestCase {
    const char* name;
    Request request;
    std::uint8_t command;
    ReplyState state;
    bool timerStarted;
    bool refusedWhilePending;
};
const std::vector<RequestCase>& requestCases();

// A service on an in-memory line in virtual time, with a scripted box at the far end and every
// event written down as a line of text.
class Link : public ::testing::Test {
protected:
    // How long the scripted box takes to answer, in virtual microseconds.
    static constexpr std::int64_t AnswerUs = 1000;

    platform::ManualClock clock;
    std::shared_ptr<serial::MemoryDevice> device = std::make_shared<serial::MemoryDevice>();
    TRS232Service service{clock, device};
    std::vector<std::string> events;
    // Each byte the host writes takes the next answer off this queue (an empty answer: silence).
    std::deque<Bytes> script;

    void SetUp() override {
        useScript();
        recordEvents();
    }

    // The far end answers from the script (again, after a test put its own peer there).
    void useScript() {
        device->OnHostWrite = [this](std::uint8_t) {
            if (script.empty()) return;
            Bytes answer = std::move(script.front());
            script.pop_front();
            if (!answer.empty()) sendLater(std::move(answer));
        };
    }

    void sendLater(Bytes bytes, std::int64_t delayUs = AnswerUs) {
        clock.callAfterUs(delayUs, [this, bytes = std::move(bytes)] { device->receive(bytes); });
    }

    // Bytes in one burst, the one at index marked received with a line error (ErrorBits).
    void sendMarked(Bytes bytes, std::size_t marked, std::int32_t errors,
                    std::int64_t delayUs = AnswerUs) {
        clock.callAfterUs(delayUs, [this, bytes = std::move(bytes), marked, errors] {
            for (std::size_t i = 0; i < bytes.size(); ++i)
                device->receive(bytes[i], i == marked ? errors : 0);
        });
    }

    // The reply handed over byte by byte, each in answer to the host's previous byte.
    void answerBytewise(const Bytes& reply) {
        for (std::uint8_t b : reply) script.push_back({b});
    }

    void note(const char* format, auto... args) {
        char text[160];
        std::snprintf(text, sizeof text, format, args...);
        events.emplace_back(text);
    }

    void recordEvents() {
        service.OnPositions = [this](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
            note("positions %d %d %d %d", x, y, z, valid);
        };
        service.OnCalibration = [this](bool valid, long double x, long double y, long double z) {
            note("calibration %d %.9Lg %.9Lg %.9Lg", valid, x, y, z);
        };
        service.OnResolution = [this](std::uint8_t x, std::uint8_t y, std::uint8_t z, bool valid) {
            note("resolution %d %d %d %d", x, y, z, valid);
        };
        service.OnDimensionTypes = [this](std::uint8_t types, bool valid) {
            note("types %d %d", types, valid);
        };
        service.OnLineCounts = [this](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
            note("lines %d %d %d %d", x, y, z, valid);
        };
        service.OnCorrections = [this](std::uint8_t n, std::uint32_t flags,
                                       const TCorrectionTable& x, const TCorrectionTable& y,
                                       const TCorrectionTable& z, bool valid) {
            note("corrections %d %x %.0Lf %.0Lf %.0Lf %.0Lf %d", n, flags, x[1].Corrected,
                 y[1].Position, z[n > 0 ? n : 1].Corrected, x[n + 1].Position, valid);
        };
        service.OnTimeout = [this] { note("timeout at %lld", ms()); };
        service.OnLateReply = [this] { note("late"); };
        service.OnLinkError = [this](std::int32_t code) { note("error %d", code); };
        service.OnAcknowledge = [this](bool accepted) { note("ack %d", accepted); };
    }

    long long ms() const { return static_cast<long long>(clock.nowUs() / 1000); }

    // Opens the link and learns the device kind from the readiness byte that names it.
    void openAs(int kind) {
        static const std::uint8_t readiness[] = {0x00, 0xE0, 0x10, 0x20, 0x30};
        service.Open();
        script.push_back({readiness[kind]});
        service.CheckReady();
        clock.advance(10);
        ASSERT_EQ(service.DeviceKind(), kind);
        // Reopened so that the readiness request's time-out does not run into the test.
        service.Close();
        service.Open();
        device->takeWritten();
        events.clear();
    }

    Bytes written() { return device->takeWritten(); }
};

}  // namespace linktest
