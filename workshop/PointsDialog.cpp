#include "workshop/PointsDialog.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/DialogKeys.h"
#include "platform/Files.h"
#include "platform/Prompts.h"
#include "workshop/PatternDialog.h"

namespace workshop {

namespace {

constexpr int nameColumn = 0;
// A cell's exact value in the box's unit, beside the text it shows.
constexpr int exactValueRole = Qt::UserRole + 1;

QPushButton* button(const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

PointsDialog::PointsDialog(platform::Prompts& prompts, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
    setWindowTitle(tr("Punkty"));
    auto* outer = new QVBoxLayout(this);
    note_ = new QLabel(this);
    note_->setWordWrap(true);
    note_->hide();
    outer->addWidget(note_);
    auto* middle = new QHBoxLayout;
    table = new QTableWidget(0, 4, this);
    table->setAccessibleName(tr("Lista punktów"));
    table->verticalHeader()->setDefaultSectionSize(26);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table->setTabKeyNavigation(false);
    middle->addWidget(table, 1);
    auto* side = new QVBoxLayout;
    addButton = button(tr("&Dodaj"), this);
    removeButton = button(tr("&Usuń"), this);
    circleButton = button(tr("&Okrąg otworów…"), this);
    gridButton = button(tr("&Rząd / siatka…"), this);
    importButton = button(tr("&Import CSV…"), this);
    exportButton = button(tr("&Eksport CSV…"), this);
    for (QPushButton* b : {addButton, removeButton, circleButton, gridButton, importButton,
                           exportButton})
        side->addWidget(b);
    side->addStretch(1);
    auto* toleranceLabel = new QLabel(tr("&Tolerancja zera"), this);
    toleranceEdit = new QLineEdit(this);
    toleranceEdit->setMaxLength(12);
    toleranceLabel->setBuddy(toleranceEdit);
    side->addWidget(toleranceLabel);
    side->addWidget(toleranceEdit);
    middle->addLayout(side);
    outer->addLayout(middle, 1);
    auto* bottom = new QHBoxLayout;
    goButton = button(tr("&Jedź do punktu"), this);
    okButton = button(tr("OK"), this);
    okButton->setDefault(true);
    okButton->setAutoDefault(true);
    cancelButton = button(tr("Anuluj"), this);
    bottom->addWidget(goButton);
    bottom->addStretch(1);
    bottom->addWidget(okButton);
    bottom->addWidget(cancelButton);
    outer->addLayout(bottom);
    // Fits a screen of 800x480 with its frame and a panel.
    resize(620, 400);

    connect(addButton, &QPushButton::clicked, this, [this] {
        Point point;
        point.name = "P" + std::to_string(table->rowCount() + 1);
        appendRows({point});
        table->setCurrentCell(table->rowCount() - 1, 1);
        table->setFocus();
    });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (table->currentRow() >= 0) table->removeRow(table->currentRow());
    });
    connect(circleButton, &QPushButton::clicked, this, [this] { addPattern(true); });
    connect(gridButton, &QPushButton::clicked, this, [this] { addPattern(false); });
    connect(importButton, &QPushButton::clicked, this, [this] { importCsv(); });
    connect(exportButton, &QPushButton::clicked, this, [this] { exportCsv(); });
    connect(goButton, &QPushButton::clicked, this, [this] {
        const int row = table->currentRow() >= 0 ? table->currentRow() : 0;
        if (table->rowCount() == 0) return;
        chosen_ = row;
        accept();
    });
    connect(okButton, &QPushButton::clicked, this, [this] {
        chosen_ = -1;
        accept();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    platform::setUpDialogKeys(*this, [this] { return table; }, cancelButton);
}

void PointsDialog::setNote(const QString& note) {
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
}

void PointsDialog::setContent(const Points& points, const Shown& shown, double tolerance,
                              int chosen) {
    shown_ = shown;
    tolerance_ = tolerance;
    AxisView length;
    toleranceEdit->setText(QString::fromStdString(editText(tolerance, length, shown.display)));
    QStringList headers{tr("Nazwa")};
    for (std::size_t i = 0; i < 3; ++i) {
        const AxisView& axis = shown.axes[i];
        headers << QStringLiteral("%1%2 [%3]")
                       .arg(axis.diameter ? QStringLiteral("\u00D8") : QString())
                       .arg(QChar(u"XYZ"[i]))
                       .arg(QString::fromStdString(unitName(axis, shown.display)));
    }
    table->setHorizontalHeaderLabels(headers);
    fillTable(points);
    if (chosen >= 0 && chosen < table->rowCount()) table->setCurrentCell(chosen, 1);
}

void PointsDialog::fillTable(const Points& points) {
    table->setRowCount(0);
    appendRows(points);
}

void PointsDialog::appendRows(const Points& points) {
    for (const Point& point : points) {
        const int row = table->rowCount();
        table->insertRow(row);
        table->setItem(row, nameColumn, new QTableWidgetItem(QString::fromStdString(point.name)));
        for (std::size_t i = 0; i < 3; ++i) {
            auto* cell = new QTableWidgetItem(
                point.at[i] ? QString::fromStdString(
                                  editText(*point.at[i], shown_.axes[i], shown_.display))
                            : QString());
            // The point itself, not only its text: shown in inches the text is rounded, and read
            // back it would move the point.
            if (point.at[i]) cell->setData(exactValueRole, *point.at[i]);
            table->setItem(row, static_cast<int>(i) + 1, cell);
        }
    }
}

bool PointsDialog::readTable(Points& out) {
    out.clear();
    for (int row = 0; row < table->rowCount(); ++row) {
        Point point;
        const QTableWidgetItem* name = table->item(row, nameColumn);
        point.name = name ? name->text().trimmed().left(int(maxNameLength)).toStdString() : "";
        if (point.name.empty()) point.name = "P" + std::to_string(row + 1);
        for (std::size_t i = 0; i < 3; ++i) {
            const QTableWidgetItem* cell = table->item(row, static_cast<int>(i) + 1);
            const QString text = cell ? cell->text().trimmed() : QString();
            if (text.isEmpty()) continue;
            // A cell left as it was shown keeps its exact value; one the operator typed is read.
            const QVariant exact = cell->data(exactValueRole);
            if (exact.isValid() &&
                text == QString::fromStdString(
                            editText(exact.toDouble(), shown_.axes[i], shown_.display))) {
                point.at[i] = exact.toDouble();
                continue;
            }
            point.at[i] = typedValue(text.toStdString(), shown_.axes[i], shown_.display);
            if (!point.at[i]) {
                prompts_.showMessage(tr("Punkt %1, oś %2: „%3” nie jest liczbą.")
                                         .arg(row + 1)
                                         .arg(QChar(u"XYZ"[i]))
                                         .arg(text));
                table->setCurrentCell(row, static_cast<int>(i) + 1);
                table->setFocus();
                return false;
            }
        }
        out.push_back(std::move(point));
    }
    return true;
}

bool PointsDialog::readTolerance() {
    AxisView length;
    const auto tolerance = typedValue(toleranceEdit->text().toStdString(), length, shown_.display);
    if (!tolerance || *tolerance < 0) {
        prompts_.showMessage(tr("Tolerancja zera musi być liczbą nie mniejszą od zera."));
        toleranceEdit->setFocus();
        toleranceEdit->selectAll();
        return false;
    }
    tolerance_ = *tolerance;
    return true;
}

void PointsDialog::accept() {
    Points points;
    if (!readTolerance() || !readTable(points)) return;
    if (static_cast<int>(points.size()) > maxPoints) {
        prompts_.showMessage(tr("Lista może mieć najwyżej %1 punktów.").arg(maxPoints));
        return;
    }
    if (chosen_ >= static_cast<int>(points.size())) chosen_ = -1;
    points_ = std::move(points);
    emit toleranceChanged(tolerance_);
    QDialog::accept();
}

QString PointsDialog::defaultPath(bool save) {
    const QString filter = tr("Pliki CSV (*.csv)");
    return save ? QFileDialog::getSaveFileName(this, tr("Eksport punktów"),
                                               QDir::current().filePath(QStringLiteral("punkty.csv")),
                                               filter)
                : QFileDialog::getOpenFileName(this, tr("Import punktów"), QDir::currentPath(),
                                               filter);
}

void PointsDialog::importCsv() {
    const QString path = askPath ? askPath(false) : defaultPath(false);
    if (path.isEmpty()) return;
    int error = 0;
    const auto text = platform::readRegularFile(QFile::encodeName(path).toStdString(),
                                                maxPointsFileBytes + 1, &error);
    if (!text) {
        prompts_.showMessage(tr("Nie można odczytać pliku: %1.")
                                 .arg(QString::fromStdString(platform::fileErrorText(error))));
        return;
    }
    const PointsRead read = parsePoints(*text, shown_);
    if (!read.points) {
        prompts_.showMessage(tr("Plik punktów odrzucony: %1").arg(QString::fromStdString(read.error)));
        return;
    }
    if (table->rowCount() + static_cast<int>(read.points->size()) > maxPoints) {
        prompts_.showMessage(tr("Lista może mieć najwyżej %1 punktów.").arg(maxPoints));
        return;
    }
    appendRows(*read.points);
}

void PointsDialog::exportCsv() {
    Points points;
    if (!readTable(points)) return;
    const QString path = askPath ? askPath(true) : defaultPath(true);
    if (path.isEmpty()) return;
    int error = 0;
    if (!platform::replaceFile(QFile::encodeName(path).toStdString(), pointsText(points, shown_),
                               &error))
        prompts_.showMessage(tr("Nie można zapisać pliku: %1.")
                                 .arg(QString::fromStdString(platform::fileErrorText(error))));
}

void PointsDialog::addPattern(bool circle) {
    PatternDialog dialog(circle, shown_.display, prompts_, this);
    if (prompts_.execModal(dialog) != QDialog::Accepted) return;
    if (table->rowCount() + static_cast<int>(dialog.points().size()) > maxPoints) {
        prompts_.showMessage(tr("Lista może mieć najwyżej %1 punktów.").arg(maxPoints));
        return;
    }
    appendRows(dialog.points());
}

}  // namespace workshop
