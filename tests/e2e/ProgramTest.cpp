// The real kvt3 (offscreen) against kvt3-sim on a pseudo-terminal, in real time: the program
// connects by itself, reads the box's configuration and then reads positions over and over.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/Processes.h"
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
    e2e::TempDir dir;

    std::vector<std::string> simArgs = {"--trace", "--stats"};
    simArgs.insert(simArgs.end(), box.simOptions.begin(), box.simOptions.end());
    e2e::Process sim(KVT3_SIM_PATH, simArgs, dir.path(), dir.file("sim.log"));
    ASSERT_TRUE(e2e::waitForPath(dir.file("COM1"), 5s)) << e2e::readFile(dir.file("sim.log"));

    e2e::Process kvt3(KVT3_PATH, {}, dir.path(), dir.file("kvt3.log"),
                      {"QT_QPA_PLATFORM=offscreen"});
    int status = 0;
    EXPECT_FALSE(kvt3.waitFor(3s, status)) << "kvt3 ended by itself";
    kvt3.signal(SIGTERM);
    ASSERT_TRUE(kvt3.waitFor(5s, status)) << "kvt3 did not end on SIGTERM";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "status " << status << "\n"
        << e2e::readFile(dir.file("kvt3.log"));
    sim.signal(SIGTERM);
    ASSERT_TRUE(sim.waitFor(5s, status));

    const std::string log = e2e::readFile(dir.file("sim.log"));
    EXPECT_GT(e2e::totalReadingsPerSecond(log), 0)
        << log.substr(log.size() > 400 ? log.size() - 400 : 0);

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
    EXPECT_TRUE(std::filesystem::exists(dir.file("params.kv3")));
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
