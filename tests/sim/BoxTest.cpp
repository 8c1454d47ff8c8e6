// The box's protocol alone: driven byte by byte, with the host's mistakes.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "sim/Box.h"
#include "sim/Commands.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Feeds host bytes to a box, one every millisecond from `t`, and collects what it sends.
struct Driver {
    sim::Box box;
    std::int64_t t = 0;
    std::vector<std::string> notes;
    std::vector<sim::Emission> sent;

    explicit Driver(const sim::SimConfig& c) : box(c) {
        box.OnNote = [this](std::int64_t, const std::string& text) { notes.push_back(text); };
    }

    Bytes send(const Bytes& host, std::int64_t stepUs = 1000) {
        sent.clear();
        for (std::uint8_t b : host) {
            box.hostByte(b, t, sent);
            t += stepUs;
        }
        Bytes out;
        for (const sim::Emission& e : sent) out.push_back(e.byte);
        return out;
    }
    bool noted(const std::string& part) const {
        for (const std::string& n : notes)
            if (n.find(part) != std::string::npos) return true;
        return false;
    }
};

sim::SimConfig kind4Box() {
    sim::SimConfig c;
    sim::changeKind(c.settings, 4);
    c.motion[0].start = 0x01020304;
    c.motion[1].start = -2;
    c.motion[2].start = 7;
    return c;
}

const Bytes threeAxisAcks = {0xE0, 0xE0, 0xE0, 0xE2, 0xE0, 0xE0, 0xE0, 0xE3, 0xE0, 0xE0, 0xE0};

TEST(Box, APositionReplyGoesOutOneByteForEachAcknowledgement) {
    Driver d(kind4Box());
    EXPECT_EQ(d.send({0xE1}), (Bytes{0x04}));
    EXPECT_FALSE(d.sent[0].completesReading);
    Bytes rest;
    for (std::uint8_t ack : threeAxisAcks) {
        const Bytes b = d.send({ack});
        ASSERT_EQ(b.size(), 1u) << "after " << rest.size() + 1 << " bytes";
        rest.push_back(b[0]);
    }
    EXPECT_EQ(rest, (Bytes{0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0x07, 0, 0, 0}));
    EXPECT_TRUE(d.sent[0].completesReading);
    // After the last byte the box is idle: one more acknowledgement is nothing to it.
    EXPECT_EQ(d.send({0xE0}), Bytes{});
    EXPECT_TRUE(d.noted("unknown byte E0"));
}

TEST(Box, TheHostsMistakesDuringAPositionReply) {
    struct Case {
        const char* name;
        Bytes host;      // after the command and the first two correct acknowledgements
        Bytes expected;  // what the box sends in answer to them
        const char* note;
    };
    const Case cases[] = {
        // E2 belongs after byte 4, not byte 3: the reply is dropped and E2 means nothing.
        {"wrong acknowledgement", {0xE2}, {}, "E2 where E0 acknowledges position byte 3"},
        // A new command in the middle of a reply starts over.
        {"command in the middle", {0xE1}, {0x04}, "request 2: E1 ReadPositions"},
        {"other command in the middle", {0xE9}, {0x30}, "reply dropped"},
        {"unknown byte", {0x42, 0xE0}, {}, "unknown byte 42 ignored"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Driver d(kind4Box());
        d.send({0xE1, 0xE0, 0xE0});
        EXPECT_EQ(d.send(c.host), c.expected);
        EXPECT_TRUE(d.noted(c.note));
        // The box answers the next request in full.
        EXPECT_EQ(d.send({0xE9}), Bytes{0x30});
    }
}

TEST(Box, AMissingAcknowledgementOrParameterDropsTheExchangeAfterTheHostTimeout) {
    struct Case {
        const char* name;
        Bytes start;
        std::int64_t waitUs;
        Bytes then;
        Bytes expected;
    };
    // hostTimeoutUs is 1000 ms.
    const Case cases[] = {
        {"acknowledgement in time", {0xE1}, 999000, {0xE0}, {0x03}},
        {"acknowledgement too late", {0xE1}, 1001000, {0xE0}, {}},
        {"parameter in time", {0xEE}, 999000, {0x05}, {0xE0}},
        // The late parameter 0xE9 is taken as the command it is.
        {"parameter too late", {0xEE}, 1001000, {0xE9}, {0x30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Driver d(kind4Box());
        d.send(c.start, c.waitUs);
        EXPECT_EQ(d.send(c.then), c.expected);
    }
}

TEST(Box, WritesAcknowledgeEveryByteAndStoreOnlyWhenComplete) {
    struct Case {
        const char* name;
        int kind;
        Bytes write;
        std::function<bool(const sim::BoxSettings&)> stored;
    };
    const Case cases[] = {
        {"kind 1 resolution: three codes",
         1,
         {0xEC, 7, 0, 3},
         [](const sim::BoxSettings& s) {
             return s.resolution == std::array<std::uint8_t, 3>{7, 0, 3};
         }},
        {"kinds 2..4 resolution frame with types",
         3,
         {0xEC, 0x53, 0x02, 0x0A, 0x00},
         [](const sim::BoxSettings& s) {
             return s.resolution == std::array<std::uint8_t, 3>{3, 5, 2} && s.types == 0x05;
         }},
        {"kind 1 line counts: int24",
         1,
         {0xED, 0xFF, 0xFF, 0xFF, 0, 0, 0x80, 0xA0, 0x0F, 0},
         [](const sim::BoxSettings& s) {
             return s.lineCounts == std::array<std::int32_t, 3>{-1, -8388608, 4000};
         }},
        {"dimension types",
         2,
         {0xEE, 0x06},
         [](const sim::BoxSettings& s) { return s.types == 6; }},
        {"corrections with no rows",
         4,
         {0xEA, 0, 0x70, 0, 0, 0},
         [](const sim::BoxSettings& s) {
             return s.correctionCount == 0 && s.correctionFlags == 0x70;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimConfig config;
        sim::changeKind(config.settings, c.kind);
        Driver d(config);
        int changes = 0;
        d.box.OnSettingsChanged = [&] { ++changes; };
        // Everything but the last byte: each accepted, nothing stored yet.
        const Bytes head(c.write.begin(), c.write.end() - 1);
        EXPECT_EQ(d.send(head), Bytes(head.size(), 0xE0));
        EXPECT_FALSE(c.stored(d.box.settings()));
        EXPECT_EQ(d.send({c.write.back()}), Bytes{0xE0});
        EXPECT_TRUE(c.stored(d.box.settings()));
        EXPECT_EQ(changes, 1);
    }
}

TEST(Box, RefusalsComeOncePerWrite) {
    struct Case {
        int refused;
        Bytes host;      // what the host sends, resending as asked
        Bytes expected;  // what the box answers
    };
    const Case cases[] = {
        // The command refused, sent again and taken; the next write is refused again.
        {0, {0xEE, 0xEE, 0x01, 0xEE, 0xEE, 0x02}, {0xEA, 0xE0, 0xE0, 0xEA, 0xE0, 0xE0}},
        // Parameter byte 1 refused once in each write.
        {1, {0xEE, 0x01, 0x01, 0xEE, 0x02, 0x02}, {0xE0, 0xEA, 0xE0, 0xE0, 0xEA, 0xE0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refused);
        sim::SimConfig config = kind4Box();
        config.faults.refuseByte = c.refused;
        Driver d(config);
        EXPECT_EQ(d.send(c.host), c.expected);
        EXPECT_EQ(d.box.settings().types, 0x02);
    }
}

TEST(Box, FaultsPickRequestsByNumber) {
    struct Case {
        const char* name;
        std::function<void(sim::Faults&)> set;
        std::vector<Bytes> answers;  // to five readiness requests
    };
    const Bytes ok{0x30};
    const Case cases[] = {
        {"none", [](sim::Faults&) {}, {ok, ok, ok, ok, ok}},
        {"silent after two",
         [](sim::Faults& f) {
             f.silent = {3, 0};
         },
         {ok, ok, {}, {}, {}}},
        // Silent for 1.5 ms from request 2: requests come every millisecond.
        {"silent for a while",
         [](sim::Faults& f) {
             f.silent = {2, 0};
             f.silentForUs = 1500;
         },
         {ok, {}, {}, ok, ok}},
        // Requests that come while silent are not counted: the silence from request 1 lasts
        // over the second byte, so request 4, the next pick, is the fifth byte.
        {"silent at 1 and every 3rd after, for a while",
         [](sim::Faults& f) {
             f.silent = {1, 3};
             f.silentForUs = 1500;
         },
         {{}, {}, ok, ok, {}}},
        {"garbage at 2 and every 2nd after",
         [](sim::Faults& f) {
             f.garbage = {2, 2};
             f.garbageBytes = 2;
         },
         {ok, {0x00, 0x00}, ok, {0x00, 0x00}, ok}},
        {"gone at 4 for good",
         [](sim::Faults& f) {
             f.disconnect = {4, 0};
         },
         {ok, ok, ok, {}, {}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimConfig config = kind4Box();
        c.set(config.faults);
        config.faults.disconnectForUs = 1000000000;
        Driver d(config);
        std::vector<Bytes> answers;
        for (int i = 0; i < 5; ++i) {
            Bytes a = d.send({0xE9});
            // Garbage is arbitrary; only its length is known.
            if (a.size() == 2) a = {0x00, 0x00};
            answers.push_back(a);
        }
        EXPECT_EQ(answers, c.answers);
    }
}

TEST(Box, EachFaultIsReportedWithItsRequest) {
    sim::SimConfig config = kind4Box();
    sim::Faults& f = config.faults;
    f.late = {2, 0};
    f.garbage = {3, 0};
    f.silent = {4, 0};
    f.silentForUs = 1500;
    f.disconnect = {6, 0};
    f.disconnectForUs = 1000;
    f.silentAfterReference = true;
    Driver d(config);
    std::vector<std::tuple<sim::Fault, std::int64_t, std::uint8_t>> made;
    d.box.OnFault = [&](std::int64_t, sim::Fault fault, std::int64_t request,
                        std::uint8_t command) { made.emplace_back(fault, request, command); };
    // Seven bytes make requests 1 to 6 (the fifth comes while silent and is not one); then
    // request 7, a reference command, whose selector makes the box fall silent again.
    d.send({0xE9, 0xE9, 0xE9, 0xE9, 0xE9, 0xE9, 0xE9});
    d.t += 10000;
    d.send({0xEF, 0xE1});
    const std::vector<std::tuple<sim::Fault, std::int64_t, std::uint8_t>> expected = {
        {sim::Fault::Late, 2, 0xE9},       {sim::Fault::Garbage, 3, 0xE9},
        {sim::Fault::Silent, 4, 0xE9},     {sim::Fault::Disconnect, 6, 0xE9},
        {sim::Fault::Silent, 7, 0xEF},
    };
    EXPECT_EQ(made, expected);
}

TEST(Box, DelaysLieInTheGapsBeforeTheBytes) {
    sim::SimConfig config = kind4Box();
    config.turnaroundUs = 50;
    config.faults.byteDelayUs = 2000;
    config.faults.late = {1, 0};
    config.faults.lateByUs = 1500000;
    Driver d(config);
    d.send({0xE5});
    ASSERT_EQ(d.sent.size(), 12u);
    EXPECT_EQ(d.sent[0].gapUs, 50 + 2000 + 1500000);
    for (std::size_t i = 1; i < d.sent.size(); ++i) EXPECT_EQ(d.sent[i].gapUs, 2000);
    // The next request is on time again.
    d.send({0xE9});
    EXPECT_EQ(d.sent[0].gapUs, 50 + 2000);
}

TEST(Box, EndConfigurationAndStrayBytesGetNoAnswer) {
    Driver d(kind4Box());
    EXPECT_EQ(d.send({0xF1, 0x00, 0xFF, 0xE0, 0xE2, 0xE3, 0xF0}), Bytes{});
    EXPECT_EQ(d.box.requests(), 1);
    EXPECT_EQ(d.send({0xEF, 0x42}), (Bytes{0xE0, 0xE0}));
    EXPECT_TRUE(d.noted("reference selector 42 ignored"));
}

TEST(Box, SilentAfterAcceptingAReferenceCommand) {
    sim::SimConfig config = kind4Box();
    config.faults.silentAfterReference = true;
    config.faults.silentForUs = 5000;
    Driver d(config);
    EXPECT_EQ(d.send({0xE9}), Bytes{0x30});
    // The command and its selector are both accepted; then nothing, until the silence ends.
    EXPECT_EQ(d.send({0xEF, 0xE1}), (Bytes{0xE0, 0xE0}));
    EXPECT_EQ(d.send({0xE5}), Bytes{});
    d.t += 5000;
    EXPECT_EQ(d.send({0xE9}), Bytes{0x30});
}

TEST(Box, StreamsOfArbitraryHostBytesLeaveItAnswering) {
    // Bytes drawn mostly from the ones the box knows, so that replies and writes get started and
    // broken off in every state; the gaps now and then exceed the host time-out.
    const std::uint8_t known[] = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8,
                                  0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF1, 0x00};
    for (int kind = 1; kind <= 4; ++kind) {
        SCOPED_TRACE(kind);
        sim::SimConfig config;
        sim::changeKind(config.settings, kind);
        config.referenceTravelUs = 3000;
        Driver d(config);
        std::uint32_t seed = 12345u + static_cast<std::uint32_t>(kind);
        const auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
        for (int i = 0; i < 200000; ++i) {
            const std::uint32_t r = next();
            const std::uint8_t b =
                r % 4 == 0 ? static_cast<std::uint8_t>(r >> 8) : known[(r >> 8) % sizeof known];
            const std::int64_t gap = (r >> 20) % 64 == 0 ? 1500000 : 1000;
            d.sent.clear();
            const sim::HostByteRole role = d.box.hostByte(b, d.t, d.sent);
            d.t += gap;
            // Nothing longer than a correction block of 255 rows, one byte per acknowledgement.
            ASSERT_LE(d.sent.size(), 5u + 24u * 255u);
            if (role == sim::HostByteRole::Acknowledge) {
                ASSERT_EQ(d.sent.size(), 1u);
            }
            if (role == sim::HostByteRole::Ignored) {
                ASSERT_TRUE(d.sent.empty());
            }
        }
        // Whatever it took in, after a pause it answers as a box of its kind.
        d.t += 2000000;
        EXPECT_EQ(d.send({0xE9}).size(), 1u);
        EXPECT_EQ(d.send({0xE6}).size(), static_cast<std::size_t>(sim::resolutionFrameSize(kind)));
        EXPECT_EQ(d.box.settings().kind, kind);
    }
}

}  // namespace
