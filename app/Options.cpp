#include "app/Options.h"

#include <pwd.h>
#include <unistd.h>

#include <string_view>

#include "platform/Licence.h"
#include "serial/PortNames.h"

#ifndef KVT3_VERSION
#define KVT3_VERSION "0"
#endif

namespace {

constexpr int kPortCount = 4;  // COM1 .. COM4

// "--name=value" gives value; "--name" takes the next argument.
struct Cursor {
    const std::vector<std::string>& args;
    std::size_t at = 0;
    std::string error;

    std::optional<std::string> value(const std::string& arg, const std::string& name) {
        if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0)
            return arg.substr(name.size() + 1);
        if (at + 1 < args.size()) return args[++at];
        error = "option '" + name + "' needs a value";
        return std::nullopt;
    }
};

bool isOption(const std::string& arg, const std::string& name) {
    return arg == name ||
           (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0);
}

// Qt's own options, which QApplication takes from the same command line: a session manager
// restarts the program with "-session ID", and -platform, -display or -style are what a Qt
// program is expected to understand. Qt also reads them with two dashes.
constexpr const char* kQtOptionsWithValue[] = {"-platform",
                                               "-platformpluginpath",
                                               "-platformtheme",
                                               "-plugin",
                                               "-qwindowgeometry",
                                               "-qwindowicon",
                                               "-qwindowtitle",
                                               "-session",
                                               "-display",
                                               "-geometry",
                                               "-title",
                                               "-icon",
                                               "-name",
                                               "-visual",
                                               "-style",
                                               "-stylesheet"};
constexpr const char* kQtFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
// Qt takes no other option in the form "-name=value".
constexpr const char* kQtOptionsWithEquals[] = {"-style=", "-stylesheet=", "-qmljsdebugger="};

enum class QtOption { none, flag, withValue };

QtOption qtOption(std::string arg) {
    if (arg.starts_with("--")) arg.erase(0, 1);
    for (std::string_view name : kQtOptionsWithEquals)
        if (arg.size() > name.size() && arg.starts_with(name)) return QtOption::flag;
    for (std::string_view name : kQtOptionsWithValue)
        if (arg == name) return QtOption::withValue;
    for (std::string_view name : kQtFlags)
        if (arg == name) return QtOption::flag;
    return QtOption::none;
}

// The user's home directory from the password database.
std::string passwdHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    ProgramOptions& o = result.options;
    Cursor c{args, 0, {}};
    bool optionsEnded = false;
    for (; c.at < args.size() && c.error.empty(); ++c.at) {
        const std::string& arg = args[c.at];
        if (optionsEnded) {
            c.error = "unexpected argument '" + arg + "'";
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "-V" || arg == "--version") {
            o.version = true;
        } else if (arg == "--desktop") {
            o.desktop = true;
        } else if (isOption(arg, "--dir")) {
            if (auto v = c.value(arg, "--dir")) {
                if (v->empty()) c.error = "option '--dir' needs a directory";
                o.directory = *v;
            }
        } else if (isOption(arg, "--trace")) {
            if (auto v = c.value(arg, "--trace")) {
                if (v->empty()) c.error = "option '--trace' needs a file name";
                o.traceFile = *v;
            }
        } else if (isOption(arg, "--loop-probe")) {
            if (auto v = c.value(arg, "--loop-probe")) {
                if (v->empty()) c.error = "option '--loop-probe' needs a file name";
                o.loopProbeFile = *v;
            }
        } else if (isOption(arg, "--serve")) {
            if (auto v = c.value(arg, "--serve")) {
                o.serve = web::parseServeArgument(*v);
                if (!o.serve) c.error = "option '--serve' needs [ADDRESS:]PORT, not '" + *v + "'";
            }
        } else if (isOption(arg, "--mqtt")) {
            if (auto v = c.value(arg, "--mqtt")) {
                std::string why;
                o.mqtt = mqtt::parseBrokerUrl(*v, why);
                if (!o.mqtt) c.error = "option '--mqtt': " + why + ", not '" + *v + "'";
            }
        } else if (isOption(arg, "--mqtt-ca")) {
            if (auto v = c.value(arg, "--mqtt-ca")) {
                if (v->empty()) c.error = "option '--mqtt-ca' needs a file name";
                o.mqttCa = *v;
            }
        } else if (isOption(arg, "--mqtt-login")) {
            if (auto v = c.value(arg, "--mqtt-login")) {
                if (v->empty()) c.error = "option '--mqtt-login' needs a file name";
                o.mqttLogin = *v;
            }
        } else if (arg == "--curves") {
            o.curves = true;
        } else if (isOption(arg, "--record")) {
            if (auto v = c.value(arg, "--record")) {
                if (v->empty()) c.error = "option '--record' needs a file name";
                o.recordFile = *v;
            }
        } else if (isOption(arg, "--save-config")) {
            if (auto v = c.value(arg, "--save-config")) {
                if (v->empty()) c.error = "option '--save-config' needs a file name";
                o.saveConfig = *v;
            }
        } else if (isOption(arg, "--restore-config")) {
            if (auto v = c.value(arg, "--restore-config")) {
                if (v->empty()) c.error = "option '--restore-config' needs a file name";
                o.restoreConfig = *v;
            }
        } else if (arg == "--yes") {
            o.yes = true;
        } else if (isOption(arg, "--port")) {
            if (auto v = c.value(arg, "--port")) {
                const auto eq = v->find('=');
                const int n = eq == std::string::npos ? 0 : serial::comNumber(v->substr(0, eq));
                std::string device = eq == std::string::npos ? "" : v->substr(eq + 1);
                if (n == 0 || device.empty()) {
                    c.error = "option '--port' takes COMn=DEVICE (e.g. COM1=/dev/ttyUSB0), not '" +
                              *v + "'";
                } else if (n > kPortCount) {
                    // The Konfiguracja menu offers COM1 to COM4: another would never be used.
                    c.error = "option '--port': the ports are COM1 to COM4, not '" +
                              v->substr(0, eq) + "'";
                } else if (o.ports.count(n) != 0) {
                    c.error = "option '--port' names " + v->substr(0, eq) + " twice";
                } else {
                    if (device.find('/') == std::string::npos) device = "/dev/" + device;
                    o.ports[n] = device;
                }
            }
        } else if (const QtOption qt = qtOption(arg); qt != QtOption::none) {
            // Left in the arguments for QApplication.
            if (qt == QtOption::withValue) c.value(arg, arg);
        } else if (!arg.empty() && arg[0] == '-') {
            c.error = "unknown option '" + arg + "'";
        } else {
            c.error = "unexpected argument '" + arg + "'";
        }
    }
    if (c.error.empty()) {
        if (o.saveConfig && o.restoreConfig)
            c.error = "options '--save-config' and '--restore-config' exclude each other";
        else if (o.yes && !o.restoreConfig)
            c.error = "option '--yes' goes with '--restore-config'";
        else if ((o.serve || o.mqtt || o.recordFile) && (o.saveConfig || o.restoreConfig))
            c.error = std::string("option '") +
                      (o.serve ? "--serve" : o.mqtt ? "--mqtt" : "--record") +
                      "' needs the window, which the configuration commands do without";
        else if ((o.mqttCa || o.mqttLogin) && !o.mqtt)
            c.error = "options '--mqtt-ca' and '--mqtt-login' go with '--mqtt'";
    }
    if (!c.error.empty())
        result.error = "kvt3: " + c.error + "\nTry 'kvt3 --help' for more information.\n";
    return result;
}

std::string versionText() {
    return std::string("kvt3 " KVT3_VERSION "\n") + platform::LicenceNotice;
}

std::string usageText() {
    return R"(Usage: kvt3 [OPTION]...
The host program of the KVT 3 three-axis digital readout box: the positions of up to three axes
in large figures, offsets, reference marks, the box's axis parameters and correction tables.

Options:
      --port COMn=DEVICE  use DEVICE for the port COMn (COM1 to COM4) of the Konfiguracja
                          menu, once for each port; a DEVICE without '/' is taken from
                          /dev (ttyUSB0: /dev/ttyUSB0)
      --trace FILE        write every byte on the line each way, with its time in
                          microseconds, every line error, every open and close and the
                          request each exchange belongs to, to FILE as it happens
      --loop-probe FILE   measure how late a 10 ms timer of the window's comes and how
                          long the port keeps the window's thread, from 3 s after the
                          start, and write the figures to FILE once a second
      --serve [ADDRESS:]PORT
                          show the readings live to browsers on the network: listen on
                          ADDRESS (all of the machine's when left out) and PORT, and print
                          the address to open, secret included; kept for the next start
      --mqtt mqtt://HOST[:PORT]/PREFIX
                          publish the readings to an MQTT broker (mqtts:// for TLS):
                          PREFIX/state, retained JSON (docs/readings-mqtt.md), and
                          PREFIX/status, "online" or "offline"; kept for the next start
      --mqtt-ca FILE      with an mqtts:// broker: check its certificate against FILE
      --mqtt-login FILE   the broker's user name (first line) and password (second) from
                          FILE, which only its owner may read; never on the command line
      --curves            open the live curves of the readings at start
      --record FILE       write every reading to FILE as CSV (docs/recording.md): the
                          time, the reading's number, each axis in its unit, whether it
                          was current; FILE.1 takes the older half past 64 MiB
      --save-config FILE  read the box's configuration (parameters and correction
                          tables) on the chosen port and write it to FILE, without the
                          window (docs/config-file.md)
      --restore-config FILE
                          show what FILE would change in the box, ask, write it to the
                          box, read it back and compare, without the window
      --yes               with --restore-config: write without asking
      --dir DIR           work in DIR (made when missing) instead of the current directory
      --desktop           work in the per-user directory $XDG_DATA_HOME/kvt3
                          (~/.local/share/kvt3), made on first start; the desktop menu
                          entry starts the program this way
  -h, --help              show this help and exit
  -V, --version           show the version and exit

Qt's own options (-platform NAME, -display DISPLAY, -style STYLE, -session ID and the
others Qt documents) are passed on to Qt.

The window and its messages are in Polish; under an English locale (the first of LC_ALL,
LC_MESSAGES and LANG that is set names en_*) they are in English, with the help text
help_en.txt. An angular axis reads degrees'minutes'seconds: 6'12'36 is 6 degrees, 12 minutes,
36 seconds.

Files (in the working directory):
  params.kv3    the chosen port, the offsets and the display mode, written at exit
  mqtt.kv3      the MQTT broker chosen (address, CA file, login file, rate)
  mqtt-login    the broker's user and password from the dialog, readable by its owner only
  pomoc.txt     the help text (help_en.txt in English); where the working directory has
                none, the installed one
  COM1..COM4    optional links to the devices of the ports

Which device is COMn, first match wins: a link (or device node) named COMn in the working
directory; else the DEVICE of --port COMn=DEVICE; else the n-th serial port of the machine,
counting first the on-board ports that are really fitted, in ttyS order, then USB adapters by
their names in /dev/serial/by-id, sorted. The Konfiguracja menu shows the device of each port
as a hint.

Keys: F5 tests the link, F10 ends the program, F11 shows the figures full screen (F11 or
Escape returns to the window). Alt and a menu's underlined letter open it. In a dialog,
Escape leaves it as its close button does, writing nothing; Ctrl+Tab moves on out of a table.

The serial devices belong to the group dialout: join it once with
  sudo usermod -aG dialout $USER
and log in again.

Exit status: 0 when the window was closed, 1 when the working directory or the trace file
cannot be used (with --desktop the reason is also shown in a message box), 2 for a wrong
command line. With --save-config: 0 when the file holds what the box holds. With
--restore-config: 0 only when the box, read back, holds what the file says; 3 when the file
is refused or the restore was declined (nothing written), 1 for any other failure.
)";
}

std::string workingDirectory(const ProgramOptions& options,
                             const std::optional<std::string>& xdgDataHome,
                             const std::optional<std::string>& home) {
    if (options.directory) return *options.directory;
    if (!options.desktop) return {};
    // A relative XDG_DATA_HOME is no base directory: it is ignored, as desktops do.
    if (xdgDataHome && !xdgDataHome->empty() && (*xdgDataHome)[0] == '/')
        return *xdgDataHome + "/kvt3";
    std::string base = home ? *home : std::string();
    if (base.empty()) base = passwdHome();  // a session started without HOME
    if (base.empty()) return {};
    return base + "/.local/share/kvt3";
}
