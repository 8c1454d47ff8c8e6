// The port on a pseudo-terminal watched from Qt's own loop, as the program runs it: no event
// thread; events in the event thread's order, on the main thread, never two at once, and none
// from a watching that was stopped.
#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "PtyFixture.h"
#include "platform/HandOverQt.h"

using namespace serial;
using serial::testing::PtyTest;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Log = std::vector<std::string>;

int entries(const char* directory) {
    int n = 0;
    if (DIR* d = ::opendir(directory)) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.') ++n;
        ::closedir(d);
    }
    return n;
}
int threadCount() {
    return entries("/proc/self/task");
}
int descriptorCount() {
    return entries("/proc/self/fd");
}

class LoopPtyTest : public PtyTest {
protected:
    void SetUp() override {
        PtyTest::SetUp();
        app_ = std::make_unique<QCoreApplication>(argc_, argv_);
        qtHandOver_ = std::make_unique<platform::HandOverQt>();
    }
    void TearDown() override {
        qtHandOver_.reset();
        app_.reset();
        PtyTest::TearDown();
    }

    std::unique_ptr<TVaComm> makeLoopPort() { return makePort(qtHandOver_.get()); }

    // A port on a device of the test's own, set up as the program's.
    static void directOnCom7(TVaComm& comm) {
        comm.SetDeviceName("COM7");
        comm.SetBaudrate(TVaBaudrate::br9600);
        comm.SetDirectWrite(true);
    }

    // Qt's loop serves the main thread here.
    void serve(std::chrono::milliseconds ms) override { spinFor(static_cast<int>(ms.count())); }
    static void spinFor(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Marks written by the far end pass the terminal as they are: FF 00 x arrives as a byte
    // received with a line error.
    void passMarksThrough() {
        termios t{};
        ASSERT_EQ(::tcgetattr(pty.master(), &t), 0);
        t.c_iflag &= ~tcflag_t(PARMRK);
        ASSERT_EQ(::tcsetattr(pty.master(), TCSANOW, &t), 0);
    }

    static void readAndDrop(TVaComm& comm, std::int32_t n) {
        std::uint8_t b;
        for (std::int32_t i = 0; i < n; ++i) comm.ReadChar(b);
    }

    // Logs every event of the port; bytes are read as they are announced.
    void logEvents(TVaComm& comm, Log& log) {
        comm.OnError = [&log](std::int32_t e) { log.push_back("error " + std::to_string(e)); };
        comm.OnRxChar = [&comm, &log](std::int32_t n) {
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint8_t b;
                if (comm.ReadChar(b)) log.push_back("byte " + std::to_string(b));
            }
        };
        comm.OnTxEmpty = [&log] { log.push_back("empty"); };
    }

private:
    int argc_ = 1;
    char name_[16] = "serial_qt_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;

protected:
    std::unique_ptr<platform::HandOverQt> qtHandOver_;
};

TEST_F(LoopPtyTest, EventsComeInTheirOrderOnTheMainThreadFromOneThreadAnOpening) {
    auto comm = makeLoopPort();
    Log log;
    logEvents(*comm, log);
    std::vector<std::thread::id> threads;
    auto rx = comm->OnRxChar;
    comm->OnRxChar = [&](std::int32_t n) {
        threads.push_back(std::this_thread::get_id());
        rx(n);
        if (log.back() == "byte 32") comm->WriteChar(0xE0);  // an answer, inside the event
    };
    const int before = threadCount();
    comm->Open();
    EXPECT_EQ(threadCount(), before + 1);
    ASSERT_NO_FATAL_FAILURE(passMarksThrough());

    pty.send({0x10, 0xFF, 0x00, 0x41, 0x20, 0xFF, 0x00, 0x00, 0xFF, 0xFF});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 8; })) << log.size();
    spinFor(20);
    // The answer's transmit empty comes after the bytes that were read before it went out.
    EXPECT_EQ(log, (Log{"byte 16", "error 4", "byte 65", "byte 32", "error 4", "byte 0", "byte 255",
                        "empty"}));
    for (auto id : threads) EXPECT_EQ(id, std::this_thread::get_id());
    EXPECT_EQ(pty.receive(1), (Bytes{0xE0}));

    // A write outside any event is followed by its transmit empty too.
    log.clear();
    comm->WriteChar(0xE1);
    ASSERT_TRUE(pumpUntil([&] { return !log.empty(); }));
    EXPECT_EQ(log, (Log{"empty"}));
    comm->Close();
    EXPECT_EQ(threadCount(), before);
}

// A driver slow to drain: transmit empty waits for its queue, and a byte that comes back
// meanwhile is delivered before it.
TEST_F(LoopPtyTest, TransmitEmptyWaitsForTheDriverQueue) {
    auto slow = std::make_shared<serial::testing::SlowDrainDevice>(qtHandOver_.get());
    TVaComm comm(slow);
    directOnCom7(comm);
    Log log;
    logEvents(comm, log);
    comm.OnTxEmpty = [&] {
        log.push_back("empty, " + std::to_string(slow->pending.load()) + " queued");
    };
    comm.Open();
    slow->pending = 4;
    comm.WriteChar(0xE1);
    pty.send({0x33});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 2; }));
    spinFor(20);
    EXPECT_EQ(log, (Log{"byte 51", "empty, 0 queued"}));
}

// The cycle's byte-by-byte exchange has nobody waiting for transmit empty: its writes do not
// have the driver asked after each byte. A handler bound before a write gets its event.
TEST_F(LoopPtyTest, OnlyAWriteSomeoneWaitsForIsWatchedLeaving) {
    auto slow = std::make_shared<serial::testing::SlowDrainDevice>(qtHandOver_.get());
    TVaComm comm(slow);
    directOnCom7(comm);
    Log log;
    logEvents(comm, log);
    comm.OnTxEmpty = nullptr;
    // Each byte from the box is acknowledged from inside its event, as the link does.
    auto rx = comm.OnRxChar;
    comm.OnRxChar = [&](std::int32_t n) {
        rx(n);
        comm.WriteChar(0xE0);
    };
    comm.Open();
    for (std::uint8_t b = 1; b <= 5; ++b) {
        pty.send({b});
        ASSERT_TRUE(pumpUntil([&] { return log.size() >= b; }));
    }
    spinFor(20);
    EXPECT_EQ(pty.receive(5), (Bytes{0xE0, 0xE0, 0xE0, 0xE0, 0xE0}));
    EXPECT_EQ(slow->looks.load(), 0);

    comm.OnTxEmpty = [&log] { log.push_back("empty"); };
    comm.WriteChar(0xF1);
    ASSERT_TRUE(pumpUntil([&] { return log.back() == "empty"; }));
    EXPECT_GE(slow->looks.load(), 1);
}

// A box on the far end that answers each acknowledgement with its next byte, as in a position
// reply, delayUs after the line would allow, and once for pauseMs before the byte at pauseBefore.
// It keeps the answers it got.
class ByteByByteBox {
public:
    ByteByByteBox(int fd, int bytes, int delayUs, int pauseBefore, int pauseMs)
        : thread_([=, this] {
              for (int i = 0; i < bytes; ++i) {
                  std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
                  if (i == pauseBefore)
                      std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
                  const std::uint8_t b = static_cast<std::uint8_t>(0x40 + i);
                  if (::write(fd, &b, 1) != 1) return;
                  if (i + 1 == bytes) break;
                  pollfd p{fd, POLLIN, 0};
                  if (::poll(&p, 1, 2000) != 1) return;
                  std::uint8_t ack;
                  if (::read(fd, &ack, 1) != 1) return;
                  answers_.push_back(ack);
              }
              // An answer too many would arrive now.
              pollfd p{fd, POLLIN, 0};
              if (::poll(&p, 1, 30) == 1) {
                  std::uint8_t extra;
                  if (::read(fd, &extra, 1) == 1) answers_.push_back(extra);
              }
          }) {}
    Bytes answers() {
        thread_.join();
        return answers_;
    }

private:
    Bytes answers_;
    std::thread thread_;
};

// An armed reply is answered by the port as its bytes come: the program hears of it once, when it
// is complete, and its loop is never held waiting for the box, whose pace is its own. After a
// pause longer than the port waits, the program answers the rest itself, each byte once.
TEST_F(LoopPtyTest, AnArmedReplyIsAnsweredAsItComesAndTheLoopIsNeverHeld) {
    struct Case {
        const char* box;
        int delayUs;
        int pauseBefore;  // the byte the box pauses 40 ms before (12: none)
        int mostDeliveries;
    };
    const Case cases[] = {{"as fast as it can", 0, 12, 2},
                          {"two characters late with each byte", 2300, 12, 2},
                          {"pausing in the middle", 0, 6, 8}};
    ReplyScript script;
    script.length = 12;
    script.answered = true;
    for (int k = 1; k < 12; ++k)
        script.answers[static_cast<std::size_t>(k - 1)] = static_cast<std::uint8_t>(0xD0 + k);
    const Bytes expectedAnswers(script.answers.begin(), script.answers.begin() + 11);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box);
        auto comm = makeLoopPort();
        comm->SetBaudrate(TVaBaudrate::br9600);
        // A 10 ms timer of the program's, and how late it comes.
        auto last = std::chrono::steady_clock::now();
        std::chrono::steady_clock::duration latest{};
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = std::chrono::steady_clock::now();
            latest = std::max(latest, now - last - std::chrono::milliseconds(10));
            last = now;
        });
        Bytes got;
        int deliveries = 0;
        bool armed = false;
        comm->OnRxChar = [&](std::int32_t n) {
            if (!armed) return;  // left to the arming
            ++deliveries;
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint8_t b, answer;
                if (!comm->ReadChar(b)) continue;
                got.push_back(b);
                if (got.size() < 12 && !comm->TakeAnswered(answer))
                    comm->WriteChar(script.answers[got.size() - 1]);
            }
        };
        comm->Open();
        pty.send({0x77});  // a byte before the request, which arming throws away
        spinFor(20);
        comm->ArmReplyScript(script);
        armed = true;
        tick.start();
        last = std::chrono::steady_clock::now();
        ByteByByteBox box(pty.master(), 12, c.delayUs, c.pauseBefore, 40);
        ASSERT_TRUE(pumpUntil([&] { return got.size() == 12; }));
        EXPECT_EQ(box.answers(), expectedAnswers);
        EXPECT_EQ(got.front(), 0x40);
        EXPECT_EQ(got.back(), 0x4B);
        EXPECT_LE(deliveries, c.mostDeliveries);
        if (c.pauseBefore < 12) {
            EXPECT_GE(deliveries, 2);
        }
        // Held for 44 to 63 ms at a time when the loop itself waited for the box's bytes.
        EXPECT_LT(latest, std::chrono::milliseconds(20));
        comm->Close();
    }
}

// A handler that closes and opens the port again, from each kind of event: nothing of the first
// opening arrives after it, neither the byte held back behind its error nor the bytes read with it.
TEST_F(LoopPtyTest, NothingOfAStoppedWatchingArrivesAfterAReopen) {
    auto comm = makeLoopPort();
    Log log;
    logEvents(*comm, log);
    bool reopenOnError = true;
    comm->OnError = [&](std::int32_t e) {
        log.push_back("error " + std::to_string(e));
        if (!reopenOnError) return;
        comm->Close();
        comm->Open();
        log.push_back("reopened");
    };
    comm->Open();
    ASSERT_NO_FATAL_FAILURE(passMarksThrough());
    pty.send({0xFF, 0x00, 0x41, 0x42, 0x43});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 2; }));
    spinFor(50);
    EXPECT_EQ(log, (Log{"error 4", "reopened"}));

    pty.send({0x07});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 3; }));
    EXPECT_EQ(log.back(), "byte 7");

    // From the transmit empty, as the configuration dialogs close the port after their last byte.
    reopenOnError = false;
    log.clear();
    comm->OnTxEmpty = [&] {
        log.push_back("empty");
        comm->Close();
        comm->Open();
    };
    comm->WriteChar(0xF1);
    ASSERT_TRUE(pumpUntil([&] { return !log.empty(); }));
    spinFor(50);
    EXPECT_EQ(log, (Log{"empty"}));
    EXPECT_TRUE(comm->Active());
}

// A handler that runs a loop of its own (a message box): the port's events wait until it has
// returned, and then all of them come.
TEST_F(LoopPtyTest, NoEventWhileAHandlerRunsANestedLoop) {
    auto comm = makeLoopPort();
    int running = 0, most = 0;
    Bytes got;
    comm->OnRxChar = [&](std::int32_t n) {
        most = std::max(most, ++running);
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint8_t b;
            if (comm->ReadChar(b)) got.push_back(b);
        }
        if (got.size() == 1) {
            pty.send({2, 3});
            spinFor(100);
        }
        --running;
    };
    comm->Open();
    pty.send({1});
    ASSERT_TRUE(pumpUntil([&] { return got.size() >= 3; }));
    EXPECT_EQ(got, (Bytes{1, 2, 3}));
    EXPECT_EQ(most, 1);
}

TEST_F(LoopPtyTest, DeviceThatVanishesStopsTheWatchingWithoutSpinning) {
    auto comm = makeLoopPort();
    checkUnplugging(*comm);
}

// A message box opened from an rx handler, and the port closed from a timer while the box is
// shown (a watchdog, a menu command): the box's loop must not free what the outer delivery
// still stands on.
TEST_F(LoopPtyTest, ClosedFromATimerInsideAHandlersNestedLoop) {
    auto comm = makeLoopPort();
    int calls = 0;
    comm->OnRxChar = [&](std::int32_t n) {
        ++calls;
        readAndDrop(*comm, n);
        QEventLoop box;
        QTimer::singleShot(10, [&] { comm->Close(); });
        QTimer::singleShot(60, &box, &QEventLoop::quit);
        box.exec();
    };
    comm->Open();
    pty.send({1});
    ASSERT_TRUE(pumpUntil([&] { return calls == 1 && !comm->Active(); }));
    spinFor(50);
    EXPECT_EQ(calls, 1);
}

// The byte held behind its error and a transmit empty of a write made in the error handler come
// in one delivery; the rx handler closes and reopens: the old opening's transmit empty must not
// follow.
TEST_F(LoopPtyTest, NoTransmitEmptyOfTheOldOpeningAfterAReopenFromRxChar) {
    for (bool loopWatch : {true, false}) {
        SCOPED_TRACE(loopWatch ? "main loop watches" : "event thread");
        auto comm = loopWatch ? makeLoopPort() : makePort();
        Log log;
        comm->OnError = [&](std::int32_t e) {
            log.push_back("error " + std::to_string(e));
            comm->WriteChar(0xE0);
        };
        comm->OnRxChar = [&](std::int32_t n) {
            for (std::int32_t i = 0; i < n; ++i) {
                std::uint8_t b;
                if (comm->ReadChar(b)) log.push_back("byte " + std::to_string(b));
            }
            comm->Close();
            comm->Open();
            log.push_back("reopened");
        };
        comm->OnTxEmpty = [&] { log.push_back("empty"); };
        comm->Open();
        ASSERT_NO_FATAL_FAILURE(passMarksThrough());
        pty.send({0xFF, 0x00, 0x41});
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (std::chrono::steady_clock::now() < until) {
            spinFor(10);
            handOver.runPending();
        }
        EXPECT_EQ(log, (Log{"error 4", "byte 65", "reopened"}));
        comm->Close();
        (void)pty.receive(1, 50);
    }
}

// Marks cut by the reads that fetch them, by the far end sending in pieces or by the read
// buffer's end: each is decoded whole, its error before its byte.
TEST_F(LoopPtyTest, MarksCutBetweenReadsAreDecodedWhole) {
    Bytes longBurst(516, 0x11);  // the mark after 511 bytes straddles one read's end
    longBurst[511] = 0xFF;
    longBurst[512] = 0x00;
    longBurst[513] = 0x41;
    longBurst[514] = 0xFF;
    longBurst[515] = 0xFF;
    Log longTail(510, "byte 17");
    longTail.insert(longTail.end(), {"error 4", "byte 65", "byte 255"});
    longTail.insert(longTail.begin(), "byte 17");
    struct Case {
        Bytes first, second;
        Log want;
    };
    const Case cases[] = {
        {{0xFF}, {0x00, 0x41}, {"error 4", "byte 65"}},
        {{0xFF}, {0xFF}, {"byte 255"}},
        {{0xFF, 0x00}, {0x00}, {"error 4", "byte 0"}},
        {{0xFF, 0x00}, {0x41, 0x42}, {"error 4", "byte 65", "byte 66"}},
        {{0x10, 0xFF}, {0xFF, 0x11}, {"byte 16", "byte 255", "byte 17"}},
        {longBurst, {}, longTail},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.size());
        auto comm = makeLoopPort();
        Log log;
        logEvents(*comm, log);
        comm->Open();
        ASSERT_NO_FATAL_FAILURE(passMarksThrough());
        pty.send(c.first);
        spinFor(30);
        if (!c.second.empty()) pty.send(c.second);
        pumpUntil([&] { return log.size() >= c.want.size(); }, 1000);
        spinFor(20);
        EXPECT_EQ(log, c.want);
        comm->Close();
    }
}

// Closed and opened again from a timer while a handler runs a nested loop (as a message box
// does): the new opening's bytes come inside that loop, nothing of the old one after it, and no
// descriptor stays behind.
TEST_F(LoopPtyTest, ReopenedFromInsideAHandlersNestedLoop) {
    const int descriptors = descriptorCount();
    auto comm = makeLoopPort();
    Log log;
    comm->OnRxChar = [&](std::int32_t n) {
        for (std::int32_t i = 0; i < n; ++i) {
            std::uint8_t b;
            if (comm->ReadChar(b)) log.push_back("byte " + std::to_string(b));
        }
        if (log.size() != 1) return;
        QEventLoop box;
        QTimer::singleShot(10, [&] {
            comm->Close();
            comm->Open();
            log.push_back("reopened");
            pty.send({2});
        });
        QTimer::singleShot(100, &box, &QEventLoop::quit);
        box.exec();
        log.push_back("box closed");
    };
    comm->Open();
    pty.send({1});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 4; }));
    spinFor(50);
    pty.send({3});
    ASSERT_TRUE(pumpUntil([&] { return log.size() >= 5; }));
    spinFor(50);
    EXPECT_EQ(log, (Log{"byte 1", "reopened", "byte 2", "box closed", "byte 3"}));
    comm->Close();
    EXPECT_EQ(descriptorCount(), descriptors);
}

// The device goes away while a handler runs a nested loop: neither that loop nor the main loop
// after it spins over the hung-up terminal.
TEST_F(LoopPtyTest, HangUpWhileAHandlerRunsANestedLoopSpinsNothing) {
    auto comm = makeLoopPort();
    int calls = 0;
    comm->OnRxChar = [&](std::int32_t n) {
        ++calls;
        readAndDrop(*comm, n);
        if (calls != 1) return;
        pty.closeMaster();
        const std::int64_t cpuBefore = processCpuUs();
        spinFor(300);
        EXPECT_LT(processCpuUs() - cpuBefore, 100000) << "something spins in the nested loop";
    };
    comm->Open();
    pty.send({1});
    ASSERT_TRUE(pumpUntil([&] { return calls == 1 && device->gone(); }));
    const std::int64_t cpuBefore = processCpuUs();
    pumpFor(300);
    EXPECT_LT(processCpuUs() - cpuBefore, 100000) << "something spins after the hang-up";
    EXPECT_EQ(calls, 1);
}

TEST_F(LoopPtyTest, OpeningsUnderTrafficLeaveNothingBehind) {
    const int descriptors = descriptorCount();
    auto comm = makeLoopPort();
    checkOpeningsUnderTraffic(*comm, 500);
    spinFor(20);
    EXPECT_EQ(descriptorCount(), descriptors);
}

// The device hangs up while the driver still holds written bytes (an adapter pulled out just
// after the last byte of a send), or the driver's queue can no longer be asked (a hung-up
// terminal refuses it): nobody can tell that the bytes have left, and a hang-up throws them away,
// so no transmit empty may claim it. The configuration dialogs would report the send as done.
TEST_F(LoopPtyTest, NoTransmitEmptyWhenTheQueueCannotBeSeenToDrain) {
    for (bool hangUp : {true, false}) {
        for (bool loopWatch : {true, false}) {
            SCOPED_TRACE(std::string(hangUp ? "hang-up" : "queue query fails") + ", " +
                         (loopWatch ? "main loop watches" : "event thread"));
            serial::testing::Pty line;
            ASSERT_TRUE(line.ok());
            auto slow = std::make_shared<serial::testing::SlowDrainDevice>(
                loopWatch ? static_cast<platform::HandOver*>(qtHandOver_.get()) : &handOver);
            TVaComm comm(slow);
            comm.SetDeviceName(line.slavePath());
            comm.SetBaudrate(TVaBaudrate::br9600);
            comm.SetDirectWrite(true);
            int empties = 0;
            comm.OnTxEmpty = [&] { ++empties; };
            auto serveBoth = [&](int ms) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
                while (std::chrono::steady_clock::now() < until) {
                    spinFor(10);
                    handOver.runPending();
                }
            };
            comm.Open();
            slow->pending = 1000;  // far more than leaves in the time of this test
            comm.WriteChar(0xF1);
            serveBoth(50);
            ASSERT_EQ(empties, 0);

            if (hangUp) {
                line.closeMaster();
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
                while (!slow->gone() && std::chrono::steady_clock::now() < until) serveBoth(10);
                ASSERT_TRUE(slow->gone());
            } else {
                slow->cannotTell = true;
            }
            serveBoth(300);  // the queue is looked at again at least every 100 ms
            EXPECT_EQ(empties, 0) << "transmit empty for bytes nobody saw leave";
            comm.Close();
        }
    }
}

}  // namespace
