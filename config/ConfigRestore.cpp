#include "config/ConfigRestore.h"

#include <QCoreApplication>

#include "config/ParamsWrite.h"
#include "link/RSLib.h"

namespace {

// After the end of a configuration the box takes three seconds before it measures again.
constexpr int boxPauseMs = 3000;

ParamsValues paramsOf(const boxconfig::BoxConfig& file) {
    ParamsValues values;
    for (std::size_t i = 0; i < 3; ++i) {
        // As the parameters dialog sends a calibration of six decimals.
        values.calibration[i] = static_cast<double>(file.calibrationMillionths[i]) / 1000000.0;
        values.resolutionCodes[i] = static_cast<std::uint8_t>(file.resolutionCodes[i]);
        values.lineCounts[i] = file.lineCounts[i];
    }
    values.dimensionTypes = file.dimensionTypes;
    return values;
}

QString notWritten(const QString& why) {
    return QCoreApplication::translate("ConfigRestore", "%1 Nic nie zostało zapisane w urządzeniu.")
        .arg(why);
}

// "<what failed> <this>".
QString partlyWritten(const QString& what) {
    return QCoreApplication::translate(
               "ConfigRestore",
               "%1 Urządzenie może mieć teraz część konfiguracji z pliku; powtórz odtwarzanie "
               "konfiguracji.")
        .arg(what);
}

}  // namespace

ConfigRestore::ConfigRestore(TRS232Service& service, platform::Clock& clock)
    : service_(service), chain_(service, clock), read_(service), pause_(boxPauseMs, clock) {}

ConfigRestore::~ConfigRestore() = default;

void ConfigRestore::stage(Stage s) {
    if (onStage) onStage(s);
}

void ConfigRestore::start(const boxconfig::BoxConfig& file) {
    file_ = file;
    running_ = true;
    stage(Stage::Checking);
    read_.onRead = [this](const boxconfig::BoxConfig& box) { checked(box); };
    read_.onFailed = [this](const QString& why) { finish(false, false, notWritten(why)); };
    read_.start(true);
}

void ConfigRestore::checked(const boxconfig::BoxConfig& box) {
    if (const auto mismatch = boxconfig::kindMismatch(file_, box.deviceKind)) {
        finish(false, false, notWritten(QString::fromStdString(*mismatch)));
        return;
    }
    stage(Stage::Parameters);
    chain_.onFailed = [this] {
        finish(false, true,
               partlyWritten(
                   QCoreApplication::translate("ConfigRestore", "Parametry nie zostały wysłane.")));
    };
    chain_.onSent = [this] {
        pause_.OnTimer = [this] {
            pause_.SetEnabled(false);
            boxconfig::hasCorrections(file_.deviceKind) ? writeCorrections() : readBack();
        };
        pause_.SetEnabled(true);
    };
    const bool started =
        writeParams(chain_, service_, paramsOf(file_),
                    [this](std::function<void()> step) { return chain_.start(std::move(step)); });
    if (!started) finish(false, false, notWritten(configtexts::openFailed()));
}

void ConfigRestore::writeCorrections() {
    stage(Stage::Corrections);
    chain_.onFailed = [this] {
        finish(false, true,
               partlyWritten(QCoreApplication::translate("ConfigRestore",
                                                         "Tabele korekcji nie zostały wysłane.")));
    };
    chain_.onSent = [this] {
        pause_.OnTimer = [this] {
            pause_.SetEnabled(false);
            readBack();
        };
        pause_.SetEnabled(true);
    };
    if (!chain_.start([this] { chain_.finish(); })) {
        finish(false, true, partlyWritten(configtexts::openFailed()));
        return;
    }
    const auto& t = file_.corrections;
    service_.WriteCorrections(file_.correctionRows, file_.correctionFlags, t[0], t[1], t[2]);
}

void ConfigRestore::readBack() {
    stage(Stage::ReadingBack);
    read_.onRead = [this](const boxconfig::BoxConfig& box) { compareReadBack(box); };
    read_.onFailed = [this](const QString& why) {
        finish(false, true,
               QCoreApplication::translate(
                   "ConfigRestore",
                   "Konfiguracja została wysłana, ale jej odczyt kontrolny nie powiódł się: %1 "
                   "Nie wiadomo, czy urządzenie ją przechowuje.")
                   .arg(why));
    };
    read_.start();
}

void ConfigRestore::compareReadBack(const boxconfig::BoxConfig& box) {
    if (box == file_) {
        finish(true, true,
               QCoreApplication::translate(
                   "ConfigRestore",
                   "Konfiguracja z pliku została zapisana w urządzeniu i potwierdzona odczytem."));
        return;
    }
    QString differing;
    for (const boxconfig::Difference& d : boxconfig::compare(box, file_)) {
        if (!d.changed) continue;
        differing += QStringLiteral("\r\n") +
                     QCoreApplication::translate("ConfigRestore", "%1%2 = %3 (w pliku %4)")
                         .arg(QString::fromStdString(d.axis.empty() ? "" : d.axis + ": "),
                              QString::fromStdString(d.field), QString::fromStdString(d.now),
                              QString::fromStdString(d.fromFile));
    }
    finish(false, true,
           QCoreApplication::translate(
               "ConfigRestore",
               "Urządzenie nie przechowuje konfiguracji z pliku. Odczytano inne wartości:") +
               differing);
}

void ConfigRestore::finish(bool holds, bool written, const QString& text) {
    if (!running_) return;
    running_ = false;
    pause_.SetEnabled(false);
    if (onFinished) onFinished(holds, written, text);
}
