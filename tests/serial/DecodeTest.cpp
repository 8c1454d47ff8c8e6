// Decoding the terminal's marks and telling line errors apart.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/Parmrk.h"
#include "serial/PosixDevice.h"
#include "serial/VaComm.h"

using namespace serial;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Out {
    Bytes bytes;
    std::vector<bool> marked;
    bool operator==(const Out&) const = default;
};

// Feeds the reads one after the other into one decoder.
Out decode(const std::vector<Bytes>& reads, bool marking = true) {
    ParmrkDecoder d;
    d.setMarking(marking);
    Out out;
    for (const auto& read : reads) {
        for (std::uint8_t raw : read) {
            ParmrkDecoder::Decoded got[2];
            const std::size_t n = d.feed(raw, got);
            for (std::size_t i = 0; i < n; ++i) {
                out.bytes.push_back(got[i].byte);
                out.marked.push_back(got[i].kind == ParmrkDecoder::Kind::marked);
            }
        }
    }
    return out;
}

TEST(Parmrk, Decodes) {
    struct Case {
        const char* name;
        std::vector<Bytes> reads;
        Out want;
        bool marking = true;
    };
    const Case cases[] = {
        {"plain", {{0x01, 0xE0, 0x7F}}, {{0x01, 0xE0, 0x7F}, {false, false, false}}},
        {"FF FF is data FF",
         {{0x10, 0xFF, 0xFF, 0x20}},
         {{0x10, 0xFF, 0x20}, {false, false, false}}},
        {"FF 00 x is x with an error", {{0xFF, 0x00, 0x41}}, {{0x41}, {true}}},
        {"FF 00 00 is a break", {{0xFF, 0x00, 0x00, 0x05}}, {{0x00, 0x05}, {true, false}}},
        {"marked FF", {{0xFF, 0x00, 0xFF}}, {{0xFF}, {true}}},
        {"split after FF", {{0x01, 0xFF}, {0x00, 0x42}}, {{0x01, 0x42}, {false, true}}},
        {"split after FF 00", {{0xFF, 0x00}, {0x43}}, {{0x43}, {true}}},
        {"split doubled FF", {{0xFF}, {0xFF}}, {{0xFF}, {false}}},
        {"stray FF kept as data", {{0xFF, 0x41}}, {{0xFF, 0x41}, {false, false}}},
        {"stray FF before a mark",
         {{0xFF, 0x41, 0xFF, 0x00, 0x42}},
         {{0xFF, 0x41, 0x42}, {false, false, true}}},
        {"unfinished mark gives nothing yet", {{0x07, 0xFF, 0x00}}, {{0x07}, {false}}},
        {"without marking FF is FF",
         {{0xFF, 0x00, 0x41}},
         {{0xFF, 0x00, 0x41}, {false, false, false}},
         false},
    };
    for (const auto& c : cases) EXPECT_EQ(decode(c.reads, c.marking), c.want) << c.name;
}

TEST(Parmrk, ErrorsOfAMarkedByte) {
    struct Case {
        const char* name;
        std::uint8_t byte;
        bool haveCounters;
        LineCounterDelta delta;
        std::int32_t errors;
    };
    const Case cases[] = {
        {"no counters: parity", 0x41, false, {}, ErrorBits::Parity},
        // A marked 00 is a break or a 00 with a bad parity or stop bit: the mark cannot tell.
        {"no counters: a marked 00 too", 0x00, false, {}, ErrorBits::Parity},
        {"parity counted", 0x41, true, {.parity = 1}, ErrorBits::Parity},
        {"framing counted", 0x41, true, {.frame = 1}, ErrorBits::Frame},
        {"break counted", 0x00, true, {.brk = 1}, ErrorBits::Break},
        {"framing on a 00", 0x00, true, {.frame = 1}, ErrorBits::Frame},
        {"overrun shows too",
         0x41,
         true,
         {.frame = 1, .overrun = 2},
         ErrorBits::Frame | ErrorBits::Overrun},
        {"buffer overrun",
         0x41,
         true,
         {.parity = 1, .bufOverrun = 1},
         ErrorBits::Parity | ErrorBits::Overflow},
        {"counters unmoved", 0x41, true, {}, ErrorBits::Parity},
        {"counters unmoved on a 00", 0x00, true, {}, ErrorBits::Parity},
        {"parity and framing",
         0x41,
         true,
         {.parity = 1, .frame = 1},
         ErrorBits::Parity | ErrorBits::Frame},
        {"only an overrun grew",
         0x41,
         true,
         {.overrun = 1},
         ErrorBits::Overrun | ErrorBits::Parity},
        {"everything grew",
         0x00,
         true,
         {.parity = 1, .frame = 2, .overrun = 1, .bufOverrun = 1, .brk = 1},
         ErrorBits::Parity | ErrorBits::Frame | ErrorBits::Overrun | ErrorBits::Overflow |
             ErrorBits::Break},
    };
    for (const auto& c : cases)
        EXPECT_EQ(markErrors(c.haveCounters ? &c.delta : nullptr), c.errors) << c.name;
}

}  // namespace
