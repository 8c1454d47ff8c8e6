// Defaults, the settings groups and the port's setter rules.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "TestDevices.h"
#include "serial/VaComm.h"

using namespace serial;
using serial::testing::ProbeDevice;

namespace {

TEST(PortDefaults, FreshPort) {
    TVaComm comm{std::make_shared<ProbeDevice>()};
    EXPECT_EQ(comm.Baudrate(), TVaBaudrate::br1200);
    EXPECT_EQ(comm.UserBaudrate(), 0);
    EXPECT_EQ(comm.Databits(), TVaDatabits::db8);
    EXPECT_EQ(comm.Stopbits(), TVaStopbits::sb1);
    EXPECT_EQ(comm.Parity(), TVaParity::paNone);
    EXPECT_FALSE(comm.ParityCheck());
    EXPECT_EQ(comm.DeviceName(), "COM%d");
    EXPECT_EQ(comm.PortNum(), 0);
    EXPECT_EQ(comm.MonitorEvents(), (TVaCommEvents{TVaCommEvent::ceError, TVaCommEvent::ceRxChar,
                                                   TVaCommEvent::ceTxEmpty}));
    EXPECT_TRUE(comm.UpdateDCB());
    EXPECT_FALSE(comm.DirectWrite());
    EXPECT_EQ(comm.EventPriority(), TThreadPriority::tpNormal);
    EXPECT_EQ(comm.WritePriority(), TThreadPriority::tpHighest);
    EXPECT_EQ(comm.Buffers().ReadSize(), 4096);
    EXPECT_EQ(comm.Buffers().WriteSize(), 2048);
    EXPECT_EQ(comm.Buffers().ReadTimeout, 1000);
    EXPECT_EQ(comm.Buffers().WriteTimeout, 1000);
    EXPECT_EQ(comm.EventChars().XonChar(), 0x11);
    EXPECT_EQ(comm.EventChars().XoffChar(), 0x13);
    EXPECT_EQ(comm.EventChars().ErrorChar(), 0);
    EXPECT_EQ(comm.FlowControl().ControlDtr(), TVaControlDtr::dtrDisabled);
    EXPECT_EQ(comm.FlowControl().ControlRts(), TVaControlRts::rtsDisabled);
    EXPECT_FALSE(comm.FlowControl().OutCtsFlow());
    EXPECT_FALSE(comm.Active());
}

TEST(PortDefaults, EventSetMapsToDeviceBits) {
    struct Case {
        TVaCommEvents events;
        std::uint32_t bits;
    };
    const Case cases[] = {
        {{}, 0},
        {{TVaCommEvent::ceError, TVaCommEvent::ceRxChar, TVaCommEvent::ceTxEmpty}, 0x85},
        {{TVaCommEvent::ceBreak}, 0x40},
        {{TVaCommEvent::ceCts, TVaCommEvent::ceDsr, TVaCommEvent::ceRlsd}, 0x38},
        {{TVaCommEvent::ceRing, TVaCommEvent::ceRxFlag, TVaCommEvent::cePErr}, 0x302},
        {{TVaCommEvent::ceRx80Full, TVaCommEvent::ceEvent1, TVaCommEvent::ceEvent2}, 0x1C00},
    };
    for (const auto& c : cases) EXPECT_EQ(c.events.deviceMask(), c.bits);
}

TEST(PortName, PlaceholderTakesThePortNumber) {
    struct Case {
        std::string pattern;
        std::int32_t num;
        std::string name;
    };
    const Case cases[] = {{"COM%d", 4, "COM4"},
                          {"COM%d", 0, "COM0"},
                          {"COM2", 4, "COM2"},
                          {"/dev/ttyUSB%d", 1, "/dev/ttyUSB1"}};
    for (const auto& c : cases) {
        auto dev = std::make_shared<ProbeDevice>();
        TVaComm comm{dev};
        comm.SetDeviceName(c.pattern);
        comm.SetPortNum(c.num);
        comm.SetDirectWrite(true);
        EXPECT_EQ(comm.FormattedDeviceName(), c.name);
        comm.Open();
        EXPECT_EQ(dev->openedName(), c.name);
    }
}

TEST(Persistent, NotifiesOnChangeOnlyAndOnceInsideAnUpdate) {
    TVaFlowControl flow;
    int notified = 0;
    flow.OnChange = [&] { ++notified; };
    flow.SetOutCtsFlow(false);  // unchanged
    EXPECT_EQ(notified, 0);
    flow.SetOutCtsFlow(true);
    EXPECT_EQ(notified, 1);
    flow.BeginUpdate();
    flow.SetXonXoffIn(true);
    flow.SetControlRts(TVaControlRts::rtsToggle);
    EXPECT_EQ(notified, 1);
    flow.EndUpdate();
    EXPECT_EQ(notified, 2);

    TVaFlowControl other;
    other.SetControlDtr(TVaControlDtr::dtrHandshake);
    flow.Assign(other);
    EXPECT_EQ(notified, 3);
    EXPECT_EQ(flow.ControlDtr(), TVaControlDtr::dtrHandshake);
    EXPECT_FALSE(flow.OutCtsFlow());
    EXPECT_EQ(flow.ControlRts(), TVaControlRts::rtsDisabled);

    TVaBuffers buffers;
    int bufferChanges = 0;
    buffers.OnChange = [&] { ++bufferChanges; };
    buffers.ReadTimeout = 5;  // a plain field: no notification
    EXPECT_EQ(bufferChanges, 0);
    TVaEventChars chars, source;
    source.SetXonChar(1);
    source.SetEofChar(0x1A);
    chars.Assign(source);
    EXPECT_EQ(chars.XonChar(), 1);
    EXPECT_EQ(chars.EofChar(), 0x1A);
}

// Each row: a change made on an open port, whether it must be refused, and how to tell it was
// stored anyway (or not).
struct SetterCase {
    const char* name;
    std::function<void(TVaComm&)> change;
    bool refusedWhileOpen;
    std::function<bool(TVaComm&)> stored;
};

TEST(SetterRules, WhileOpen) {
    const SetterCase cases[] = {
        {"DeviceName", [](TVaComm& c) { c.SetDeviceName("COM3"); }, true,
         [](TVaComm& c) { return c.DeviceName() == "COM3"; }},
        {"PortNum", [](TVaComm& c) { c.SetPortNum(2); }, true,
         [](TVaComm& c) { return c.PortNum() == 2; }},
        {"MonitorEvents", [](TVaComm& c) { c.SetMonitorEvents({TVaCommEvent::ceBreak}); }, true,
         [](TVaComm& c) { return c.MonitorEvents() == TVaCommEvents{TVaCommEvent::ceBreak}; }},
        {"DirectWrite", [](TVaComm& c) { c.SetDirectWrite(false); }, true,
         [](TVaComm& c) { return !c.DirectWrite(); }},
        {"UpdateDCB", [](TVaComm& c) { c.SetUpdateDCB(false); }, true,
         [](TVaComm& c) { return !c.UpdateDCB(); }},
        {"Buffers",
         [](TVaComm& c) {
             TVaBuffers b;
             b.SetReadSize(100);
             c.SetBuffers(b);
         },
         true, [](TVaComm& c) { return c.Buffers().ReadSize() == 100; }},
        {"Parity", [](TVaComm& c) { c.SetParity(TVaParity::paEven); }, false,
         [](TVaComm& c) { return c.Parity() == TVaParity::paEven; }},
        {"Stopbits", [](TVaComm& c) { c.SetStopbits(TVaStopbits::sb2); }, false,
         [](TVaComm& c) { return c.Stopbits() == TVaStopbits::sb2; }},
        {"EventPriority", [](TVaComm& c) { c.SetEventPriority(TThreadPriority::tpHigher); }, false,
         [](TVaComm& c) { return c.EventPriority() == TThreadPriority::tpHigher; }},
        {"ReadTimeout", [](TVaComm& c) { c.Buffers().ReadTimeout = 10; }, false,
         [](TVaComm& c) { return c.Buffers().ReadTimeout == 10; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TVaComm comm{std::make_shared<ProbeDevice>()};
        comm.SetDeviceName("COM1");
        comm.SetDirectWrite(true);
        comm.Open();
        if (c.refusedWhileOpen) {
            try {
                c.change(comm);
                ADD_FAILURE() << "not refused";
            } catch (const EVaCommError& e) {
                EXPECT_STREQ(e.what(), "Can't perform this operation while port is open");
            }
            EXPECT_FALSE(c.stored(comm));
        } else {
            EXPECT_NO_THROW(c.change(comm));
            EXPECT_TRUE(c.stored(comm));
        }
        EXPECT_TRUE(comm.Active());
        comm.Close();
        // Closed, every change is taken.
        EXPECT_NO_THROW(c.change(comm));
        EXPECT_TRUE(c.stored(comm));
    }
}

TEST(SetterRules, QueueSizesAreStoredThenRefusedWhileOpen) {
    TVaComm comm{std::make_shared<ProbeDevice>()};
    comm.SetDirectWrite(true);
    comm.Open();
    EXPECT_THROW(comm.Buffers().SetReadSize(2000), EVaCommError);
    EXPECT_EQ(comm.Buffers().ReadSize(), 2000);
    EXPECT_THROW(comm.Buffers().SetWriteSize(100), EVaCommError);
    EXPECT_EQ(comm.Buffers().WriteSize(), 100);
}

TEST(SetterRules, RatesAndUserRate) {
    TVaComm comm{std::make_shared<ProbeDevice>()};
    comm.SetUserBaudrate(250000);
    EXPECT_EQ(comm.Baudrate(), TVaBaudrate::brUser);
    comm.SetBaudrate(TVaBaudrate::br9600);
    EXPECT_EQ(comm.UserBaudrate(), 0);
    comm.SetUserBaudrate(31250);
    comm.SetBaudrate(TVaBaudrate::brUser);  // unchanged: keeps the user rate
    EXPECT_EQ(comm.UserBaudrate(), 31250);
}

TEST(LineSettings, EveryChangeOnAnOpenPortIsAppliedAtOnce) {
    auto dev = std::make_shared<ProbeDevice>();
    TVaComm comm{dev};
    comm.SetDirectWrite(true);
    comm.Open();
    struct Case {
        const char* name;
        std::function<void()> change;
        std::function<bool(const LineSettings&)> applied;
    };
    const Case cases[] = {
        {"rate", [&] { comm.SetBaudrate(TVaBaudrate::br9600); },
         [](const LineSettings& s) { return s.baudRate == 9600; }},
        {"user rate", [&] { comm.SetUserBaudrate(250000); },
         [](const LineSettings& s) { return s.baudRate == 250000; }},
        {"parity", [&] { comm.SetParity(TVaParity::paOdd); },
         [](const LineSettings& s) { return s.parity == TVaParity::paOdd; }},
        {"parity check", [&] { comm.SetParityCheck(true); },
         [](const LineSettings& s) { return s.parityCheck; }},
        {"data bits", [&] { comm.SetDatabits(TVaDatabits::db7); },
         [](const LineSettings& s) { return s.byteSize == 7; }},
        {"options",
         [&] {
             comm.SetOptions({true, true});
         },
         [](const LineSettings& s) { return s.replaceParityErrors && s.discardNulls; }},
        {"flow control", [&] { comm.FlowControl().SetControlRts(TVaControlRts::rtsToggle); },
         [](const LineSettings& s) { return s.controlRts == TVaControlRts::rtsToggle; }},
        {"event chars", [&] { comm.EventChars().SetXoffChar(0x55); },
         [](const LineSettings& s) { return s.xoffChar == 0x55; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = dev->applied;
        c.change();
        EXPECT_EQ(dev->applied, before + 1);
        EXPECT_TRUE(c.applied(dev->last));
        c.change();  // the same value again: nothing to apply
        EXPECT_EQ(dev->applied, before + 1);
    }
}

TEST(LineSettings, NotWrittenWhenClosedOrWithoutUpdateDCB) {
    auto dev = std::make_shared<ProbeDevice>();
    TVaComm comm{dev};
    comm.SetDirectWrite(true);
    comm.SetParity(TVaParity::paOdd);
    EXPECT_EQ(dev->applied, 0);
    comm.SetUpdateDCB(false);
    comm.Open();
    comm.SetBaudrate(TVaBaudrate::br19200);
    EXPECT_EQ(dev->applied, 0);
}

TEST(LineSettings, TheLinksLine) {
    auto dev = std::make_shared<ProbeDevice>();
    TVaComm comm{dev};
    comm.SetParity(TVaParity::paOdd);
    comm.SetDeviceName("COM2");
    comm.SetBaudrate(TVaBaudrate::br9600);
    comm.SetDatabits(TVaDatabits::db8);
    comm.SetStopbits(TVaStopbits::sb1);
    comm.SetParityCheck(true);
    comm.SetDirectWrite(true);
    comm.Open();
    LineSettings want;
    want.baudRate = 9600;
    want.parity = TVaParity::paOdd;
    want.parityCheck = true;
    want.byteSize = 8;
    want.stopbits = TVaStopbits::sb1;
    EXPECT_EQ(dev->last, want);
}

TEST(LineSettings, HandshakeLimitsFollowTheReadSize) {
    struct Case {
        std::int32_t readSize, limit;
    };
    const Case cases[] = {{2000, 500}, {4096, 1024}, {100000, 1024}, {3, 0}};
    for (const auto& c : cases) {
        auto dev = std::make_shared<ProbeDevice>();
        TVaComm comm{dev};
        comm.SetDirectWrite(true);
        comm.Buffers().SetReadSize(c.readSize);
        comm.Open();
        EXPECT_EQ(dev->last.xonLimit, c.limit) << c.readSize;
        EXPECT_EQ(dev->last.xoffLimit, c.limit) << c.readSize;
    }
}

TEST(LineSettings, NamedRatesAndDataBits) {
    struct Case {
        TVaBaudrate rate;
        std::int32_t bps;
        TVaDatabits bits;
        std::int32_t byteSize;
    };
    const Case cases[] = {{TVaBaudrate::br110, 110, TVaDatabits::db4, 4},
                          {TVaBaudrate::br14400, 14400, TVaDatabits::db5, 5},
                          {TVaBaudrate::br56000, 56000, TVaDatabits::db6, 6},
                          {TVaBaudrate::br128000, 128000, TVaDatabits::db7, 7},
                          {TVaBaudrate::br256000, 256000, TVaDatabits::db8, 8}};
    for (const auto& c : cases) {
        auto dev = std::make_shared<ProbeDevice>();
        TVaComm comm{dev};
        comm.SetDirectWrite(true);
        comm.SetBaudrate(c.rate);
        comm.SetDatabits(c.bits);
        comm.Open();
        EXPECT_EQ(dev->last.baudRate, c.bps);
        EXPECT_EQ(dev->last.byteSize, c.byteSize);
    }
}

}  // namespace
