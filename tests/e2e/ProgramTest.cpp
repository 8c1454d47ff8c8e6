// The real kvt3 (offscreen) against kvt3-sim on a pseudo-terminal, in real time: the program
// connects by itself, reads the box's configuration and then reads positions over and over.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/Session.h"
#include "tests/e2e/SimTrace.h"

namespace {

using namespace std::chrono_literals;

struct BoxCase {
    const char* name;
    std::vector<std::string> simOptions;
    std::vector<std::uint8_t> configuration;     // the requests before the first position reading
    std::vector<std::uint8_t> acknowledgements;  // the host's answer to one position reply
};

void PrintTo(const BoxCase& box, std::ostream* out) {
    *out << box.name;
}

class Program : public ::testing::TestWithParam<BoxCase> {};

TEST_P(Program, ConnectsReadsConfigurationThenPositionsAndEndsCleanlyOnSigterm) {
    const BoxCase& box = GetParam();
    e2e::Session session;
    std::vector<std::string> simArgs = {"--trace", "--stats"};
    simArgs.insert(simArgs.end(), box.simOptions.begin(), box.simOptions.end());
    ASSERT_NO_FATAL_FAILURE(session.startBox(simArgs));
    session.startProgram();
    ASSERT_NO_FATAL_FAILURE(session.keepRunning(3s));
    ASSERT_NO_FATAL_FAILURE(session.endProgramThenBox());

    const std::string log = session.boxLog();
    EXPECT_GT(e2e::totalReadingsPerSecond(log), 0) << e2e::tailOf(log);

    const std::vector<e2e::TraceRequest> requests = e2e::requestsFromTrace(log);
    ASSERT_GT(requests.size(), box.configuration.size() + 2);
    for (std::size_t i = 0; i < box.configuration.size(); ++i) {
        EXPECT_EQ(requests[i].command, box.configuration[i]) << "request " << i + 1;
    }
    // Every position reading that the next request followed was acknowledged byte by byte.
    int readings = 0;
    for (std::size_t i = box.configuration.size(); i + 1 < requests.size(); ++i) {
        ASSERT_EQ(requests[i].command, 0xE1) << "request " << i + 1;
        EXPECT_EQ(requests[i].hostBytes, box.acknowledgements) << "request " << i + 1;
        ++readings;
    }
    EXPECT_GT(readings, 10);

    // Closing wrote the settings file.
    EXPECT_TRUE(std::filesystem::exists(session.file("params.kv3")));
}

using e2e::threeAxisAcknowledgements;
using e2e::twoAxisAcknowledgements;

INSTANTIATE_TEST_SUITE_P(
    Boxes, Program,
    ::testing::Values(
        BoxCase{"kind1", {}, {0xE9, 0xE5, 0xE6, 0xE8, 0xE7}, threeAxisAcknowledgements},
        BoxCase{"kind3", {"--kind", "3"}, {0xE9, 0xE5, 0xE6, 0xE7, 0xE4}, twoAxisAcknowledgements}),
    [](const ::testing::TestParamInfo<BoxCase>& p) { return std::string(p.param.name); });

}  // namespace
