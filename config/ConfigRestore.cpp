#include "config/ConfigRestore.h"

#include <QCoreApplication>

#include "config/ParamsWrite.h"
#include "link/RSLib.h"

namespace {

// After the end of a configuration the box takes three seconds before it measures again.
constexpr int boxPauseMs = 3000;

ParamsValues paramsOf(const boxconfig::BoxConfig& file, bool writeCalibration) {
    ParamsValues values;
    for (std::size_t i = 0; i < 3; ++i) {
        // As the parameters dialog sends a calibration of six decimals.
        values.calibration[i] = static_cast<double>(file.calibrationMillionths[i]) / 1000000.0;
        values.resolutionCodes[i] = static_cast<std::uint8_t>(file.resolutionCodes[i]);
        values.lineCounts[i] = file.lineCounts[i];
    }
    values.dimensionTypes = file.dimensionTypes;
    values.writeCalibration = writeCalibration;
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
    : service_(service), chain_(service, clock), read_(service), pause_(boxPauseMs, clock) {
    read_.holdPort = true;
    chain_.holdPort = true;
}

ConfigRestore::~ConfigRestore() = default;

void ConfigRestore::stage(Stage s) {
    stage_ = s;
    if (onStage) onStage(s);
}

void ConfigRestore::start(const boxconfig::BoxConfig& file) {
    file_ = file;
    running_ = true;
    parametersSent_ = correctionsSent_ = false;
    stage(Stage::Checking);
    // The whole configuration: a box of another kind is told apart, and what it already holds
    // is not written again.
    read_.onRead = [this](const boxconfig::BoxConfig& box) { checked(box); };
    read_.onFailed = [this](const QString& why) { finish(false, false, notWritten(why)); };
    read_.start();
}

void ConfigRestore::checked(const boxconfig::BoxConfig& box) {
    if (const auto mismatch = boxconfig::kindMismatch(file_, box.deviceKind)) {
        finish(false, false, notWritten(QString::fromStdString(*mismatch)));
        return;
    }
    writes_ = boxconfig::writesFor(box, read_.calibrationAsReported(), file_);
    if (writes_.parameters)
        writeParameters();
    else if (writes_.corrections)
        writeCorrections();
    else
        finish(true, false,
               QCoreApplication::translate("ConfigRestore",
                                           "Urządzenie już przechowuje konfigurację z pliku; nic "
                                           "nie zostało zapisane."));
}

void ConfigRestore::writeParameters() {
    stage(Stage::Parameters);
    chain_.onFailed = [this] {
        finish(false, true,
               partlyWritten(
                   QCoreApplication::translate("ConfigRestore", "Parametry nie zostały wysłane.")));
    };
    chain_.onSent = [this] {
        parametersSent_ = true;
        pauseThen(writes_.corrections ? &ConfigRestore::writeCorrections
                                      : &ConfigRestore::readBack);
    };
    const bool started =
        writeParams(chain_, service_, paramsOf(file_, writes_.calibration),
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
        correctionsSent_ = true;
        pauseThen(&ConfigRestore::readBack);
    };
    if (!chain_.start([this] { chain_.finish(); })) {
        finish(false, parametersSent_, partlyWritten(configtexts::openFailed()));
        return;
    }
    const auto& t = file_.corrections;
    service_.WriteCorrections(file_.correctionRows, file_.correctionFlags, t[0], t[1], t[2]);
}

void ConfigRestore::pauseThen(void (ConfigRestore::*next)()) {
    pause_.OnTimer = [this, next] {
        pause_.SetEnabled(false);
        (this->*next)();
    };
    pause_.SetEnabled(true);
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

QString readBackDifferences(const boxconfig::BoxConfig& box,
                            const std::array<long double, 3>& boxCalibration,
                            const boxconfig::BoxConfig& file) {
    QString differing;
    // Every field has its line in the comparison, so whatever differs is named.
    for (const boxconfig::Difference& d : boxconfig::compare(box, file, &boxCalibration)) {
        if (!d.changed) continue;
        differing += QStringLiteral("\r\n") +
                     QCoreApplication::translate("ConfigRestore", "%1%2 = %3 (w pliku %4)")
                         .arg(QString::fromStdString(d.axis.empty() ? "" : d.axis + ": "),
                              QString::fromStdString(d.field), QString::fromStdString(d.now),
                              QString::fromStdString(d.fromFile));
    }
    return differing;
}

void ConfigRestore::compareReadBack(const boxconfig::BoxConfig& box) {
    const QString differing = readBackDifferences(box, read_.calibrationAsReported(), file_);
    if (differing.isEmpty()) {
        finish(true, true,
               QCoreApplication::translate(
                   "ConfigRestore",
                   "Konfiguracja z pliku została zapisana w urządzeniu i potwierdzona odczytem."));
        return;
    }
    finish(false, true,
           QCoreApplication::translate(
               "ConfigRestore",
               "Urządzenie nie przechowuje konfiguracji z pliku. Odczytano inne wartości:") +
               differing);
}

void ConfigRestore::interrupt() {
    if (!running_) return;
    const QString text = interruptedText();
    read_.cancel();
    chain_.abandon();
    finish(false, stage_ != Stage::Checking, text);
}

QString ConfigRestore::interruptedText() const {
    const bool parametersHeld = parametersSent_ || !writes_.parameters;
    const bool correctionsHeld = correctionsSent_ || !writes_.corrections;
    if (stage_ == Stage::Checking)
        return notWritten(
            QCoreApplication::translate("ConfigRestore", "Odtwarzanie konfiguracji przerwane."));
    if (parametersHeld && correctionsHeld)
        return QCoreApplication::translate(
            "ConfigRestore",
            "Odtwarzanie konfiguracji przerwane przed końcem odczytu kontrolnego. Cała "
            "konfiguracja z pliku została wysłana do urządzenia, ale nie została "
            "potwierdzona odczytem; powtórz odtwarzanie konfiguracji.");
    if (!parametersHeld)
        return QCoreApplication::translate(
            "ConfigRestore",
            "Odtwarzanie konfiguracji przerwane w czasie zapisu parametrów. Urządzenie może "
            "mieć teraz część parametrów z pliku, a resztę dawnych, i dawne tabele "
            "korekcji; powtórz odtwarzanie konfiguracji.");
    if (stage_ == Stage::Corrections)
        return QCoreApplication::translate(
            "ConfigRestore",
            "Odtwarzanie konfiguracji przerwane w czasie zapisu tabel korekcji. Urządzenie "
            "ma parametry z pliku, a jego tabele korekcji mogą być zapisane tylko w części; "
            "powtórz odtwarzanie konfiguracji.");
    return QCoreApplication::translate(
        "ConfigRestore",
        "Odtwarzanie konfiguracji przerwane po zapisie parametrów. Urządzenie ma parametry "
        "z pliku, ale dawne tabele korekcji; powtórz odtwarzanie konfiguracji.");
}

void ConfigRestore::finish(bool holds, bool written, const QString& text) {
    if (!running_) return;
    running_ = false;
    pause_.SetEnabled(false);
    // The port was held from the first read on: it is let go only now.
    try {
        if (service_.Comm().Active()) service_.Close();
    } catch (const std::exception&) {
        // The restore is over either way; a port that will not close has nothing to add.
    }
    if (onFinished) onFinished(holds, written, text);
}
