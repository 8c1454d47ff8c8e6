#include "config/RestoreDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <exception>
#include <iostream>

#include "link/RSLib.h"
#include "platform/DialogKeys.h"
#include "platform/Prompts.h"
#include "platform/ScreenFit.h"

namespace {

QString stageText(ConfigRestore::Stage stage) {
    switch (stage) {
        case ConfigRestore::Stage::Checking:
            return QCoreApplication::translate("RestoreDialog", "Sprawdzanie urządzenia…");
        case ConfigRestore::Stage::Parameters:
            return QCoreApplication::translate("RestoreDialog", "Zapisywanie parametrów…");
        case ConfigRestore::Stage::Corrections:
            return QCoreApplication::translate("RestoreDialog", "Zapisywanie tabel korekcji…");
        case ConfigRestore::Stage::ReadingBack:
            return QCoreApplication::translate("RestoreDialog", "Odczyt kontrolny…");
    }
    return {};
}

}  // namespace

RestoreDialog::RestoreDialog(TRS232Service& service, platform::Prompts& prompts,
                             platform::Clock& clock, QWidget* parent)
    : QDialog(parent),
      service_(service),
      prompts_(prompts),
      restore_(service, clock),
      read_(service) {
    setWindowTitle(tr("Odtwarzanie konfiguracji"));
    heading_ = new QLabel(this);
    heading_->setWordWrap(true);
    table = new QTableWidget(0, 5, this);
    table->setHorizontalHeaderLabels(
        {tr("Oś"), tr("Wartość"), tr("W urządzeniu"), tr("Z pliku"), tr("Zmiana")});
    table->setAccessibleName(tr("Porównanie urządzenia z plikiem"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Nothing in it is edited: Tab goes on to the buttons instead of from cell to cell.
    table->setTabKeyNavigation(false);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    table->horizontalHeader()->setStretchLastSection(true);
    status = new QLabel(this);
    status->setWordWrap(true);
    writeButton = new QPushButton(tr("Zapisz do urządzenia"), this);
    closeButton = new QPushButton(tr("Zamknij"), this);
    // A look at the comparison never writes: Return presses a button only once the operator
    // has moved to it, the focus starts on the table, and Escape is "Zamknij".
    platform::setUpDialogKeys(
        *this, [this] { return table; }, closeButton);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(writeButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(table, 1);
    layout->addWidget(status);
    layout->addLayout(buttons);
    connect(writeButton, &QPushButton::clicked, this, [this] { writeButtonClick(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { reject(); });
    restore_.onStage = [this](ConfigRestore::Stage stage) { status->setText(stageText(stage)); };
    restore_.onFinished = [this](bool holds, bool, const QString& text) { finished(holds, text); };
}

void RestoreDialog::compareWithBox(const boxconfig::BoxConfig& file, const QString& path) {
    file_ = file;
    restored_ = false;
    table->setRowCount(0);
    heading_->setText(tr("Plik %1.").arg(path));
    status->setText(tr("Odczyt konfiguracji z urządzenia…"));
    writeButton->setEnabled(false);
    closeButton->setEnabled(true);
    // Held from here to the end of the dialog: the restore then writes to the box compared.
    read_.holdPort = true;
    read_.onRead = [this, file, path](const boxconfig::BoxConfig& box) {
        setComparison(box, file, path, &read_.calibrationAsReported());
    };
    read_.onFailed = [this](const QString& why) {
        status->setText(
            tr("Konfiguracji urządzenia nie odczytano: %1 Nic nie zostało zapisane w urządzeniu.")
                .arg(why));
    };
    read_.start();
}

void RestoreDialog::setComparison(const boxconfig::BoxConfig& box, const boxconfig::BoxConfig& file,
                                  const QString& path,
                                  const std::array<long double, 3>* boxCalibration) {
    file_ = file;
    restored_ = false;
    const std::vector<boxconfig::Difference> rows = boxconfig::compare(box, file, boxCalibration);
    int changes = 0;
    table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        const boxconfig::Difference& d = rows[static_cast<std::size_t>(r)];
        changes += d.changed ? 1 : 0;
        const QString cells[] = {QString::fromStdString(d.axis), QString::fromStdString(d.field),
                                 QString::fromStdString(d.now), QString::fromStdString(d.fromFile),
                                 d.changed ? tr("zmiana") : tr("bez zmian")};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            QFont font = item->font();
            font.setBold(d.changed);
            item->setFont(font);
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
    // The buttons stay on the screen of a panel PC; the table scrolls instead.
    platform::resizeWithinScreen(*this, QSize(640, 520));
    heading_->setText(tr("Plik %1 względem konfiguracji odczytanej z urządzenia: %2.")
                          .arg(path, changes == 0 ? tr("bez zmian")
                                                  : tr("zmienionych wartości: %1").arg(changes)));
    const auto mismatch = boxconfig::kindMismatch(file, box.deviceKind);
    status->setText(mismatch ? tr("Pliku nie można odtworzyć: %1 Nic nie zostało zapisane w "
                                  "urządzeniu.")
                                   .arg(QString::fromStdString(*mismatch))
                             : tr("Nic nie zostało jeszcze zapisane w urządzeniu."));
    writeButton->setEnabled(!mismatch);
    closeButton->setEnabled(true);
}

void RestoreDialog::writeButtonClick() {
    if (restore_.running()) return;
    writeButton->setEnabled(false);
    closeButton->setEnabled(false);
    restored_ = false;
    restore_.start(file_);
}

void RestoreDialog::finished(bool holds, const QString& text) {
    restored_ = holds;
    status->setText(text);
    closeButton->setEnabled(true);
    // A failed restore may be tried again; a done one has nothing left to write.
    writeButton->setEnabled(!holds);
    if (closing_) {
        // The program is ending: a message box would hold it up, and the window is going.
        std::cerr
            << "kvt3: "
            << QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).toStdString()
            << std::endl;
        return;
    }
    prompts_.showMessage(text);
}

void RestoreDialog::reject() {
    if (restore_.running()) return;
    QDialog::reject();
}

void RestoreDialog::done(int result) {
    if (restore_.running()) {
        closing_ = true;
        restore_.interrupt();
        closing_ = false;
    }
    read_.cancel();
    try {
        if (service_.Comm().Active()) service_.Close();
    } catch (const std::exception&) {
        // The dialog closes either way; a port that will not close has nothing to add.
    }
    QDialog::done(result);
}

void RestoreDialog::closeEvent(QCloseEvent* event) {
    if (restore_.running()) {
        // The operator's close (the title bar's button, Alt+F4) waits for the writes; the
        // program's own (on a signal) stops them and says what the box may now hold.
        if (event->spontaneous()) {
            event->ignore();
            return;
        }
        done(Rejected);
    }
    QDialog::closeEvent(event);
}
