// The command line: what it asks for, and every mistake reported before a window exists.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/Options.h"

namespace {

TEST(Options, WhatTheyAskFor) {
    struct Case {
        std::vector<std::string> args;
        bool help, version, desktop;
        std::optional<std::string> directory, trace;
        std::map<int, std::string> ports;
    };
    const Case cases[] = {
        {{}, false, false, false, {}, {}, {}},
        {{"--help"}, true, false, false, {}, {}, {}},
        {{"-h"}, true, false, false, {}, {}, {}},
        {{"--version"}, false, true, false, {}, {}, {}},
        {{"-V"}, false, true, false, {}, {}, {}},
        {{"--desktop"}, false, false, true, {}, {}, {}},
        {{"--dir", "/srv/kvt"}, false, false, false, "/srv/kvt", {}, {}},
        {{"--dir=rel/dir"}, false, false, false, "rel/dir", {}, {}},
        {{"--trace", "t.txt"}, false, false, false, {}, "t.txt", {}},
        {{"--trace=/tmp/a=b"}, false, false, false, {}, "/tmp/a=b", {}},
        {{"--port", "COM1=/dev/ttyUSB0", "--port=COM3=ttyACM0", "--port", "COM4=/dev/ttyUSB1"},
         false,
         false,
         false,
         {},
         {},
         {{1, "/dev/ttyUSB0"}, {3, "/dev/ttyACM0"}, {4, "/dev/ttyUSB1"}}},
        {{"--desktop", "--"}, false, false, true, {}, {}, {}},
        {{"--port", "COM2=./box"}, false, false, false, {}, {}, {{2, "./box"}}},
        // Qt's own options are left to QApplication: a restart by the session manager.
        {{"-session", "10d3c2e1a5000170737", "--desktop"}, false, false, true, {}, {}, {}},
        {{"-platform", "offscreen", "-style=Fusion", "--display", ":1", "-reverse", "-name",
          "--dir", "-stylesheet", "a.qss", "--dir", "d"},
         false,
         false,
         false,
         "d",
         {},
         {}},
    };
    for (const Case& c : cases) {
        const ParsedOptions p = parseOptions(c.args);
        const std::string what = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(p.error, "") << what;
        EXPECT_EQ(p.options.help, c.help) << what;
        EXPECT_EQ(p.options.version, c.version) << what;
        EXPECT_EQ(p.options.desktop, c.desktop) << what;
        EXPECT_EQ(p.options.directory, c.directory) << what;
        EXPECT_EQ(p.options.traceFile, c.trace) << what;
        EXPECT_EQ(p.options.ports, c.ports) << what;
    }
}

TEST(Options, MistakesNameTheirArgument) {
    struct Case {
        std::vector<std::string> args;
        std::string message;  // the first line
    };
    const Case cases[] = {
        {{"--frobnicate"}, "kvt3: unknown option '--frobnicate'"},
        {{"-x"}, "kvt3: unknown option '-x'"},
        {{"--help", "--bogus"}, "kvt3: unknown option '--bogus'"},
        {{"--helpme"}, "kvt3: unknown option '--helpme'"},
        {{"COM1"}, "kvt3: unexpected argument 'COM1'"},
        {{"-session"}, "kvt3: option '-session' needs a value"},
        {{"-platform=offscreen"}, "kvt3: unknown option '-platform=offscreen'"},
        {{"-style="}, "kvt3: unknown option '-style='"},
        {{"--trace"}, "kvt3: option '--trace' needs a value"},
        {{"--trace="}, "kvt3: option '--trace' needs a file name"},
        {{"--loop-probe="}, "kvt3: option '--loop-probe' needs a file name"},
        {{"--dir"}, "kvt3: option '--dir' needs a value"},
        {{"--port"}, "kvt3: option '--port' needs a value"},
        {{"--port", "COM1"},
         "kvt3: option '--port' takes COMn=DEVICE (e.g. COM1=/dev/ttyUSB0), not 'COM1'"},
        {{"--port", "COM0=/dev/ttyS0"},
         "kvt3: option '--port' takes COMn=DEVICE (e.g. COM1=/dev/ttyUSB0), not 'COM0=/dev/ttyS0'"},
        {{"--port", "COM1="},
         "kvt3: option '--port' takes COMn=DEVICE (e.g. COM1=/dev/ttyUSB0), not 'COM1='"},
        {{"--port", "COM5=/dev/ttyUSB0"},
         "kvt3: option '--port': the ports are COM1 to COM4, not 'COM5'"},
        {{"--port", "COM1=/dev/ttyUSB0", "--port", "COM2=x", "--port=COM1=/dev/ttyUSB1"},
         "kvt3: option '--port' names COM1 twice"},
        {{"--", "--desktop"}, "kvt3: unexpected argument '--desktop'"},
        {{"--save-config=a", "--restore-config", "b"},
         "kvt3: options '--save-config' and '--restore-config' exclude each other"},
        {{"--yes"}, "kvt3: option '--yes' goes with '--restore-config'"},
        {{"--save-config", "a", "--yes"}, "kvt3: option '--yes' goes with '--restore-config'"},
        {{"--restore-config="}, "kvt3: option '--restore-config' needs a file name"},
        {{"--port", "ttyUSB0=COM1"},
         "kvt3: option '--port' takes COMn=DEVICE (e.g. COM1=/dev/ttyUSB0), not 'ttyUSB0=COM1'"},
    };
    for (const Case& c : cases) {
        const std::string error = parseOptions(c.args).error;
        EXPECT_EQ(error, c.message + "\nTry 'kvt3 --help' for more information.\n")
            << c.args.front();
    }
}

TEST(Options, WorkingDirectory) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::optional<std::string> xdg, home;
        std::string expected;
    };
    const passwd* user = ::getpwuid(::getuid());
    ASSERT_TRUE(user && user->pw_dir && *user->pw_dir);
    const std::string userData = std::string(user->pw_dir) + "/.local/share/kvt3";
    const Case cases[] = {
        {"from a terminal: where started", {}, "/x", "/home/op", ""},
        {"from the menu", {"--desktop"}, {}, "/home/op", "/home/op/.local/share/kvt3"},
        {"from the menu, XDG_DATA_HOME set", {"--desktop"}, "/data", "/home/op", "/data/kvt3"},
        {"relative XDG_DATA_HOME is ignored",
         {"--desktop"},
         "rel",
         "/home/op",
         "/home/op/.local/share/kvt3"},
        {"empty XDG_DATA_HOME is ignored",
         {"--desktop"},
         "",
         "/home/op",
         "/home/op/.local/share/kvt3"},
        {"HOME unset: the password database's home", {"--desktop"}, {}, {}, userData},
        {"HOME empty: the password database's home", {"--desktop"}, {}, "", userData},
        {"--dir wins", {"--desktop", "--dir", "/srv/kvt"}, "/data", "/home/op", "/srv/kvt"},
    };
    for (const Case& c : cases) {
        const ParsedOptions p = parseOptions(c.args);
        ASSERT_EQ(p.error, "") << c.name;
        EXPECT_EQ(workingDirectory(p.options, c.xdg, c.home), c.expected) << c.name;
    }
}

TEST(Options, UsageNamesEveryOptionAndTheVersionItsNumber) {
    for (const char* option : {"--port COMn=DEVICE", "--trace FILE", "--loop-probe FILE",
                               "--dir DIR", "--desktop", "--help", "--version", "/dev/serial/by-id",
                               "dialout", "F11", "-session ID", "1 when the working directory"})
        EXPECT_NE(usageText().find(option), std::string::npos) << option;
    EXPECT_TRUE(versionText().starts_with("kvt3 2.")) << versionText();
}

}  // namespace
