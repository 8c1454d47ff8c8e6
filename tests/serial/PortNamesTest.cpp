// Which device COMn is: the working directory's link, the command line, then the machine's
// serial ports in a PC's order, read from a fake /sys and /dev tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/PortNames.h"
#include "serial/VaComm.h"

using namespace serial;
namespace fs = std::filesystem;

namespace {

// A machine's /sys/class/tty and /dev/serial/by-id, laid out as the kernel and udev do.
class FakeTree {
public:
    FakeTree() : root_(fs::temp_directory_path() / ("kvt3-ports-" + std::to_string(::getpid()))) {
        fs::remove_all(root_);
        fs::create_directories(root_ / "sys/class/tty");
        fs::create_directories(root_ / "sys/bus/platform/drivers/serial8250");
        fs::create_directories(root_ / "sys/bus/pnp/drivers/serial");
        fs::create_directories(root_ / "sys/bus/serial-base/drivers/port");
        fs::create_directories(root_ / "dev");
    }
    ~FakeTree() { fs::remove_all(root_); }
    std::string root() const { return root_.string(); }

    enum class Uart { fitted, absent, noTypeAttribute };
    // A port of the legacy 8250 platform device: registered whether fitted or not.
    void legacyUart(const std::string& name, Uart state) {
        const fs::path dev = "devices/platform/serial8250";
        entry(name, dev / "tty" / name, dev, "bus/platform/drivers/serial8250");
        if (state != Uart::noTypeAttribute)
            std::ofstream(root_ / "sys" / dev / "tty" / name / "type")
                << (state == Uart::fitted ? "4\n" : "0\n");
        std::ofstream(root_ / "dev" / name);  // a plain file: no terminal to ask
    }
    // Since Linux 6.5 a serial-core port hangs below a port device of the serial-base bus
    // ("<controller>:<n>.<m>", driver "port") for legacy and announced ports alike.
    void portDeviceUart(const std::string& name, const std::string& controller, Uart state) {
        const fs::path dev = fs::path("devices") / controller;
        entry(name, dev / "tty" / name, dev, "bus/serial-base/drivers/port");
        std::ofstream(root_ / "sys" / dev / "tty" / name / "type")
            << (state == Uart::fitted ? "4\n" : "0\n");
        std::ofstream(root_ / "dev" / name);
    }
    // A port the firmware announced (PnP): it is there.
    void pnpUart(const std::string& name, const std::string& node) {
        const fs::path dev = fs::path("devices/pnp0") / node;
        entry(name, dev / "tty" / name, dev, "bus/pnp/drivers/serial");
    }
    void usb(const std::string& kernel, const std::string& byId) {
        const fs::path dev = "devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/" + kernel;
        entry(kernel, dev / "tty" / kernel, dev, "");
        if (!byId.empty()) byIdName(kernel, byId);
    }
    // A further name in /dev/serial/by-id (a stale link, a local rule adding one).
    void byIdName(const std::string& kernel, const std::string& byId) {
        fs::create_directories(root_ / "dev/serial/by-id");
        fs::create_symlink("../../" + kernel, root_ / "dev/serial/by-id" / byId);
    }
    void virtualTty(const std::string& name) {
        entry(name, fs::path("devices/virtual/tty") / name, {}, "");
    }

private:
    // /sys/class/tty/<name> -> ../../<ttyDir>, <ttyDir>/device -> <device>, <device>/driver.
    void entry(const std::string& name, const fs::path& ttyDir, const fs::path& device,
               const std::string& driver) {
        const fs::path sys = root_ / "sys";
        fs::create_directories(sys / ttyDir);
        fs::create_symlink(fs::path("../..") / ttyDir, sys / "class/tty" / name);
        if (device.empty()) return;
        fs::create_directories(sys / device);
        fs::create_symlink(sys / device, sys / ttyDir / "device");
        if (!driver.empty() && !fs::exists(sys / device / "driver"))
            fs::create_symlink(sys / driver, sys / device / "driver");
    }

    fs::path root_;
};

std::vector<std::string> paths(const std::vector<SystemPort>& ports) {
    std::vector<std::string> out;
    for (const auto& p : ports) out.push_back(p.path);
    return out;
}

using Uart = FakeTree::Uart;

TEST(SystemPorts, InThePcOrder) {
    struct Case {
        const char* name;
        void (*build)(FakeTree&);
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"laptop: four absent legacy UARTs and one adapter",
         [](FakeTree& t) {
             for (const char* n : {"tty0", "console", "ptmx"}) t.virtualTty(n);
             for (const char* n : {"ttyS0", "ttyS1", "ttyS2", "ttyS3"})
                 t.legacyUart(n, Uart::absent);
             t.usb("ttyUSB0", "usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0");
         },
         {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0"}},
        {"laptop on Linux 6.5 on: the absent legacy UARTs behind port devices",
         [](FakeTree& t) {
             for (const char* n : {"ttyS0", "ttyS1", "ttyS2", "ttyS3"})
                 t.portDeviceUart(
                     n, std::string("platform/serial8250/serial8250:0/serial8250:0.") + n[4],
                     Uart::absent);
             t.usb("ttyUSB0", "usb-FTDI_A-if00-port0");
         },
         {"/dev/serial/by-id/usb-FTDI_A-if00-port0"}},
        {"Linux 6.5 on: an announced port fitted, a legacy one absent",
         [](FakeTree& t) {
             t.portDeviceUart("ttyS0", "pnp0/00:04/00:04:0/00:04:0.0", Uart::fitted);
             t.portDeviceUart("ttyS1", "platform/serial8250/serial8250:0/serial8250:0.1",
                              Uart::absent);
         },
         {"/dev/ttyS0"}},
        {"industrial PC: fitted ports first, adapters by their stable names",
         [](FakeTree& t) {
             t.legacyUart("ttyS0", Uart::fitted);
             t.legacyUart("ttyS1", Uart::fitted);
             t.legacyUart("ttyS2", Uart::absent);
             t.legacyUart("ttyS3", Uart::absent);
             // Plugged in the other way round: the kernel's numbers follow the plugging.
             t.usb("ttyUSB0", "usb-Prolific_Technology_Inc._USB-Serial-if00-port0");
             t.usb("ttyUSB1", "usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0");
         },
         {"/dev/ttyS0", "/dev/ttyS1",
          "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1ABC-if00-port0",
          "/dev/serial/by-id/usb-Prolific_Technology_Inc._USB-Serial-if00-port0"}},
        {"ttyS numbers in number order, announced ports kept without asking",
         [](FakeTree& t) {
             t.legacyUart("ttyS10", Uart::fitted);
             t.legacyUart("ttyS2", Uart::fitted);
             t.pnpUart("ttyS0", "00:04");
         },
         {"/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10"}},
        {"an adapter without a by-id name (no udev) comes after the named ones",
         [](FakeTree& t) {
             t.usb("ttyACM0", "");
             t.usb("ttyUSB3", "usb-FTDI_X-if00-port0");
         },
         {"/dev/serial/by-id/usb-FTDI_X-if00-port0", "/dev/ttyACM0"}},
        {"two by-id names for the only adapter: one port, by the first name",
         [](FakeTree& t) {
             t.usb("ttyUSB0", "usb-FTDI_B-if00-port0");
             t.byIdName("ttyUSB0", "usb-FTDI_A-if00-port0");
         },
         {"/dev/serial/by-id/usb-FTDI_A-if00-port0"}},
        {"two by-id names for one adapter: the others are kept",
         [](FakeTree& t) {
             t.usb("ttyUSB0", "usb-FTDI_A-if00-port0");
             t.byIdName("ttyUSB0", "usb-FTDI_C-if00-port0");
             t.usb("ttyUSB1", "usb-FTDI_B-if00-port0");
             t.usb("ttyACM1", "");
             t.usb("ttyACM0", "");
             t.byIdName("ttyS9", "usb-stale-if00-port0");  // names no USB port
         },
         {"/dev/serial/by-id/usb-FTDI_A-if00-port0", "/dev/serial/by-id/usb-FTDI_B-if00-port0",
          "/dev/ttyACM0", "/dev/ttyACM1"}},
        {"no type attribute and no terminal to ask: not taken for fitted",
         [](FakeTree& t) { t.legacyUart("ttyS0", Uart::noTypeAttribute); },
         {}},
        {"nothing but virtual terminals", [](FakeTree& t) { t.virtualTty("tty1"); }, {}},
    };
    for (const auto& c : cases) {
        FakeTree tree;
        c.build(tree);
        EXPECT_EQ(paths(systemPorts(tree.root())), c.expected) << c.name;
    }
    EXPECT_TRUE(systemPorts("/nonexistent-root").empty());
}

TEST(SystemPorts, AskTheProbeOnlyAboutLegacyUarts) {
    FakeTree tree;
    tree.legacyUart("ttyS0", Uart::absent);
    tree.legacyUart("ttyS1", Uart::absent);
    tree.pnpUart("ttyS4", "00:05");
    tree.usb("ttyUSB0", "usb-A");
    std::vector<std::string> asked;
    const auto ports = systemPorts(tree.root(), [&](const std::string& entry,
                                                    const std::string& dev) {
        asked.push_back(fs::path(entry).filename().string() + " " + dev.substr(tree.root().size()));
        return entry.ends_with("ttyS1");
    });
    EXPECT_EQ(paths(ports),
              (std::vector<std::string>{"/dev/ttyS1", "/dev/ttyS4", "/dev/serial/by-id/usb-A"}));
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"ttyS0 /dev/ttyS0", "ttyS1 /dev/ttyS1"}));
}

// Runs in a directory of its own, with the machine's ports read from a fake tree.
class PortChoice : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("kvt3-portdir-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        old_ = fs::current_path();
        fs::current_path(dir_);
        tree_.legacyUart("ttyS0", Uart::fitted);
        tree_.legacyUart("ttyS1", Uart::absent);
        tree_.usb("ttyUSB0", "usb-FTDI_A-if00-port0");
        setSystemRoot(tree_.root());
    }
    void TearDown() override {
        clearPortOverrides();
        setSystemRoot("/");
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    FakeTree tree_;
    fs::path dir_, old_;
};

TEST_F(PortChoice, LinkThenCommandLineThenMachine) {
    fs::create_symlink("/dev/null", "COM2");
    setPortOverride(2, "/dev/ttyUSB7");
    setPortOverride(3, "/dev/ttyACM1");
    struct Case {
        std::string name, path;
    };
    const Case cases[] = {
        {"COM1", "/dev/ttyS0"},            // the machine's first port
        {"COM2", "COM2"},                  // the link beats the command line
        {"COM3", "/dev/ttyACM1"},          // the command line beats the machine
        {"COM4", "COM4"},                  // nothing: fails to open as it stands
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},  // a path
        {"COM0", "COM0"},
        {"COMx", "COMx"},
        {"COM", "COM"},
        {"COM-1", "COM-1"},
        {"COM2a", "COM2a"},
        {"ttyACM0", "ttyACM0"},
    };
    for (const auto& c : cases) EXPECT_EQ(portPath(c.name), c.path) << c.name;

    clearPortOverrides();
    EXPECT_EQ(portPath("COM2"), "COM2");
    EXPECT_EQ(portPath("COM3"), "COM3");
    fs::remove("COM2");
    EXPECT_EQ(portPath("COM2"), "/dev/serial/by-id/usb-FTDI_A-if00-port0");
}

TEST_F(PortChoice, DescriptionNamesTheDevice) {
    fs::create_symlink("/dev/pts/7", "COM3");
    setPortOverride(4, "/dev/ttyACM1");
    EXPECT_EQ(portDescription(1), "/dev/ttyS0");
    EXPECT_EQ(portDescription(2), "/dev/serial/by-id/usb-FTDI_A-if00-port0 (ttyUSB0)");
    EXPECT_EQ(portDescription(3), "./COM3 -> /dev/pts/7");
    EXPECT_EQ(portDescription(4), "/dev/ttyACM1");
    clearPortOverrides();
    EXPECT_EQ(portDescription(4), "");
}

TEST_F(PortChoice, PortWithNothingBehindItFailsToOpenWithTheUsualMessage) {
    TVaComm comm;
    comm.SetDeviceName("COM3");
    try {
        comm.Open();
        FAIL() << "opened";
    } catch (const EVaCommError& e) {
        EXPECT_STREQ(e.what(),
                     "Unable to open specified device COM3 (2), No such file or directory");
    }
    EXPECT_FALSE(comm.Active());
}

}  // namespace
