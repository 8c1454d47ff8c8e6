// The box's configuration as the last link start read it, kept for a backup in a file.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <algorithm>
#include <limits>

#include "config/ConfigFile.h"
#include "link/WireFormats.h"
#include "readout/MainUnit.h"
#include "readout/Texts.h"

namespace {

std::int32_t millionths(long double value) {
    const long double whole = wire::truncToMeantWhole(value * 1000000.0L);
    return static_cast<std::int32_t>(
        std::clamp(whole, static_cast<long double>(std::numeric_limits<std::int32_t>::min()),
                   static_cast<long double>(std::numeric_limits<std::int32_t>::max())));
}

}  // namespace

void TmainForm::keepCalibrationRead(const long double (&values)[3]) {
    for (std::size_t i = 0; i < 3; ++i) boxRead_.calibrationMillionths[i] = millionths(values[i]);
}

void TmainForm::keepCorrectionsRead(std::uint8_t count, std::uint32_t flags,
                                    const TCorrectionTable* const (&tables)[3]) {
    boxRead_.correctionRows = count;
    boxRead_.correctionFlags = flags;
    for (std::size_t i = 0; i < 3; ++i) boxRead_.corrections[i] = *tables[i];
}

QString TmainForm::askConfigPath() {
    if (askConfigPath_) return askConfigPath_();
    return QFileDialog::getSaveFileName(
        this, QStringLiteral("Zapisz konfigurację urządzenia"),
        workDir + QStringLiteral("/kvt3-konfiguracja.ini"),
        QStringLiteral("Konfiguracja KVT 3 (*.ini);;Wszystkie pliki (*)"));
}

void TmainForm::saveConfigMMIClick() {
    if (!configurationRead_) {
        // A box of no known kind has no configuration this program can read.
        message(unknownDevice_
                    ? texts::unknownDevice()
                    : QStringLiteral("Konfiguracja urządzenia nie została jeszcze odczytana. "
                                     "Najpierw wykonaj test łącza RS."));
        return;
    }
    // A file this program could not read back is no backup: what it refuses is told now,
    // while the operator can still put the value right in the box.
    const boxconfig::ReadResult check = boxconfig::parseConfig(boxconfig::configText(boxRead_));
    if (!check.config || !(*check.config == boxRead_)) {
        message(QStringLiteral("Konfiguracji urządzenia nie można zapisać: %1")
                    .arg(QString::fromStdString(check.error)));
        return;
    }
    const QString path = askConfigPath();
    if (path.isEmpty()) return;
    if (boxconfig::saveConfigFile(QFile::encodeName(path).toStdString(), boxRead_))
        message(QStringLiteral("Konfigurację urządzenia zapisano w pliku %1.").arg(path));
    else
        message(QStringLiteral("Nie udało się zapisać pliku %1.").arg(path));
}
