#pragma once

#include <QString>
#include <array>
#include <exception>
#include <functional>
#include <string>

#include "config/ConfigFile.h"

class TRS232Service;

// Reads the box's whole configuration in the order of the link start: readiness (the device
// kind), calibration, resolution (with the types for kinds 2 to 4), the types for kind 1, the
// line counts and, for kinds 2 to 4, the correction tables. Reads only: the figures are the main
// window's business. The port is closed when the read ends either way, unless it is to be held.
class ConfigRead {
public:
    explicit ConfigRead(TRS232Service& service);
    ~ConfigRead();
    ConfigRead(const ConfigRead&) = delete;
    ConfigRead& operator=(const ConfigRead&) = delete;

    std::function<void(const boxconfig::BoxConfig&)> onRead;
    // Why the read stopped, as the operator is told: the port, a box of no known kind, a value
    // refused or received with a line error, silence, a link error.
    std::function<void(const QString& why)> onFailed;
    // With `readyOnly` the read stops after the readiness: the config then holds only the kind.
    void start(bool readyOnly = false);
    bool running() const { return running_; }
    // The port stays open when the read ends, for what the caller does next with the box: no
    // other program can come between (the caller lets it go). A port already open is purged
    // and used as it is.
    bool holdPort = false;
    // Stops a read under way; neither onRead nor onFailed is told.
    void cancel();
    // The calibrations of the last read as the box reported them, before they were cut to the
    // millionths the configuration keeps.
    const std::array<long double, 3>& calibrationAsReported() const { return calibration_; }

private:
    void readyReceived(bool accepted);
    void calibrationReceived(long double x, long double y, long double z);
    void resolutionReceived(std::uint8_t x, std::uint8_t y, std::uint8_t z);
    void dimensionTypesReceived(std::uint8_t bits);
    void lineCountsReceived(std::int32_t x, std::int32_t y, std::int32_t z);
    void correctionsReceived(std::uint8_t count, std::uint32_t flags, const TCorrectionTable& x,
                             const TCorrectionTable& y, const TCorrectionTable& z);
    void bind();
    void unbind();
    // Unbinds and lets the port go.
    void end();
    void finish();
    void fail(const QString& why);

    TRS232Service& service_;
    boxconfig::BoxConfig read_;
    std::array<long double, 3> calibration_{};
    bool readyOnly_ = false;
    bool running_ = false;
};

namespace configtexts {
QString openFailed();
// The port's opening failed with `failure`: "Błąd przy nawiązaniu połączenia.", and when another
// program holds the port, that it does.
QString openFailed(const std::exception& failure, const std::string& port);
// "" unless `failure` is the port held by another program; then that sentence, after a line end.
QString portInUse(const std::exception& failure, const std::string& port);
QString unknownDevice();
QString badParameter();
QString noAnswer();
}  // namespace configtexts
