#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "link/RSLib.h"
#include "platform/ManualClock.h"
#include "serial/MemoryDevice.h"
#include "tests/support/prompts/FakePrompts.h"

namespace configtest {

// A dialog's surroundings: a service on an in-memory line in virtual time, with the device kind
// learnt from a readiness byte as the program learns it, and recording prompts.
class FormFixture : public ::testing::Test {
protected:
    platform::ManualClock clock;
    std::shared_ptr<serial::MemoryDevice> device = std::make_shared<serial::MemoryDevice>();
    TRS232Service service{clock, device};
    testsupport::FakePrompts prompts;

    // Kinds 0 to 4, each from a readiness byte that names it.
    void learnKind(int kind) {
        static const std::uint8_t readiness[] = {0x00, 0xE0, 0x10, 0x20, 0x30};
        device->OnHostWrite = [this, kind](std::uint8_t command) {
            if (command != 0xE9) return;
            clock.callAfterUs(1000, [this, kind] { device->receive(readiness[kind]); });
        };
        service.Open();
        service.CheckReady();
        clock.advance(10);
        service.Close();
        device->OnHostWrite = nullptr;
        ASSERT_EQ(service.DeviceKind(), kind);
    }
};

}  // namespace configtest
