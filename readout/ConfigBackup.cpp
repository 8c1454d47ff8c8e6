// The box's configuration in a file: saved as the box holds it, and restored to it.
#include <QAction>
#include <QFileDialog>
#include <QMenu>

#include "config/BoxReadDialog.h"
#include "config/ConfigFile.h"
#include "config/RestoreDialog.h"
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
    const QString path = askConfigPath();
    if (path.isEmpty()) return;
    // The link may have been lost since, and another box may answer on the port: what is saved
    // is read from the box now, between two position requests, as a dialog opens.
    savePath_ = path;
    saveRequested_ = true;
    requestDialog(restoreTimer, &TmainForm::openRestoreDialog);
}

void TmainForm::runConfigFileTask() {
    if (saveRequested_) {
        saveRequested_ = false;
        saveBoxRead();
        return;
    }
    restoreForm_->compareWithBox(restoreFile_, restorePath_);
    prompts_.execModal(*restoreForm_);
}

void TmainForm::saveBoxRead() {
    BoxReadDialog reading(service_, this);
    reading.start();
    if (reading.reading()) prompts_.execModal(reading);
    if (!reading.box()) {
        // Stopped by the operator: nothing to tell.
        if (!reading.failure().isEmpty())
            message(tr("Konfiguracji urządzenia nie odczytano: %1 Plik nie został zapisany.")
                        .arg(reading.failure()));
        return;
    }
    const boxconfig::BoxConfig& box = *reading.box();
    if (const auto refusal = boxconfig::notKeptInFile(box, reading.calibrationAsReported())) {
        message(tr("Konfiguracji urządzenia nie można zapisać: %1")
                    .arg(QString::fromStdString(*refusal)));
        return;
    }
    int error = 0;
    if (boxconfig::saveConfigFile(QFile::encodeName(savePath_).toStdString(), box, &error))
        message(tr("Konfigurację urządzenia zapisano w pliku %1.").arg(savePath_));
    else
        message(tr("Nie udało się zapisać pliku %1: %2.")
                    .arg(savePath_, QString::fromStdString(platform::fileErrorText(error))));
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
    saveRequested_ = false;
    requestDialog(restoreTimer, &TmainForm::openRestoreDialog);
}
