// The link on a pseudo-terminal against a scripted box that plays the position protocol byte by
// byte, with stray bytes on the line: queued answers to requests given up, a noise byte, a byte
// sent twice. Whatever came, no reading built from shifted bytes is delivered as valid, and the
// readings are the box's own again within two.

#include <atomic>
#include <mutex>
#include <thread>

#include "link/RSLib.h"
#include "link/WireFormats.h"
#include "platform/ManualClock.h"
#include "tests/serial/PtyFixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using serial::testing::PtyTest;

// Counts X, Y, Z the box reports: reading n carries n, -n and 1000 + n, so a reading built from
// shifted bytes cannot pass for one of the box's.
Bytes readingBytes(std::int32_t n) {
    Bytes b(12);
    wire::writeInt32(&b[0], n);
    wire::writeInt32(&b[4], -n);
    wire::writeInt32(&b[8], 1000 + n);
    return b;
}

// The far end: answers 0xE1 with a reading, one byte per expected acknowledgement, and drops a
// reply at any other byte (a command starts a new one). Before reading `faultAt` it does what
// the case asks.
class ScriptedBox {
public:
    enum class Fault { QueuedAnswers, NoiseUnasked, DoubledByte };

    // Each byte goes out paceUs after what it answers: a box slower than the line.
    ScriptedBox(int master, Fault fault, int faultAt, int paceUs)
        : master_(master), fault_(fault), faultAt_(faultAt), paceUs_(paceUs), thread_([this] {
              serve();
          }) {}
    ~ScriptedBox() {
        stop_ = true;
        thread_.join();
    }

private:
    void send(const Bytes& bytes) { (void)!::write(master_, bytes.data(), bytes.size()); }

    void serve() {
        Bytes reply;
        std::size_t sent = 0;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            std::uint8_t b;
            if (::read(master_, &b, 1) != 1) continue;
            const std::uint8_t expected = sent == 4 ? 0xE2 : sent == 8 ? 0xE3 : 0xE0;
            if (sent > 0 && sent < reply.size() && b == expected) {
                sendByte(reply, sent);
                continue;
            }
            if (b != 0xE1) continue;
            ++readings_;
            reply = readingBytes(readings_);
            sent = 0;
            if (readings_ == faultAt_ && fault_ == Fault::QueuedAnswers) {
                // Answers to earlier requests that were given up, all at once, ahead of this one.
                Bytes stale = readingBytes(77);
                stale.insert(stale.end(), {0x11, 0x22, 0x33, 0x44, 0x55});
                send(stale);
            }
            sendByte(reply, sent);
        }
    }

    void sendByte(const Bytes& reply, std::size_t& sent) {
        if (paceUs_ > 0) std::this_thread::sleep_for(std::chrono::microseconds(paceUs_));
        const std::uint8_t b = reply[sent++];
        if (readings_ == faultAt_ && sent == 6 && fault_ == Fault::DoubledByte) {
            send({b, b});
        } else if (readings_ == faultAt_ && sent == 3 && fault_ == Fault::NoiseUnasked) {
            send({b, 0x55});  // a motor drive's spike reads as a byte
        } else {
            send({b});
        }
    }

    int master_;
    Fault fault_;
    int faultAt_;
    int paceUs_;
    int readings_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class LinkOnPty : public PtyTest {};

// A stray byte taken in among a reply's own puts the link one byte ahead of the box, whose count
// of answers still agrees with the host's: its last byte then comes just after the reply seems
// complete. The port holds a reply's last byte back until the line has been quiet after it, so
// that byte is seen waiting, the reply is not valid, and the next request starts on a quiet line.
TEST_F(LinkOnPty, StrayBytesNeverMakeAValidReadingAndTheLinkIsBackInStepWithinTwo) {
    struct Case {
        const char* name;
        ScriptedBox::Fault fault;
    };
    const std::vector<Case> cases = {
        {"answers to requests given up, queued", ScriptedBox::Fault::QueuedAnswers},
        {"a noise byte unasked", ScriptedBox::Fault::NoiseUnasked},
        {"a reply byte sent twice", ScriptedBox::Fault::DoubledByte},
    };
    constexpr int faultAt = 3, readings = 8;
    // As fast as the box's thread answers, and slower than a line at 9600 baud would allow.
    for (const int paceUs : {0, 2000, 4000})
        for (const auto& c : cases) {
            SCOPED_TRACE(::testing::Message() << c.name << ", box pace " << paceUs << " us");
            platform::ManualClock clock;
            device = std::make_shared<serial::PosixDevice>(&handOver);
            TRS232Service service{clock, device};
            service.SetPortName("COM7");
            ScriptedBox box(pty.master(), c.fault, faultAt, paceUs);

            // Requests chain from each reply, as the readout's cycle does.
            std::vector<std::array<std::int32_t, 3>> valid;
            int delivered = 0;
            service.OnPositions = [&](std::int32_t x, std::int32_t y, std::int32_t z, bool ok) {
                ++delivered;
                if (ok) valid.push_back({x, y, z});
                if (delivered < readings) service.ReadPositions();
            };
            service.Open();
            service.ReadPositions();
            ASSERT_TRUE(pumpUntil([&] { return delivered == readings; }, 5000))
                << delivered << " readings";
            service.Close();

            // Every valid reading is one the box sent; with at most one lost to the fault, the last
            // ones are the box's latest.
            for (const auto& v : valid) {
                EXPECT_EQ(v[1], -v[0]) << v[0] << " " << v[1] << " " << v[2];
                EXPECT_EQ(v[2], 1000 + v[0]) << v[0] << " " << v[1] << " " << v[2];
            }
            EXPECT_GE(valid.size(), static_cast<std::size_t>(readings - 2));
            ASSERT_FALSE(valid.empty());
            EXPECT_EQ(valid.back()[0], readings);
            // Nothing left over from one case for the next.
            pumpFor(20);
            service.Close();
        }
}

}  // namespace
