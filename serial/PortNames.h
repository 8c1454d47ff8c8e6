#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace serial {

// Which device a port name stands for.
//
// "COMn" is, first match wins:
//   1. the entry COMn of the working directory (a symlink to the real device, or the link a
//      simulated box makes);
//   2. the device named for it on the command line (setPortOverride);
//   3. the n-th serial port the machine really has (systemPorts);
// and otherwise the name itself, which then fails to open as "No such file or directory".
// A name that starts with '/' is a path; anything else is used as it is.

// One serial port the machine has: the path to open, and the kernel's name for it.
struct SystemPort {
    std::string path;    // "/dev/ttyS0", "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0"
    std::string kernel;  // "ttyS0", "ttyUSB0"
};

// Tells whether an on-board UART is fitted; given the port's entry in /sys/class/tty and its
// device node. The 8250 driver registers a fixed number of these whether the hardware is there
// or not.
using UartProbe = std::function<bool(const std::string& sysEntry, const std::string& device)>;

// Fitted when the driver reports a port type other than PORT_UNKNOWN: from the entry's "type"
// attribute where it can be read, else by asking the opened device (TIOCGSERIAL).
bool uartFitted(const std::string& sysEntry, const std::string& device);

// The serial ports under root ("/" on a real machine, a fake tree in tests), in the order a PC
// numbers them: every /sys/class/tty entry whose device is not virtual; first the on-board
// ports (ttyS in number order; those of the 8250 driver and every other one with a "type"
// attribute only when the probe finds them fitted), then USB adapters by their
// /dev/serial/by-id names, sorted (an adapter with more than one counted once, by its first),
// and last USB ports that have no such name (no udev), by kernel name.
std::vector<SystemPort> systemPorts(const std::string& root = "/",
                                    const UartProbe& probe = uartFitted);

// Process-wide choices of the command line. Set before the port is first opened.
void setPortOverride(int number, const std::string& device);
void clearPortOverrides();
// Where systemPorts() looks ("/" unless a test points it at a fake tree).
void setSystemRoot(const std::string& root);

// The path to open for a port name, by the rules above.
std::string portPath(const std::string& name);

// What COMn stands for, for the operator: the working-directory link and its target, the
// command line's device, the machine's port, or "" when nothing is behind it.
std::string portDescription(int number);

// A device node as a port name leads to it now: its path with every link followed, and when the
// node was made (its status change time, ns since 1970). A node removed and made again (an
// adapter unplugged and plugged in, a new pseudo-terminal) is another node, even under the same
// path. Empty when the name leads to nothing there.
struct DeviceNode {
    std::string path;
    std::int64_t madeNs = 0;
    bool operator==(const DeviceNode&) const = default;
};
std::optional<DeviceNode> deviceNode(const std::string& name);

// "COM3" gives 3; 0 for anything that is not COM followed by a number from 1.
int comNumber(const std::string& name);

}  // namespace serial
