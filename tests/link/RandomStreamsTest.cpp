// Random bytes, line errors, failing transfers, requests and time in random order: the service
// must neither crash nor write outside its buffers (the sanitizer trees check that), and must
// always come back to a working exchange after Close and Open.

#include <random>

#include "tests/link/LinkFixture.h"

namespace linktest {
namespace {

class Dice {
public:
    explicit Dice(unsigned seed) : rng_(seed) {}
    int operator()(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return (*this)(1, 100) <= percent; }
    std::uint8_t byte() {
        // Mostly what the box really sends (acceptances, repeats), otherwise anything.
        const int k = (*this)(0, 9);
        return k < 4 ? 0xE0 : k < 6 ? 0xEA : static_cast<std::uint8_t>((*this)(0, 255));
    }

private:
    std::mt19937 rng_;
};

TEST_F(Link, RandomStreamsNeverBreakTheService) {
    const std::int32_t lineErrors[] = {serial::ErrorBits::Parity, serial::ErrorBits::Frame, 12,
                                       serial::ErrorBits::Overrun};
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        Dice dice(seed);
        useScript();
        openAs(dice(0, 4));
        // The box answers some of the host's bytes with a few bytes of its own.
        device->OnHostWrite = [&](std::uint8_t) {
            if (!dice.chance(60)) return;
            Bytes answer(static_cast<std::size_t>(dice(1, 3)));
            for (auto& b : answer) b = dice.byte();
            sendLater(answer, dice(0, 3000));
        };
        // Handlers that chain the next request, as the windows do.
        service.OnPositions = [&](std::int32_t, std::int32_t, std::int32_t, bool) {
            if (dice.chance(50)) service.ReadPositions();
        };
        service.OnAcknowledge = [&](bool) {
            if (dice.chance(50)) service.ReadCalibration();
        };
        for (int step = 0; step < 300; ++step) {
            const int action = dice(0, 9);
            if (action <= 3) {
                const int length = dice(1, dice.chance(10) ? 7000 : 40);
                for (int i = 0; i < length; ++i)
                    device->receive(dice.byte(), dice.chance(5) ? lineErrors[dice(0, 3)] : 0);
            } else if (action == 4) {
                service.AxisCount = static_cast<std::uint8_t>(dice(0, 255));
            } else if (action == 5) {
                const auto& cases = requestCases();
                try {
                    cases[static_cast<std::size_t>(dice(0, int(cases.size()) - 1))].request(
                        service);
                } catch (const EMultipleRequest&) {
                }
            } else if (action == 6) {
                TCorrectionTable t;
                for (auto& row : t.rows) row = {dice(-100000, 100000) * 1e5L, 0.5L};
                service.WriteCorrections(static_cast<std::uint8_t>(dice(0, 255)),
                                         static_cast<std::uint32_t>(dice(0, 255)), t, t, t);
            } else if (action == 7) {
                device->failReads(dice.chance(20));
                device->failWrites(dice.chance(20));
            } else if (action == 8) {
                if (dice.chance(50))
                    service.Close();
                else
                    service.Open();
            } else {
                clock.advance(dice(0, 6000));
            }
            events.clear();
        }
        device->failReads(false);
        device->failWrites(false);
        service.Close();
        service.Open();
        EXPECT_EQ(service.State(), ReplyState::rsIdle);

        // A clean exchange works again.
        useScript();
        script.clear();
        recordEvents();
        clock.advance(10000);  // what the random box still had on its way
        service.Purge();
        written();
        events.clear();
        service.AxisCount = 3;
        answerBytewise({1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0});
        service.ReadPositions();
        clock.advance(100);
        EXPECT_EQ(events, std::vector<std::string>{"positions 1 2 3 1"});
        EXPECT_EQ(written(),
                  (Bytes{0xE1, 0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0}));
        service.Close();
    }
}

}  // namespace
}  // namespace linktest
