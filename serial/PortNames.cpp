#include "serial/PortNames.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <system_error>

namespace serial {

namespace fs = std::filesystem;

namespace {

struct Choices {
    std::mutex mutex;
    std::map<int, std::string> overrides;
    std::string root = "/";
};

Choices& choices() {
    static Choices c;
    return c;
}

// "ttyS10" gives ("ttyS", 10); a name without a trailing number has number -1.
std::pair<std::string, long> splitNumber(const std::string& name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    long n = -1;
    if (digits < name.size()) std::from_chars(name.data() + digits, name.data() + name.size(), n);
    return {name.substr(0, digits), n};
}

// ttyS2 before ttyS10: by prefix, then by number.
bool naturalLess(const std::string& a, const std::string& b) {
    return splitNumber(a) < splitNumber(b);
}

std::string linkTarget(const fs::path& link) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    return ec ? std::string() : target.string();
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

bool uartFitted(const std::string& sysEntry, const std::string& device) {
    // The attribute needs no open: opening a port raises its modem lines, which a device on it
    // may notice. It is readable by root only on many systems, hence the fallback.
    std::ifstream typeFile(sysEntry + "/type");
    long type = -1;
    if (typeFile >> type) return type != PORT_UNKNOWN;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct ss{};
    const bool fitted = ::ioctl(fd, TIOCGSERIAL, &ss) == 0 && ss.type != PORT_UNKNOWN;
    ::close(fd);
    return fitted;
}

std::vector<SystemPort> systemPorts(const std::string& root, const UartProbe& probe) {
    const fs::path base(root);
    const fs::path classDir = base / "sys/class/tty";
    std::vector<std::string> onBoard, usb;
    std::error_code ec;
    for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string target = linkTarget(it->path());
        // Consoles, pseudo-terminals and the like live under devices/virtual.
        if (target.empty() || contains(target, "/virtual/")) continue;
        if (contains(target, "/usb")) {
            usb.push_back(name);
            continue;
        }
        // The 8250 driver registers its legacy ports whether the hardware is there or not;
        // serial-core ports say which with their "type". Since the serial-base bus (Linux 6.5)
        // the tty's device is a port device whose driver is not serial8250 any more, so the
        // driver's name alone misses them.
        const std::string driver =
            fs::path(linkTarget(it->path() / "device/driver")).filename().string();
        std::error_code typeError;
        const bool mayBeAbsent = driver == "serial8250" || contains(target, "/serial8250/") ||
                                 fs::exists(it->path() / "type", typeError);
        if (mayBeAbsent && !(probe && probe(it->path().string(), (base / "dev" / name).string())))
            continue;
        onBoard.push_back(name);
    }
    std::sort(onBoard.begin(), onBoard.end(), naturalLess);

    std::vector<SystemPort> ports;
    for (const auto& name : onBoard) ports.push_back({"/dev/" + name, name});

    // USB adapters by their stable names; their links point at the kernel's node. An adapter
    // may have more than one (a stale link, a local rule adding one): it is one port, under
    // the first of them.
    std::vector<std::pair<std::string, std::string>> byId;  // (by-id name, kernel name)
    const fs::path byIdDir = base / "dev/serial/by-id";
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string kernel = fs::path(linkTarget(it->path())).filename().string();
        byId.emplace_back(it->path().filename().string(), kernel);
    }
    std::sort(byId.begin(), byId.end());
    for (const auto& [id, kernel] : byId) {
        const auto adapter = std::find(usb.begin(), usb.end(), kernel);
        if (adapter == usb.end()) continue;  // not a USB port, or already named
        ports.push_back({"/dev/serial/by-id/" + id, kernel});
        usb.erase(adapter);
    }
    std::sort(usb.begin(), usb.end(), naturalLess);
    for (const auto& name : usb) ports.push_back({"/dev/" + name, name});
    return ports;
}

void setPortOverride(int number, const std::string& device) {
    Choices& c = choices();
    std::lock_guard lock(c.mutex);
    c.overrides[number] = device;
}

void clearPortOverrides() {
    Choices& c = choices();
    std::lock_guard lock(c.mutex);
    c.overrides.clear();
}

void setSystemRoot(const std::string& root) {
    Choices& c = choices();
    std::lock_guard lock(c.mutex);
    c.root = root;
}

int comNumber(const std::string& name) {
    if (name.size() <= 3 || name.compare(0, 3, "COM") != 0) return 0;
    int n = 0;
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    auto [end, ec] = std::from_chars(first, last, n);
    return ec == std::errc() && end == last && n >= 1 ? n : 0;
}

namespace {

enum class Source { none, workingDirectory, commandLine, machine };

struct Resolved {
    Source source = Source::none;
    std::string path;
    std::string kernel;  // machine ports only
};

Resolved resolve(int number) {
    const std::string name = "COM" + std::to_string(number);
    struct stat st;
    if (::lstat(name.c_str(), &st) == 0) return {Source::workingDirectory, name, {}};
    std::string root;
    {
        Choices& c = choices();
        std::lock_guard lock(c.mutex);
        if (auto it = c.overrides.find(number); it != c.overrides.end())
            return {Source::commandLine, it->second, {}};
        root = c.root;
    }
    const auto ports = systemPorts(root);
    const auto index = static_cast<std::size_t>(number - 1);
    if (index < ports.size()) return {Source::machine, ports[index].path, ports[index].kernel};
    return {};
}

}  // namespace

std::string portPath(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    const int number = comNumber(name);
    if (number == 0) return name;
    const Resolved r = resolve(number);
    return r.source == Source::none ? name : r.path;
}

std::optional<DeviceNode> deviceNode(const std::string& name) {
    std::error_code ec;
    const fs::path path = fs::canonical(portPath(name), ec);
    struct stat st;
    if (ec || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    return DeviceNode{path.string(),
                      static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1'000'000'000 +
                          st.st_ctim.tv_nsec};
}

std::string portDescription(int number) {
    const Resolved r = resolve(number);
    switch (r.source) {
        case Source::none:
            return {};
        case Source::workingDirectory: {
            const std::string target = linkTarget(r.path);
            return target.empty() ? "./" + r.path : "./" + r.path + " -> " + target;
        }
        case Source::commandLine:
            return r.path;
        case Source::machine:
            return r.path == "/dev/" + r.kernel ? r.path : r.path + " (" + r.kernel + ")";
    }
    return {};
}

}  // namespace serial
