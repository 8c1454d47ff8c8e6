// The box's configuration as the last link start read it, kept for a backup in a file.
#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include "config/ConfigFile.h"
#include "platform/Files.h"
#include "readout/MainUnit.h"
#include "readout/Texts.h"

void TmainForm::keepCalibrationRead(const long double (&values)[3]) {
    calibrationReading_ = {values[0], values[1], values[2]};
    for (std::size_t i = 0; i < 3; ++i)
        boxReading_.calibrationMillionths[i] = boxconfig::millionthsOf(values[i]);
}

void TmainForm::keepCorrectionsRead(std::uint8_t count, std::uint32_t flags,
                                    const TCorrectionTable* const (&tables)[3]) {
    boxReading_.correctionRows = count;
    boxReading_.correctionFlags = flags;
    for (std::size_t i = 0; i < 3; ++i) boxReading_.corrections[i] = *tables[i];
}

QString TmainForm::configFileFilter() const {
    return tr("Konfiguracja KVT 3 (*.ini);;Wszystkie pliki (*)");
}

QString TmainForm::configurationNotReadText() const {
    // A box of no known kind has no configuration this program can read.
    if (unknownDevice_) return texts::unknownDevice();
    return tr(
        "Konfiguracja urządzenia nie została jeszcze odczytana. "
        "Najpierw wykonaj test łącza RS.");
}

QString TmainForm::askConfigPath() {
    if (askConfigPath_) return askConfigPath_();
    return QFileDialog::getSaveFileName(this, tr("Zapisz konfigurację urządzenia"),
                                        workDir + QLatin1Char('/') + tr("kvt3-konfiguracja.ini"),
                                        configFileFilter());
}

void TmainForm::saveConfigMMIClick() {
    if (!configurationRead_) {
        message(configurationNotReadText());
        return;
    }
    // A file this program could not read back is no backup: what it refuses is told now,
    // while the operator can still put the value right in the box.
    const boxconfig::ReadResult check = boxconfig::parseConfig(boxconfig::configText(boxRead_));
    std::optional<std::string> refusal = boxconfig::calibrationBeyondFile(calibrationRead_);
    if (!check.config || !(*check.config == boxRead_)) refusal = check.error;
    if (refusal) {
        message(tr("Konfiguracji urządzenia nie można zapisać: %1")
                    .arg(QString::fromStdString(*refusal)));
        return;
    }
    const QString path = askConfigPath();
    if (path.isEmpty()) return;
    int error = 0;
    if (boxconfig::saveConfigFile(QFile::encodeName(path).toStdString(), boxRead_, &error))
        message(tr("Konfigurację urządzenia zapisano w pliku %1.").arg(path));
    else
        message(tr("Nie udało się zapisać pliku %1: %2.")
                    .arg(path, QString::fromStdString(platform::fileErrorText(error))));
}

void TmainForm::restoreConfigMMIClick() {
    // The comparison is made with what the last link start read; without it there is nothing
    // to show the operator what would change.
    if (!configurationRead_) {
        message(configurationNotReadText());
        return;
    }
    const QString path =
        askRestorePath_ ? askRestorePath_()
                        : QFileDialog::getOpenFileName(this, tr("Odtwórz konfigurację urządzenia"),
                                                       workDir, configFileFilter());
    if (path.isEmpty()) return;
    const boxconfig::ReadResult file =
        boxconfig::loadConfigFile(QFile::encodeName(path).toStdString());
    std::optional<std::string> refusal;
    if (!file.config)
        refusal = file.error;
    else
        refusal = boxconfig::kindMismatch(*file.config, boxRead_.deviceKind);
    if (refusal) {
        message(tr("Pliku %1 nie można odtworzyć: %2 Nic nie zostało zapisane w urządzeniu.")
                    .arg(path, QString::fromStdString(*refusal)));
        return;
    }
    restoreFile_ = *file.config;
    restorePath_ = path;
    requestDialog(restoreTimer, &TmainForm::openRestoreDialog);
}
