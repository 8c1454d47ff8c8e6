// The command line of kvt3-sim and its state file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "sim/Options.h"
#include "sim/StateFile.h"

namespace {

using Args = std::vector<std::string>;

struct Parsed {
    sim::ProgramOptions options;
    sim::BoxSettings settings;
};

// Parses args over the demo and applies the settings edits over the demo's settings.
bool parse(const Args& args, Parsed& p, std::string& error) {
    p.options.config = sim::demoConfig();
    if (!sim::parseOptions(args, p.options, error)) return false;
    p.settings = p.options.config.settings;
    return sim::finalSettings(p.options, p.settings, error);
}

TEST(Options, WhatEachOptionSets) {
    struct Case {
        Args args;
        std::function<bool(const Parsed&)> check;
    };
    const Case cases[] = {
        {{},
         [](const Parsed& p) {
             return p.settings.kind == 1 && sim::axisCount(p.settings) == 3 &&
                    p.settings.types == 0x04 && p.options.serve.paced &&
                    p.options.serve.port == "COM1" && p.options.serve.dir == ".";
         }},
        {{"--kind", "3"},
         [](const Parsed& p) {
             return p.settings.kind == 3 && sim::readinessByte(p.settings) == 0x20;
         }},
        {{"--kind=2", "--readiness", "0F"},
         [](const Parsed& p) { return sim::readinessByte(p.settings) == 0x0F; }},
        {{"--calibration", "0.5,2,-1.25", "--kind", "4"},
         [](const Parsed& p) {
             // Given before the kind, still stored in the kind's format.
             return sim::calibrationValue(p.settings, 2) == -1.25L &&
                    p.settings.calibration[0] == std::array<std::uint8_t, 4>{0x20, 0xA1, 0x07, 0};
         }},
        {{"--resolution", "7,0,0x3", "--lines", "1,-2,3", "--types", "0x07"},
         [](const Parsed& p) {
             return p.settings.resolution == std::array<std::uint8_t, 3>{7, 0, 3} &&
                    p.settings.lineCounts == std::array<std::int32_t, 3>{1, -2, 3} &&
                    p.settings.types == 7;
         }},
        {{"--correction", "y:0=1,100=99", "--correction", "X:5=5", "--correction-flags", "0x30"},
         [](const Parsed& p) {
             return p.settings.correctionCount == 2 && p.settings.correctionFlags == 0x30 &&
                    p.settings.corrections[1][2].Corrected == 99 &&
                    p.settings.corrections[0][1].Position == 5;
         }},
        {{"--motion", "z=ramp:-4", "--reference-travel", "250", "--raw-counts"},
         [](const Parsed& p) {
             return p.options.config.motion[2].countAt(1) == -4 &&
                    p.options.config.referenceTravelUs == 250000 &&
                    !p.options.config.applyCorrections;
         }},
        {{"--silent-after", "0", "--silent-for", "2.5"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.silent.first == 1 && f.silentForUs == 2500 && !f.silentAfterReference;
         }},
        // A silence that comes back, picked and counted as the other faults are.
        {{"--silent", "7/300", "--silent-for", "6000"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.silent.first == 7 && f.silent.every == 300 && f.silentForUs == 6000000;
         }},
        {{"--silent", "9"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.silent.first == 9 && f.silent.every == 0 && f.silentForUs == 0;
         }},
        // The later of the two ways to pick the silence wins.
        {{"--silent", "5/10", "--silent-after", "2"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.silent.first == 3 && f.silent.every == 0;
         }},
        {{"--silent-after-reference", "--silent-for", "4000"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.silentAfterReference && !f.silent.active() && f.silentForUs == 4000000;
         }},
        {{"--late", "5/10", "--late-by", "2000", "--byte-delay", "3"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.late.first == 5 && f.late.every == 10 && f.lateByUs == 2000000 &&
                    f.byteDelayUs == 3000;
         }},
        {{"--garbage", "2", "--garbage-bytes", "7", "--refuse", "0", "--bad-ack", "3:AB"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.garbage.first == 2 && f.garbageBytes == 7 && f.refuseByte == 0 &&
                    f.badAckByte == 3 && f.badAckValue == 0xAB;
         }},
        {{"--disconnect", "4", "--disconnect-for", "500"},
         [](const Parsed& p) {
             const sim::Faults& f = p.options.config.faults;
             return f.disconnect.first == 4 && f.disconnectForUs == 500000;
         }},
        {{"--no-pacing", "--trace", "--stats", "--dir", "/tmp", "--port", "COM3", "--turnaround",
          "250", "--host-timeout", "20", "--state", "box.kv3"},
         [](const Parsed& p) {
             return !p.options.serve.paced && p.options.serve.trace && p.options.serve.stats &&
                    p.options.serve.dir == "/tmp" && p.options.serve.port == "COM3" &&
                    p.options.config.turnaroundUs == 250 &&
                    p.options.config.hostTimeoutUs == 20000 && p.options.stateFile == "box.kv3";
         }},
        {{"--version"},
         [](const Parsed& p) {
             return p.options.version && !p.options.help &&
                    sim::versionText().starts_with("kvt3-sim 2.");
         }},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        Parsed p;
        std::string error;
        ASSERT_TRUE(parse(c.args, p, error)) << error;
        EXPECT_TRUE(c.check(p));
    }
}

TEST(Options, RefusedArguments) {
    const std::vector<std::pair<Args, std::string>> cases = {
        {{"--kind", "5"}, "--kind: cannot use '5'"},
        {{"--kind"}, "--kind needs a value"},
        {{"--trace=1"}, "--trace takes no value"},
        {{"--colour", "red"}, "unknown option --colour"},
        {{"COM1"}, "unexpected argument 'COM1'"},
        {{"--resolution", "1,2"}, "--resolution: cannot use '1,2'"},
        {{"--resolution", "1,2,256"}, "--resolution: cannot use"},
        {{"--calibration", "1,nan,1"}, "--calibration: cannot use"},
        {{"--readiness", "100"}, "--readiness: cannot use"},
        {{"--motion", "w=still:1"}, "--motion: cannot use"},
        {{"--late", "0"}, "--late: cannot use"},
        {{"--late", "3/0"}, "--late: cannot use"},
        {{"--silent", "0/5"}, "--silent: cannot use"},
        {{"--silent", "4/"}, "--silent: cannot use"},
        {{"--silent", "4/5/6"}, "--silent: cannot use"},
        {{"--silent"}, "--silent needs a value"},
        {{"--byte-delay", "-1"}, "--byte-delay: cannot use"},
        {{"--bad-ack", "2:E0"}, "--bad-ack: cannot use"},  // that would be no fault
        {{"--port", "a/b"}, "--port: cannot use"},
        {{"--correction", "x:1=2,3"}, "--correction: cannot use"},
        // Combinations only the box as a whole can refuse.
        {{"--kind", "2", "--resolution", "16,0,0"}, "resolution code of X above 15"},
        {{"--lines", "1,8388608,1"}, "line count of Y beyond the 24 bits"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args[0]);
        Parsed p;
        std::string error;
        EXPECT_FALSE(parse(args, p, error));
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

TEST(Options, HelpNamesEveryOptionTheParserTakes) {
    const std::string help = sim::usageText();
    for (const char* name : {"--dir",
                             "--port",
                             "--no-pacing",
                             "--turnaround",
                             "--host-timeout",
                             "--kind",
                             "--readiness",
                             "--resolution",
                             "--calibration",
                             "--lines",
                             "--types",
                             "--correction",
                             "--correction-flags",
                             "--state",
                             "--motion",
                             "--reference-travel",
                             "--raw-counts",
                             "--seed",
                             "--silent-after",
                             "--silent",
                             "--silent-after-reference",
                             "--silent-for",
                             "--byte-delay",
                             "--late",
                             "--late-by",
                             "--garbage",
                             "--garbage-bytes",
                             "--refuse",
                             "--bad-ack",
                             "--disconnect",
                             "--disconnect-for",
                             "--trace",
                             "--stats",
                             "--help"}) {
        EXPECT_NE(help.find(name), std::string::npos) << name;
        sim::ProgramOptions o;
        std::string error;
        // Known to the parser: whatever it says, it is not "unknown option".
        sim::parseOptions({name}, o, error);
        EXPECT_EQ(error.find("unknown option"), std::string::npos) << name;
    }
}

TEST(StateFile, WhatTheBoxStoresSurvivesTheText) {
    for (int kind : {1, 4}) {
        sim::BoxSettings s;
        sim::changeKind(s, kind);
        s.readiness = 0x3F;
        sim::setCalibrationValue(s, 1, -0.123456L);
        s.resolution = {1, 0, 9};
        s.types = 3;
        s.lineCounts = {-7, 0, 2000000};
        s.correctionCount = 2;
        s.correctionFlags = 0x150;
        s.corrections[2][1] = {-2147483647.0L - 1, 2147483647.0L};
        s.corrections[2][2] = {10, -10};
        sim::BoxSettings back;
        std::string error;
        ASSERT_TRUE(sim::settingsFromText(sim::settingsToText(s), back, error)) << error;
        EXPECT_EQ(back.kind, kind);
        EXPECT_EQ(back.readiness, s.readiness);
        EXPECT_EQ(back.calibration, s.calibration);
        EXPECT_EQ(back.resolution, s.resolution);
        EXPECT_EQ(back.types, s.types);
        EXPECT_EQ(back.lineCounts, s.lineCounts);
        EXPECT_EQ(back.correctionCount, 2);
        EXPECT_EQ(back.correctionFlags, 0x150u);
        EXPECT_EQ(back.corrections[2][1].Position, s.corrections[2][1].Position);
        EXPECT_EQ(back.corrections[2][1].Corrected, s.corrections[2][1].Corrected);
        EXPECT_EQ(back.corrections[2][2].Corrected, -10);
    }
}

TEST(StateFile, ALineThatCannotBeReadIsNamedAndNothingChanges) {
    // Each text follows a good line, which must not be taken either.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"kind=5\n", "line 2: kind=5"},
        {"# box\nresolution=1 2\n", "line 3: resolution=1 2"},
        {"calibration=0011223 00 00\n", "line 2: calibration"},
        {"lines=1 2 x\r\n", "line 2: lines=1 2 x"},
        {"colour=red\n", "line 2: colour=red"},
        {"types\n", "line 2: types"},
        {"correction-x=1=2 3\n", "line 2: correction-x"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        sim::BoxSettings s;
        const std::string before = sim::settingsToText(s);
        std::string error;
        EXPECT_FALSE(sim::settingsFromText("types=7\n" + text, s, error));
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_EQ(sim::settingsToText(s), before);
    }
}

TEST(StateFile, SavedAndLoadedAgain) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kvt3-sim-state-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "box.kv3").string();
    sim::BoxSettings s;
    s.types = 5;
    std::string error;
    ASSERT_TRUE(sim::saveSettings(path, s, error)) << error;
    sim::BoxSettings back;
    ASSERT_TRUE(sim::loadSettings(path, back, error)) << error;
    EXPECT_EQ(back.types, 5);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_FALSE(sim::loadSettings((dir / "missing").string(), back, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
