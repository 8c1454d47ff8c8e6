// Opening failures, the order of notifications, which events reach them, and what happens to
// exceptions thrown by handlers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestDevices.h"
#include "platform/ExceptionDisplay.h"
#include "platform/HandOver.h"
#include "serial/VaComm.h"

using namespace serial;
using serial::testing::ProbeDevice;

namespace {

struct Shown {
    std::vector<std::string> messages;
    Shown() {
        platform::setExceptionDisplay([this](const std::string& m) { messages.push_back(m); });
    }
    ~Shown() { platform::setExceptionDisplay(nullptr); }
};

TEST(OpenFailures, EachStepLeavesThePortClosed) {
    struct Case {
        ProbeDevice::Step step;
        int err;
        const char* message;
    };
    const Case cases[] = {
        {ProbeDevice::Step::settings, EINVAL, "Error writing dcb (22), Invalid argument"},
        {ProbeDevice::Step::queueSizes, ENOMEM,
         "Error initializing buffers (12), Cannot allocate memory"},
        {ProbeDevice::Step::timeouts, EIO, "Error setting timeouts (5), Input/output error"},
        {ProbeDevice::Step::eventMask, EINVAL, " Error setting EventMask (22), Invalid argument"},
        {ProbeDevice::Step::watching, EAGAIN,
         "Error starting the event thread (11), Resource temporarily unavailable"},
    };
    for (const auto& c : cases) {
        auto dev = std::make_shared<ProbeDevice>();
        dev->failAt = c.step;
        dev->failErrno = c.err;
        TVaComm comm{dev};
        comm.SetDirectWrite(true);
        int opened = 0, closed = 0;
        comm.OnOpen = [&] { ++opened; };
        comm.OnClose = [&] { ++closed; };
        try {
            comm.Open();
            ADD_FAILURE() << "opened";
        } catch (const EVaCommError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_FALSE(comm.Active());
        EXPECT_FALSE(dev->isOpen());
        EXPECT_EQ(dev->watching, 0);
        EXPECT_EQ(opened + closed, 0);
        // The failure leaves nothing behind: the next open works.
        dev->failAt = ProbeDevice::Step::none;
        comm.Open();
        EXPECT_TRUE(comm.Active());
    }
}

TEST(OpenFailures, DeviceThatCannotBeOpened) {
    auto dev = std::make_shared<ProbeDevice>();
    dev->failOpen(ENOENT);
    TVaComm comm{dev};
    comm.SetPortNum(3);
    try {
        comm.Open();
        ADD_FAILURE() << "opened";
    } catch (const EVaCommError& e) {
        EXPECT_STREQ(e.what(),
                     "Unable to open specified device COM3 (2), No such file or directory");
    }
    EXPECT_FALSE(comm.Active());
}

TEST(OpenFailures, OpenWhileOpenIsRefused) {
    auto dev = std::make_shared<ProbeDevice>();
    TVaComm comm{dev};
    comm.SetDirectWrite(true);
    comm.Open();
    EXPECT_THROW(comm.Open(), EVaCommError);
    EXPECT_TRUE(comm.Active());
    EXPECT_EQ(dev->openCount(), 1);
}

TEST(OpenFailures, NoEventWatchedStartsNoWatching) {
    auto dev = std::make_shared<ProbeDevice>();
    TVaComm comm{dev};
    comm.SetDirectWrite(true);
    comm.SetMonitorEvents({});
    comm.Open();
    EXPECT_EQ(dev->watching, 0);
    comm.Close();
    comm.SetMonitorEvents({TVaCommEvent::ceRxChar});
    comm.Open();
    EXPECT_EQ(dev->watching, 1);
    comm.Close();
    EXPECT_EQ(dev->watching, 0);
}

struct EventPort : ::testing::Test {
    std::shared_ptr<ProbeDevice> dev = std::make_shared<ProbeDevice>();
    TVaComm comm{dev};
    std::vector<std::string> log;

    void listenToAll() {
        auto note = [this](const char* what) { return [this, what] { log.push_back(what); }; };
        comm.OnRxFlag = note("rxflag");
        comm.OnCts = note("cts");
        comm.OnDsr = note("dsr");
        comm.OnRing = note("ring");
        comm.OnRlsd = note("rlsd");
        comm.OnTxEmpty = note("txempty");
        comm.OnBreak = note("break");
        comm.OnPErr = note("perr");
        comm.OnRx80Full = note("rx80full");
        comm.OnEvent1 = note("event1");
        comm.OnEvent2 = note("event2");
        comm.OnError = [this](std::int32_t e) { log.push_back("error " + std::to_string(e)); };
        comm.OnRxChar = [this](std::int32_t n) { log.push_back("rx " + std::to_string(n)); };
    }
    void open(TVaCommEvents events) {
        comm.SetDirectWrite(true);
        comm.SetMonitorEvents(events);
        comm.Open();
    }
};

TEST_F(EventPort, NotificationsComeInTheirOrder) {
    listenToAll();
    open({TVaCommEvent::ceBreak, TVaCommEvent::ceCts, TVaCommEvent::ceDsr, TVaCommEvent::ceError,
          TVaCommEvent::ceRing, TVaCommEvent::ceRlsd, TVaCommEvent::ceRxChar,
          TVaCommEvent::ceTxEmpty, TVaCommEvent::ceRxFlag, TVaCommEvent::cePErr,
          TVaCommEvent::ceRx80Full, TVaCommEvent::ceEvent1, TVaCommEvent::ceEvent2});
    dev->receive({1, 2});  // waiting bytes, so the rx bit has something to count
    log.clear();
    dev->receive(7, ErrorBits::Frame);  // leaves an error to fetch after the byte is queued
    log.clear();
    dev->receive(8, ErrorBits::Parity);
    log.clear();
    dev->emit(0x1FFF);
    // Only the second error is still unfetched; 4 bytes wait.
    EXPECT_EQ(log,
              (std::vector<std::string>{"rx 4", "rxflag", "cts", "dsr", "ring", "rlsd", "txempty",
                                        "break", "perr", "rx80full", "event1", "event2"}));
}

TEST_F(EventPort, UnwatchedEventsNeverReachTheirHandlers) {
    listenToAll();
    open({TVaCommEvent::ceRxChar, TVaCommEvent::ceCts});
    dev->receive(5, ErrorBits::Parity);
    dev->emit(0x1FFF);
    EXPECT_EQ(log, (std::vector<std::string>{"rx 1", "rx 1", "cts"}));
}

TEST_F(EventPort, ErrorEventWithoutErrorBitsCallsNoHandlerAndRxWithoutBytesNeither) {
    listenToAll();
    open({TVaCommEvent::ceError, TVaCommEvent::ceRxChar});
    dev->emit(EventBits::Error | EventBits::RxChar);
    EXPECT_TRUE(log.empty());
}

TEST_F(EventPort, TransmitEmptyWatchedOnlyWithDirectWrites) {
    platform::PumpedHandOver handOver;  // for the write thread
    platform::setDefaultHandOver(&handOver);
    listenToAll();
    comm.SetDirectWrite(false);
    comm.Open();  // the write thread reports an empty queue; the device must not
    dev->emit(EventBits::TxEmpty);
    dev->reportTxEmpty();
    comm.Close();
    platform::setDefaultHandOver(nullptr);
    EXPECT_TRUE(log.empty());
}

TEST_F(EventPort, BufferedWritesNeedAHandOver) {
    comm.SetDirectWrite(false);
    EXPECT_THROW(comm.Open(), EVaCommError);
    EXPECT_FALSE(comm.Active());
    EXPECT_FALSE(dev->isOpen());
}

TEST_F(EventPort, ExceptionInAHandlerIsShownAndSkipsTheRestOfTheMask) {
    Shown shown;
    listenToAll();
    comm.OnCts = [] { throw EVaCommError("cts failed"); };
    open({TVaCommEvent::ceCts, TVaCommEvent::ceDsr, TVaCommEvent::ceError});
    dev->emit(EventBits::Cts | EventBits::Dsr);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(shown.messages, (std::vector<std::string>{"cts failed"}));
    // OnError has a guard of its own: the notifications after it still run.
    comm.OnError = [](std::int32_t) { throw EVaCommError("error failed"); };
    dev->receive(1, ErrorBits::Parity);
    log.clear();
    dev->receive(2, ErrorBits::Frame);
    dev->emit(EventBits::Error | EventBits::Dsr);
    EXPECT_EQ(shown.messages,
              (std::vector<std::string>{"cts failed", "error failed", "error failed"}));
    EXPECT_EQ(log, (std::vector<std::string>{"dsr"}));
}

TEST_F(EventPort, ExceptionInOnOpenIsShownAndTheOpenStands) {
    Shown shown;
    comm.OnOpen = [] { throw EVaCommError("open handler"); };
    open({TVaCommEvent::ceRxChar});
    EXPECT_TRUE(comm.Active());
    EXPECT_EQ(shown.messages, (std::vector<std::string>{"open handler"}));
}

TEST_F(EventPort, ExceptionInOnCloseReachesTheCallerWithThePortClosed) {
    comm.OnClose = [] { throw EVaCommError("close handler"); };
    open({TVaCommEvent::ceRxChar});
    EXPECT_THROW(comm.Close(), EVaCommError);
    EXPECT_FALSE(comm.Active());
    EXPECT_FALSE(dev->isOpen());
}

TEST_F(EventPort, DestructionClosesWithoutOnClose) {
    int closed = 0;
    {
        TVaComm local{dev};
        local.SetDirectWrite(true);
        local.OnClose = [&] { ++closed; };
        local.Open();
    }
    EXPECT_EQ(closed, 0);
    EXPECT_FALSE(dev->isOpen());
}

TEST_F(EventPort, UnreadBytesAreCountedAgain) {
    std::vector<std::int32_t> counts;
    comm.OnRxChar = [&](std::int32_t n) {
        counts.push_back(n);
        std::uint8_t b;
        comm.ReadChar(b);  // takes one of them only
    };
    open({TVaCommEvent::ceRxChar});
    dev->receive({1, 2, 3});
    dev->receive({4});
    EXPECT_EQ(counts, (std::vector<std::int32_t>{3, 3}));
}

TEST_F(EventPort, ReadAndWriteFailuresRaise) {
    open({TVaCommEvent::ceRxChar});
    dev->receive({1});
    dev->failReads(true);
    std::uint8_t b;
    try {
        comm.ReadChar(b);
        ADD_FAILURE() << "read";
    } catch (const EVaCommError& e) {
        EXPECT_STREQ(e.what(), "Read error (5), Input/output error");
    }
    dev->failWrites(true);
    try {
        comm.WriteChar(1);
        ADD_FAILURE() << "write";
    } catch (const EVaCommError& e) {
        EXPECT_STREQ(e.what(), "Write error (5), Input/output error");
    }
    EXPECT_TRUE(comm.Active());
    dev->failReads(false);
    EXPECT_TRUE(comm.ReadChar(b));
    EXPECT_EQ(b, 1);
}

TEST_F(EventPort, PurgeReadDropsWaitingBytes) {
    open({TVaCommEvent::ceRxChar});
    dev->receive({1, 2, 3});
    EXPECT_EQ(comm.InQueCount(), 3);
    comm.PurgeRead();
    comm.PurgeWrite();
    EXPECT_EQ(comm.InQueCount(), 0);
    std::uint8_t b;
    EXPECT_FALSE(comm.ReadChar(b));
}

}  // namespace
