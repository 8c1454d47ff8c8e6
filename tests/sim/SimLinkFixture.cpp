#include "tests/sim/SimLinkFixture.h"

namespace simtest {

sim::SimConfig SimLink::stillBox(int kind) {
    sim::SimConfig c;
    sim::changeKind(c.settings, kind);
    c.motion[sim::AxisX].start = 1234;
    c.motion[sim::AxisY].start = -5;
    c.motion[sim::AxisZ].start = 70000;
    return c;
}

void SimLink::attach(const sim::SimConfig& config, bool paced, bool connectFirst) {
    wire = std::make_unique<simwire::SimWire>(clock, device, config, paced);
    record();
    service.Open();
    if (connectFirst) connect();
}

void SimLink::connect() {
    run([](TRS232Service& s) { s.CheckReady(); });
    ASSERT_TRUE(seen.acknowledge.has_value())
        << transcript() << " open " << device->isOpen() << " state " << int(service.State());
    service.AxisCount = static_cast<std::uint8_t>(sim::axisCount(wire->box().settings()));
    // The readiness request leaves the time-out running; a reopened link starts clean.
    reopen();
}

void SimLink::reopen() {
    service.Close();
    service.Purge();
    service.Open();
}

void SimLink::record() {
    service.OnAcknowledge = [this](bool accepted) { seen.acknowledge = accepted; };
    service.OnPositions = [this](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
        seen.positions = {x, y, z};
        seen.valid = valid;
    };
    service.OnCalibration = [this](bool valid, long double x, long double y, long double z) {
        seen.calibration = {x, y, z};
        seen.valid = valid;
    };
    service.OnResolution = [this](std::uint8_t x, std::uint8_t y, std::uint8_t z, bool valid) {
        seen.resolution = {x, y, z};
        seen.valid = valid;
    };
    service.OnDimensionTypes = [this](std::uint8_t types, bool valid) {
        seen.types = types;
        seen.valid = valid;
    };
    service.OnLineCounts = [this](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
        seen.lineCounts = {x, y, z};
        seen.valid = valid;
    };
    service.OnCorrections = [this](std::uint8_t n, std::uint32_t flags, const TCorrectionTable& x,
                                   const TCorrectionTable& y, const TCorrectionTable& z,
                                   bool valid) {
        seen.correctionCount = n;
        seen.correctionFlags = flags;
        seen.corrections = {x, y, z};
        seen.valid = valid;
    };
    service.OnTimeout = [this] { ++seen.timeouts; };
    service.OnLateReply = [this] { ++seen.lateReplies; };
    service.OnLinkError = [this](std::int32_t code) { seen.errors.push_back(code); };
}

}  // namespace simtest
