#include "tests/support/simwire/SimWire.h"

#include <cstdio>

#include "sim/LinePacer.h"
#include "sim/Text.h"

namespace simwire {

struct SimWire::Core : std::enable_shared_from_this<SimWire::Core> {
    struct Injection {
        std::uint8_t command;
        int index;
        std::int32_t errors;
        int times;
    };

    Core(platform::Clock& c, std::shared_ptr<serial::MemoryDevice> d, const sim::SimConfig& config,
         bool paced)
        : clock(c),
          device(std::move(d)),
          box(config, c.nowUs()),
          pacer(paced ? sim::ByteUs9600 : 0) {}

    void attach() {
        std::weak_ptr<Core> weak = weak_from_this();
        device->OnHostWrite = [weak](std::uint8_t b) {
            if (auto core = weak.lock()) core->hostWrote(b);
        };
        box.OnNote = [weak](std::int64_t us, const std::string& text) {
            if (auto core = weak.lock()) core->notes.push_back(formatTime(us) + " box " + text);
        };
        box.OnDisconnect = [weak](std::int64_t forUs) {
            auto core = weak.lock();
            if (!core) return;
            // The cable is out: nothing on its way arrives, nothing sent gets through.
            core->goneUntilUs = core->clock.nowUs() + forUs;
            ++core->generation;
        };
    }

    static std::string formatTime(std::int64_t us) {
        char text[32];
        std::snprintf(text, sizeof text, "%9.3f ms", static_cast<double>(us) / 1000);
        return text;
    }

    void hostWrote(std::uint8_t b) {
        const std::int64_t now = clock.nowUs();
        traffic.push_back({now, true, b});
        if (now < goneUntilUs) return;
        const std::int64_t arrives = pacer.hostByteArrives(now);
        std::weak_ptr<Core> weak = weak_from_this();
        clock.callAfterUs(arrives - now, [weak, b, arrives, g = generation] {
            if (auto core = weak.lock(); core && core->generation == g) core->boxTakes(b, arrives);
        });
    }

    void boxTakes(std::uint8_t b, std::int64_t atUs) {
        answer.clear();
        box.hostByte(b, atUs, answer);
        std::weak_ptr<Core> weak = weak_from_this();
        const std::int64_t now = clock.nowUs();
        pacer.schedule(answer, atUs, [&](std::int64_t arrivesUs, const sim::Emission& e) {
            const std::int32_t errors = injectedErrors(e);
            clock.callAfterUs(arrivesUs - now, [weak, byte = e.byte, errors, g = generation] {
                auto core = weak.lock();
                if (!core || core->generation != g) return;
                core->traffic.push_back({core->clock.nowUs(), false, byte});
                core->device->receive(byte, errors);
            });
        });
    }

    std::int32_t injectedErrors(const sim::Emission& e) {
        for (Injection& i : injections) {
            if (i.times <= 0 || i.command != e.command || i.index != e.index) continue;
            --i.times;
            return i.errors;
        }
        return 0;
    }

    platform::Clock& clock;
    std::shared_ptr<serial::MemoryDevice> device;
    sim::Box box;
    sim::LinePacer pacer;
    std::vector<sim::Emission> answer;
    std::vector<Injection> injections;
    std::vector<Traffic> traffic;
    std::vector<std::string> notes;
    std::int64_t goneUntilUs = 0;
    // Counts disconnections; what was on its way before one is lost.
    int generation = 0;
};

SimWire::SimWire(platform::Clock& clock, std::shared_ptr<serial::MemoryDevice> device,
                 const sim::SimConfig& config, bool paced)
    : core_(std::make_shared<Core>(clock, std::move(device), config, paced)) {
    core_->attach();
}

// The device keeps its OnHostWrite: it holds the core weakly and does nothing once the core is
// gone, and a newer SimWire on the same device may have replaced it already.
SimWire::~SimWire() = default;

sim::Box& SimWire::box() {
    return core_->box;
}

void SimWire::injectLineError(std::uint8_t command, int index, std::int32_t errors, int times) {
    core_->injections.push_back({command, index, errors, times});
}

const std::vector<Traffic>& SimWire::traffic() const {
    return core_->traffic;
}

std::vector<std::uint8_t> SimWire::hostBytes() const {
    std::vector<std::uint8_t> bytes;
    for (const Traffic& t : core_->traffic)
        if (t.fromHost) bytes.push_back(t.byte);
    return bytes;
}

std::vector<std::uint8_t> SimWire::boxBytes() const {
    std::vector<std::uint8_t> bytes;
    for (const Traffic& t : core_->traffic)
        if (!t.fromHost) bytes.push_back(t.byte);
    return bytes;
}

const std::vector<std::string>& SimWire::notes() const {
    return core_->notes;
}

std::string SimWire::transcript() const {
    std::string s;
    for (const Traffic& t : core_->traffic)
        s += Core::formatTime(t.timeUs) + (t.fromHost ? " host>box " : " box>host ") +
             sim::text::hexByte(t.byte) + "\n";
    for (const std::string& note : core_->notes) s += note + "\n";
    return s;
}

void SimWire::clearRecords() {
    core_->traffic.clear();
    core_->notes.clear();
}

}  // namespace simwire
