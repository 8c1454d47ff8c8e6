#include "config/ConfigRead.h"

#include <QCoreApplication>
#include <exception>

#include "link/RSLib.h"
#include "serial/VaComm.h"

QString configtexts::openFailed() {
    return QCoreApplication::translate("ConfigRead", "Błąd przy nawiązaniu połączenia.");
}
QString configtexts::portInUse(const std::exception& failure, const std::string& port) {
    if (!serial::PortInUse(failure)) return {};
    return QStringLiteral("\r\n") +
           QCoreApplication::translate("ConfigRead", "Port %1 jest używany przez inny program.")
               .arg(QString::fromStdString(port));
}
QString configtexts::openFailed(const std::exception& failure, const std::string& port) {
    return openFailed() + portInUse(failure, port);
}
QString configtexts::unknownDevice() {
    return QCoreApplication::translate("ConfigRead", "Nieznany typ urządzenia.");
}
QString configtexts::badParameter() {
    return QCoreApplication::translate("ConfigRead", "Błędna wartość parametru.");
}
QString configtexts::noAnswer() {
    return QCoreApplication::translate("ConfigRead", "Urządzenie nie odpowiada.");
}

ConfigRead::ConfigRead(TRS232Service& service) : service_(service) {}

ConfigRead::~ConfigRead() {
    if (running_) unbind();
}

void ConfigRead::start(bool readyOnly) {
    readyOnly_ = readyOnly;
    read_ = {};
    bind();
    running_ = true;
    try {
        if (service_.Comm().Active() && !holdPort) service_.Close();
        // Open on a port held open only ends what was under way on it; purged, it is as new.
        service_.Purge();
        service_.Open();
    } catch (const std::exception& e) {
        fail(configtexts::openFailed(e, service_.GetPortName()));
        return;
    }
    service_.CheckReadyOnQuietLine();
}

void ConfigRead::cancel() {
    if (running_) end();
}

void ConfigRead::bind() {
    service_.OnAcknowledge = [this](bool accepted) { readyReceived(accepted); };
    service_.OnCalibration = [this](bool valid, long double x, long double y, long double z) {
        valid ? calibrationReceived(x, y, z) : fail(configtexts::badParameter());
    };
    service_.OnResolution = [this](std::uint8_t x, std::uint8_t y, std::uint8_t z, bool valid) {
        valid ? resolutionReceived(x, y, z) : fail(configtexts::badParameter());
    };
    service_.OnDimensionTypes = [this](std::uint8_t bits, bool valid) {
        // Kinds 2 to 4 carry the types in the resolution reply, which reports its own error.
        if (valid)
            dimensionTypesReceived(bits);
        else if (service_.DeviceKind() == 1)
            fail(configtexts::badParameter());
    };
    service_.OnLineCounts = [this](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
        valid ? lineCountsReceived(x, y, z) : fail(configtexts::badParameter());
    };
    service_.OnCorrections = [this](std::uint8_t count, std::uint32_t flags,
                                    const TCorrectionTable& x, const TCorrectionTable& y,
                                    const TCorrectionTable& z, bool valid) {
        valid ? correctionsReceived(count, flags, x, y, z) : fail(configtexts::badParameter());
    };
    // A read is not waited for beyond the service's time-out: nobody sits at a wait dialog.
    service_.OnTimeout = [this] { fail(configtexts::noAnswer()); };
    service_.OnLinkError = [this](std::int32_t code) {
        fail(QCoreApplication::translate("texts", "Urządzenie niedostępne %1.")
                 .arg(QString::fromStdString(ErrorText(code))));
    };
}

void ConfigRead::unbind() {
    service_.OnAcknowledge = nullptr;
    service_.OnCalibration = nullptr;
    service_.OnResolution = nullptr;
    service_.OnDimensionTypes = nullptr;
    service_.OnLineCounts = nullptr;
    service_.OnCorrections = nullptr;
    service_.OnTimeout = nullptr;
    service_.OnLinkError = nullptr;
}

void ConfigRead::readyReceived(bool accepted) {
    const int kind = service_.DeviceKind();
    if (!accepted || kind < 1 || kind > 4) {
        fail(configtexts::unknownDevice());
        return;
    }
    read_.deviceKind = kind;
    if (readyOnly_) {
        finish();
        return;
    }
    service_.ReadCalibration();
}

void ConfigRead::calibrationReceived(long double x, long double y, long double z) {
    // Axes the box does not have keep their values too: a restore gives them back as held.
    calibration_ = {x, y, z};
    const long double values[] = {x, y, z};
    for (std::size_t i = 0; i < 3; ++i)
        read_.calibrationMillionths[i] = boxconfig::millionthsOf(values[i]);
    service_.ReadResolution();
}

void ConfigRead::resolutionReceived(std::uint8_t x, std::uint8_t y, std::uint8_t z) {
    read_.resolutionCodes = {x, y, z};
    if (read_.deviceKind == 1)
        service_.ReadDimensionTypes();
    else
        service_.ReadLineCounts();
}

void ConfigRead::dimensionTypesReceived(std::uint8_t bits) {
    read_.dimensionTypes = bits;
    if (read_.deviceKind == 1) service_.ReadLineCounts();
}

void ConfigRead::lineCountsReceived(std::int32_t x, std::int32_t y, std::int32_t z) {
    read_.lineCounts = {x, y, z};
    if (boxconfig::hasCorrections(read_.deviceKind))
        service_.ReadCorrections();
    else
        finish();
}

void ConfigRead::correctionsReceived(std::uint8_t count, std::uint32_t flags,
                                     const TCorrectionTable& x, const TCorrectionTable& y,
                                     const TCorrectionTable& z) {
    read_.correctionRows = count;
    read_.correctionFlags = flags;
    read_.corrections = {x, y, z};
    finish();
}

void ConfigRead::end() {
    running_ = false;
    unbind();
    if (holdPort) return;
    try {
        if (service_.Comm().Active()) service_.Close();
    } catch (const std::exception&) {
        // The read is over either way; a port that will not close has nothing to add to it.
    }
}

void ConfigRead::finish() {
    end();
    if (onRead) onRead(read_);
}

void ConfigRead::fail(const QString& why) {
    if (!running_) return;
    end();
    if (onFailed) onFailed(why);
}
