// The link service's receive path on the in-memory line in virtual time. The input is a program:
// bursts of arbitrary bytes (some with line errors), requests of every kind, handlers that chain
// requests, failing reads, writes and opens, Close, Open, Purge and the passing of time, in any
// order. Whatever came before, once the hostile box has had its say, the link is open again and
// a well-formed box answers, the link is back in step within two requests without a Close: stray
// bytes behind its replies cost at most one reading, never a reading built from shifted bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/Check.h"
#include "link/RSLib.h"
#include "platform/ManualClock.h"
#include "serial/MemoryDevice.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int32_t LineErrors[] = {0,
                                       serial::ErrorBits::Parity,
                                       serial::ErrorBits::Frame,
                                       serial::ErrorBits::Parity | serial::ErrorBits::Frame,
                                       serial::ErrorBits::Overrun,
                                       serial::ErrorBits::Break};

class Session {
public:
    explicit Session(FuzzedDataProvider& data) : data_(data) {}

    void run() {
        // Stray bytes that arrive behind the well-behaved box's readiness byte and its reply.
        strayAfterReady_ = data_.ConsumeBytes<std::uint8_t>(data_.ConsumeIntegralInRange(0, 3));
        strayAfterReply_ = data_.ConsumeBytes<std::uint8_t>(data_.ConsumeIntegralInRange(0, 3));
        bindChainingHandlers();
        device_->OnHostWrite = [this](std::uint8_t) { maybeAnswer(); };
        while (data_.remaining_bytes() > 0) step();
        checkCleanExchange();
    }

private:
    // ---- the hostile phase ----

    void step() {
        switch (data_.ConsumeIntegralInRange<int>(0, 12)) {
            case 0:
                receiveBurst();
                break;
            case 1: {
                // Long runs reach the largest replies (a correction block of 255 rows) cheaply.
                const auto length = data_.ConsumeIntegralInRange<std::size_t>(1, 7000);
                device_->receive(Bytes(length, data_.ConsumeIntegral<std::uint8_t>()));
                break;
            }
            case 2:
            case 3:
                request(data_.ConsumeIntegral<std::uint8_t>());
                break;
            case 4:
                service_.AxisCount = data_.ConsumeIntegral<std::uint8_t>();
                break;
            case 5:
                device_->failReads(data_.ConsumeBool());
                device_->failWrites(data_.ConsumeBool());
                break;
            case 6:
                service_.Close();
                break;
            case 7:
                try {
                    service_.Open();
                } catch (const serial::EVaCommError&) {
                }
                break;
            case 8:
                clock_.advanceUs(data_.ConsumeIntegralInRange<std::int64_t>(0, 7'000'000));
                break;
            case 9:
                service_.Purge();
                break;
            case 10:
                device_->reportTxEmpty();
                break;
            case 11:
                device_->dropNext(data_.ConsumeIntegralInRange<int>(0, 16));
                device_->failOpen(data_.ConsumeBool() ? 5 /* EIO */ : 0);
                break;
            default:
                if (data_.ConsumeBool())
                    service_.OnRawByte = [this](std::uint8_t) { maybeRequest(); };
                else
                    service_.OnRawByte = nullptr;
                break;
        }
    }

    void receiveBurst() {
        const Bytes bytes = data_.ConsumeBytes<std::uint8_t>(data_.ConsumeIntegralInRange(1, 64));
        if (data_.ConsumeBool()) {
            device_->receive(bytes);
            return;
        }
        for (std::uint8_t b : bytes) {
            const auto error =
                LineErrors[data_.ConsumeIntegralInRange<std::size_t>(0, std::size(LineErrors) - 1)];
            device_->receive(b, error);
        }
    }

    // The box answers some of the host's bytes with a few bytes of the input, a while later.
    void maybeAnswer() {
        if (!data_.ConsumeBool()) return;
        Bytes answer = data_.ConsumeBytes<std::uint8_t>(data_.ConsumeIntegralInRange(1, 4));
        const auto delayUs = data_.ConsumeIntegralInRange<std::int64_t>(0, 6'000'000);
        clock_.callAfterUs(delayUs,
                           [this, answer = std::move(answer)] { device_->receive(answer); });
    }

    void maybeRequest() {
        if (data_.ConsumeBool()) request(data_.ConsumeIntegral<std::uint8_t>());
    }

    // Every request of the service, with arguments from the input.
    void request(std::uint8_t which) {
        const auto byte = [this] { return data_.ConsumeIntegral<std::uint8_t>(); };
        const auto count = [this] { return data_.ConsumeIntegral<std::int32_t>(); };
        const auto real = [this] {
            return static_cast<long double>(data_.ConsumeFloatingPoint<double>());
        };
        try {
            switch (which % 15) {
                case 0:
                    service_.CheckReady();
                    break;
                case 1:
                    service_.ReadPositions();
                    break;
                case 2:
                    service_.ReadCalibration();
                    break;
                case 3:
                    service_.ReadResolution();
                    break;
                case 4:
                    service_.ReadLineCounts();
                    break;
                case 5:
                    service_.ReadCorrections();
                    break;
                case 6:
                    service_.ReadDimensionTypes();
                    break;
                case 7: {
                    table_[1] = {real(), real()};
                    table_[255] = {real(), real()};
                    const std::uint8_t rows = byte();
                    service_.WriteCorrections(rows, static_cast<std::uint32_t>(count()), table_,
                                              table_, table_);
                    break;
                }
                case 8:
                    service_.WriteCalibration(real(), real(), real());
                    break;
                case 9:
                    service_.WriteResolution(byte(), byte(), byte());
                    break;
                case 10:
                    service_.WriteResolutionAndTypes(byte(), byte(), byte(), byte());
                    break;
                case 11:
                    service_.WriteLineCounts(count(), count(), count());
                    break;
                case 12:
                    service_.WriteDimensionTypes(byte());
                    break;
                case 13:
                    service_.WriteReference(byte());
                    break;
                default:
                    service_.EndConfiguration();
                    break;
            }
        } catch (const EMultipleRequest&) {
        }
    }

    // Handlers that go on as the windows do: a request from inside the event, or none.
    void bindChainingHandlers() {
        service_.OnPositions = [this](std::int32_t, std::int32_t, std::int32_t, bool) {
            maybeRequest();
        };
        service_.OnCalibration = [this](bool, long double, long double, long double) {
            maybeRequest();
        };
        service_.OnResolution = [this](std::uint8_t, std::uint8_t, std::uint8_t, bool) {
            maybeRequest();
        };
        service_.OnDimensionTypes = [this](std::uint8_t, bool) { maybeRequest(); };
        service_.OnLineCounts = [this](std::int32_t, std::int32_t, std::int32_t, bool) {
            maybeRequest();
        };
        service_.OnCorrections = [this](std::uint8_t, std::uint32_t, const TCorrectionTable&,
                                        const TCorrectionTable&, const TCorrectionTable&,
                                        bool) { maybeRequest(); };
        service_.OnAcknowledge = [this](bool) { maybeRequest(); };
        service_.OnTimeout = [this] { maybeRequest(); };
        service_.OnLateReply = [this] { maybeRequest(); };
        service_.OnLinkError = [this](std::int32_t) { maybeRequest(); };
    }

    // ---- the clean exchange ----

    void checkCleanExchange() {
        device_->failReads(false);
        device_->failWrites(false);
        device_->failOpen(0);
        device_->dropNext(0);
        // What the hostile box still had on its way arrives; nothing is asked meanwhile.
        device_->OnHostWrite = nullptr;
        recordEvents();
        service_.OnRawByte = nullptr;
        clock_.advanceUs(7'000'000);
        // Open, not Close: it ends a stalled exchange and opens a port the hostile phase closed;
        // on an open port it discards nothing.
        service_.Open();
        device_->takeWritten();
        events_.clear();

        // A well-behaved box: the readiness request gets the kind, any other host byte the next
        // answer, 1 ms later. Stray bytes come along with the first readiness byte, which is then
        // asked for again, and with the last byte of the first position reply.
        bool firstReadiness = true;
        device_->OnHostWrite = [this, &firstReadiness](std::uint8_t written) {
            Bytes answer;
            if (written == 0xE9) {
                answer = {0x20};  // kind 3
                if (firstReadiness)
                    answer.insert(answer.end(), strayAfterReady_.begin(), strayAfterReady_.end());
                firstReadiness = false;
            } else {
                if (script_.empty()) return;
                answer = std::move(script_.front());
                script_.pop_front();
            }
            clock_.callAfterUs(1000,
                               [this, answer = std::move(answer)] { device_->receive(answer); });
        };
        const Bytes reply = {1, 0, 0, 0, 2, 0, 0, 0, 0xFD, 0xFF, 0xFF, 0xFF};
        script_.clear();
        for (std::uint8_t b : reply) script_.push_back({b});
        script_.back().insert(script_.back().end(), strayAfterReply_.begin(),
                              strayAfterReply_.end());
        // The first reading ends with bytes waiting and is not valid: the box is asked again.
        if (!strayAfterReply_.empty())
            for (std::uint8_t b : reply) script_.push_back({b});
        script_.push_back({0xE0});
        script_.push_back({0xE0});
        service_.AxisCount = 3;
        int readings = 0;
        service_.OnAcknowledge = [this](bool accepted) {
            events_.push_back("ack " + std::to_string(accepted));
            if (events_.size() == 1) service_.ReadPositions();
        };
        service_.OnPositions = [this, &readings](std::int32_t x, std::int32_t y, std::int32_t z,
                                                 bool valid) {
            ++readings;
            FUZZ_CHECK(!valid || (x == 1 && y == 2 && z == -3),
                       "reading %d delivered as valid: %d %d %d", readings, x, y, z);
            if (valid) {
                service_.WriteDimensionTypes(5);
            } else if (readings < 2) {
                service_.ReadPositions();
            }
        };
        service_.CheckReady();
        clock_.advanceUs(100'000);

        std::string seen;
        for (const auto& e : events_) seen += e + "; ";
        FUZZ_CHECK(events_.size() == 2 && events_.front() == "ack 1" && events_.back() == "ack 1",
                   "events: %s (%d readings)", seen.c_str(), readings);
        FUZZ_CHECK(readings == (strayAfterReply_.empty() ? 1 : 2), "%d readings", readings);
        FUZZ_CHECK(service_.DeviceKind() == 3, "kind %d", service_.DeviceKind());
        const Bytes reading = {0xE1, 0xE0, 0xE0, 0xE0, 0xE2, 0xE0,
                               0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0};
        Bytes wire = {0xE9};
        if (!strayAfterReady_.empty()) wire.push_back(0xE9);
        for (int i = 0; i < readings; ++i) wire.insert(wire.end(), reading.begin(), reading.end());
        wire.insert(wire.end(), {0xEE, 0x05});
        FUZZ_CHECK(device_->takeWritten() == wire, "host bytes differ");
        FUZZ_CHECK(service_.State() == ReplyState::rsIdle, "state %d at the end",
                   static_cast<int>(service_.State()));
        service_.Close();
    }

    void recordEvents() {
        const auto note = [this](const char* what) { events_.emplace_back(what); };
        service_.OnPositions = [note](std::int32_t, std::int32_t, std::int32_t, bool) {
            note("positions");
        };
        service_.OnCalibration = [note](bool, long double, long double, long double) {
            note("calibration");
        };
        service_.OnResolution = [note](std::uint8_t, std::uint8_t, std::uint8_t, bool) {
            note("resolution");
        };
        service_.OnDimensionTypes = [note](std::uint8_t, bool) { note("types"); };
        service_.OnLineCounts = [note](std::int32_t, std::int32_t, std::int32_t, bool) {
            note("lines");
        };
        service_.OnCorrections = [note](std::uint8_t, std::uint32_t, const TCorrectionTable&,
                                        const TCorrectionTable&, const TCorrectionTable&,
                                        bool) { note("corrections"); };
        service_.OnAcknowledge = [note](bool) { note("ack"); };
        service_.OnTimeout = [note] { note("timeout"); };
        service_.OnLateReply = [note] { note("late"); };
        service_.OnLinkError = [note](std::int32_t) { note("error"); };
    }

    FuzzedDataProvider& data_;
    platform::ManualClock clock_;
    std::shared_ptr<serial::MemoryDevice> device_ = std::make_shared<serial::MemoryDevice>();
    TRS232Service service_{clock_, device_};
    TCorrectionTable table_{};
    std::deque<Bytes> script_;
    std::vector<std::string> events_;
    Bytes strayAfterReady_, strayAfterReply_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider provider(data, size);
    Session(provider).run();
    return 0;
}
