#include "app/ConfigCommands.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <algorithm>
#include <array>
#include <exception>
#include <istream>
#include <optional>
#include <ostream>

#include "app/SignalWatch.h"
#include "config/ConfigFile.h"
#include "config/ConfigRead.h"
#include "config/ConfigRestore.h"
#include "link/RSLib.h"
#include "platform/Files.h"
#include "readout/SettingsFile.h"

namespace {

std::string utf8(const QString& text) {
    // The box's messages carry CR LF for the message boxes; a terminal wants LF.
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t.toStdString();
}

// The port, held from the command's first exchange with the box to its end: no other program's
// exchange comes between the command's reads, the question and the restore's writes.
class HeldPort {
public:
    explicit HeldPort(TRS232Service& service) : service_(service) {}
    ~HeldPort() {
        try {
            if (service_.Comm().Active()) service_.Close();
        } catch (const std::exception&) {
            // The command is over; a port that will not close has nothing to add.
        }
    }
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

private:
    TRS232Service& service_;
};

// The box's configuration, or nothing with the reason on `err`. Runs the event loop meanwhile;
// the port stays open (HeldPort). `calibration` gets the calibrations as the box reported them.
std::optional<boxconfig::BoxConfig> readBox(TRS232Service& service, std::ostream& err,
                                            std::array<long double, 3>* calibration = nullptr) {
    ConfigRead read(service);
    read.holdPort = true;
    QEventLoop loop;
    std::optional<boxconfig::BoxConfig> result;
    read.onRead = [&](const boxconfig::BoxConfig& config) {
        result = config;
        loop.quit();
    };
    read.onFailed = [&](const QString& why) {
        err << "kvt3: the box's configuration could not be read on " << service.GetPortName()
            << ": " << utf8(why) << "\n";
        loop.quit();
    };
    read.start();
    if (read.running()) loop.exec();
    if (calibration) *calibration = read.calibrationAsReported();
    return result;
}

// A column as wide as `width` characters on a terminal, whatever the letters' bytes.
std::string padded(const std::string& text, int width) {
    const QString t = QString::fromStdString(text);
    return t.leftJustified(width, u' ').toStdString();
}

void printComparison(const boxconfig::BoxConfig& box,
                     const std::array<long double, 3>& boxCalibration,
                     const boxconfig::BoxConfig& file, std::ostream& out) {
    const std::vector<boxconfig::Difference> rows = boxconfig::compare(box, file, &boxCalibration);
    // The window's restore dialog has the same headings: one translation serves both.
    const auto heading = [](const char* text) {
        return QCoreApplication::translate("RestoreDialog", text).toStdString();
    };
    const std::string titles[] = {heading("Wartość"), heading("W urządzeniu"), heading("Z pliku")};
    const std::string changed =
        QCoreApplication::translate("RestoreDialog", "zmiana").toUpper().toStdString();
    const std::string same =
        QCoreApplication::translate("RestoreDialog", "bez zmian").toStdString();
    // Each column as wide as its longest text, two blanks between columns.
    std::array<int, 3> width{};
    for (std::size_t c = 0; c < 3; ++c)
        width[c] = static_cast<int>(QString::fromStdString(titles[c]).size());
    for (const boxconfig::Difference& d : rows) {
        const std::string* texts[] = {&d.field, &d.now, &d.fromFile};
        for (std::size_t c = 0; c < 3; ++c)
            width[c] =
                std::max(width[c], static_cast<int>(QString::fromStdString(*texts[c]).size()));
    }
    out << padded(heading("Oś"), 6) << padded(titles[0], width[0] + 2)
        << padded(titles[1], width[1] + 2) << padded(titles[2], width[2] + 2) << "\n";
    for (const boxconfig::Difference& d : rows) {
        out << padded(d.axis, 6) << padded(d.field, width[0] + 2) << padded(d.now, width[1] + 2)
            << padded(d.fromFile, width[2] + 2) << (d.changed ? changed : same) << "\n";
    }
}

bool confirmed(std::istream& in, std::ostream& out) {
    out << "Write this configuration to the box? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(in, answer)) {
        out << "\n";
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "t" || answer == "T" ||
           answer == "tak";
}

}  // namespace

std::string settingsPortName() {
    const std::optional<std::string> content = readout::readSettingsFile("params.kv3");
    const readout::Settings settings = readout::parseSettings(content.value_or(""));
    return "COM" + std::to_string(settings.port.value_or(1));
}

int saveConfigCommand(TRS232Service& service, const std::string& path, std::ostream& out,
                      std::ostream& err) {
    // A reply can be garbled into values the box would hold just as well: a backup is taken
    // only when two reads agree.
    const HeldPort held(service);
    std::array<long double, 3> calibration{};
    const std::optional<boxconfig::BoxConfig> box = readBox(service, err, &calibration);
    if (!box) return configFailed;
    const std::optional<boxconfig::BoxConfig> again = readBox(service, err);
    if (!again) return configFailed;
    if (!(*again == *box)) {
        err << "kvt3: two reads of the box's configuration differ (a noisy line?); nothing was "
               "saved: run the command again.\n";
        return configFailed;
    }
    const std::optional<std::string> refusal = boxconfig::notKeptInFile(*box, calibration);
    if (refusal) {
        err << "kvt3: the box's configuration cannot be kept in a file: " << *refusal << "\n";
        return configFailed;
    }
    int error = 0;
    if (!boxconfig::saveConfigFile(path, *box, &error)) {
        err << "kvt3: cannot write " << path << ": " << platform::fileErrorText(error) << "\n";
        return configFailed;
    }
    out << "The configuration of the kind " << box->deviceKind << " box on "
        << service.GetPortName() << " was saved to " << path << ".\n";
    return 0;
}

int restoreConfigCommand(TRS232Service& service, platform::Clock& clock, const std::string& path,
                         bool yes, std::istream& in, std::ostream& out, std::ostream& err) {
    const boxconfig::ReadResult file = boxconfig::loadConfigFile(path);
    if (!file.config) {
        err << "kvt3: " << path << " is refused, nothing was written: " << file.error << "\n";
        return configRefused;
    }
    const HeldPort held(service);
    std::array<long double, 3> calibration{};
    const std::optional<boxconfig::BoxConfig> box = readBox(service, err, &calibration);
    if (!box) return configFailed;
    if (const auto mismatch = boxconfig::kindMismatch(*file.config, box->deviceKind)) {
        err << "kvt3: " << path << " is refused, nothing was written: " << *mismatch << "\n";
        return configRefused;
    }
    printComparison(*box, calibration, *file.config, out);
    if (!yes && !confirmed(in, out)) {
        err << "kvt3: nothing was written.\n";
        return configRefused;
    }

    ConfigRestore restore(service, clock);
    QEventLoop loop;
    int status = configFailed;
    // Ctrl-C, SIGTERM or a closed terminal while the box is written: the writes stop where they
    // are, and what the box may now hold is said before the program ends by the signal.
    int interruptedBy = 0;
    const SignalWatch watch([&](int signalNumber) {
        interruptedBy = signalNumber;
        restore.interrupt();
    });
    restore.onStage = [&](ConfigRestore::Stage stage) {
        static const char* const names[] = {"checking the box", "writing the parameters",
                                            "writing the correction tables", "reading back"};
        out << "kvt3: " << names[static_cast<int>(stage)] << "…\n" << std::flush;
    };
    restore.onFinished = [&](bool holds, bool, const QString& text) {
        (holds ? out : err) << (holds ? "" : "kvt3: ") << utf8(text) << "\n";
        status = holds ? 0 : configFailed;
        loop.quit();
    };
    restore.start(*file.config);
    if (restore.running()) loop.exec();
    return interruptedBy != 0 ? configInterrupted + interruptedBy : status;
}
