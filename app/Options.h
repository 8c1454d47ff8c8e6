#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mqtt/BrokerChoice.h"
#include "web/ServeChoice.h"

// The program's command line, read before anything of the windows exists, so that a mistake is
// reported on the terminal and no window flashes up.
struct ProgramOptions {
    bool help = false;
    bool version = false;
    // Started from the desktop menu: work in the per-user data directory.
    bool desktop = false;
    std::optional<std::string> directory;      // --dir
    std::map<int, std::string> ports;          // --port COMn=DEVICE, by n
    std::optional<std::string> traceFile;      // --trace
    std::optional<std::string> loopProbeFile;  // --loop-probe
    std::optional<web::ServeAddress> serve;    // --serve
    // Readings to an MQTT broker: its address, the CA file of mqtts://, the login file.
    std::optional<mqtt::BrokerAddress> mqtt;   // --mqtt
    std::optional<std::string> mqttCa;         // --mqtt-ca
    std::optional<std::string> mqttLogin;      // --mqtt-login
    std::optional<std::string> recordFile;     // --record: every reading to a CSV file
    bool curves = false;                       // --curves: the live curves open at start
    // Without the window: the box's configuration to a file, or a file's to the box.
    std::optional<std::string> saveConfig;     // --save-config
    std::optional<std::string> restoreConfig;  // --restore-config
    bool yes = false;                          // --yes: restore without asking
};

struct ParsedOptions {
    ProgramOptions options;
    std::string error;  // set when the command line is wrong: print it and end with status 2
};

// Reads the arguments after the program name. Options take their value as the next argument or
// after '='. A DEVICE without '/' names a node in /dev ("ttyUSB0" is /dev/ttyUSB0).
ParsedOptions parseOptions(const std::vector<std::string>& args);

std::string usageText();
std::string versionText();

// The directory the program works in (params.kv3, COMn links, the help file): --dir, else with
// --desktop $XDG_DATA_HOME/kvt3 ($HOME/.local/share/kvt3 when that is unset or not absolute,
// the password database's home when HOME is unset or empty), else the current directory (empty
// result: stay where started). getenv is the environment.
std::string workingDirectory(const ProgramOptions& options,
                             const std::optional<std::string>& xdgDataHome,
                             const std::optional<std::string>& home);
