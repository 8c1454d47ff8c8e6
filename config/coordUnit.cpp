#include "config/coordUnit.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <cmath>

#include "config/CellText.h"
#include "config/ConfigFile.h"
#include "config/CorrectionCurve.h"
#include "config/CorrectionGrid.h"
#include "link/RSLib.h"
#include "platform/ScreenFit.h"

namespace {

constexpr std::array<Axis, 3> allAxes = {Axis::X, Axis::Y, Axis::Z};
constexpr std::array<std::uint32_t, 3> flagBits = {0x10, 0x20, 0x40};
constexpr std::array<char16_t, 3> letters = {u'X', u'Y', u'Z'};

std::size_t at(Axis axis) {
    return static_cast<std::size_t>(axisIndex(axis));
}

// The curve, the CSV buttons and the note right of the pages, or, on a screen too narrow for
// that (a portrait panel), below them; "Zapisz" and "Zamknij" at the bottom right.
struct Places {
    QSize size;
    QRect curve, importButton, exportButton, note;
    QPoint save, exit;
};
const Places placesBeside{{626, 430},          {390, 26, 230, 270}, {390, 304, 106, 25},
                          {500, 304, 120, 25}, {390, 334, 230, 58}, {460, 398},
                          {544, 398}};
const Places placesBelow{{386, 704},          {4, 400, 378, 196}, {4, 602, 124, 25},
                         {132, 602, 130, 25}, {4, 632, 378, 34},  {220, 672},
                         {304, 672}};

}  // namespace

TcoordForm::TcoordForm(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                       QWidget* parent)
    : ConfigDialog(service, prompts, clock, parent) {
    pgCtrl = new QTabWidget(this);
    pgCtrl->setGeometry(4, 4, 378, 330);
    korectionXTabSheet = new QWidget;
    korectionYTabSheet = new QWidget;
    korectionZTabSheet = new QWidget;
    correctionXSGrid = makeGrid(Axis::X, korectionXTabSheet);
    correctionYSGrid = makeGrid(Axis::Y, korectionYTabSheet);
    correctionZSGrid = makeGrid(Axis::Z, korectionZTabSheet);
    // Three tabs side by side in the dialog's width: a smaller font than the rest.
    QFont tabFont = pgCtrl->tabBar()->font();
    tabFont.setPixelSize(10);
    pgCtrl->tabBar()->setFont(tabFont);
    pgCtrl->tabBar()->setUsesScrollButtons(false);
    xCBox = new QCheckBox(pgCtrl->tabBar());
    yCBox = new QCheckBox(pgCtrl->tabBar());
    zCBox = new QCheckBox(pgCtrl->tabBar());
    for (Axis axis : allAxes) {
        // The caption's leading blanks leave room for the check box over the tab's left end.
        pgCtrl->addTab(page(axis), tr("      Kor.odcinkowa %1").arg(QChar(letters[at(axis)])));
        checkBox(axis)->setChecked(true);
        // The check box has no caption of its own, it stands on its page's tab: a screen reader
        // names it, and the page's grid, by that tab's caption.
        const QString name = tr("Kor.odcinkowa %1").arg(QChar(letters[at(axis)]));
        checkBox(axis)->setAccessibleName(name);
        grid(axis)->setAccessibleName(name);
        connect(checkBox(axis), &QCheckBox::toggled, this, [this, axis] { CBoxClick(axis); });
    }
    pgCtrl->setCurrentIndex(0);
    placeCheckBoxes();

    Label1 = new QLabel(tr("UWAGA !"), this);
    Label1->setGeometry(12, 342, 120, 16);
    Label2 = new QLabel(tr("Wartości X, Y, Z muszą być rosnące\r\n"
                           "Wartości X', Y', Z' mogą być dowolne"),
                        this);
    Label2->setGeometry(12, 360, 260, 34);

    curve = new CorrectionCurve(this);
    importButton = new QPushButton(tr("Importuj z CSV…"), this);
    exportButton = new QPushButton(tr("Eksportuj do CSV…"), this);
    noTablesLabel = new QLabel(this);
    noTablesLabel->setWordWrap(true);
    arrange(true);
    QFont bold = noTablesLabel->font();
    bold.setBold(true);
    noTablesLabel->setFont(bold);
    noTablesLabel->hide();
    connect(importButton, &QPushButton::clicked, this, [this] { importButtonClick(); });
    connect(exportButton, &QPushButton::clicked, this, [this] { exportButtonClick(); });
    askCsvPath = [this](bool save) {
        const QString filter = tr("Pliki CSV (*.csv);;Wszystkie pliki (*)");
        return save ? QFileDialog::getSaveFileName(this, tr("Eksportuj do CSV"), QString(), filter)
                    : QFileDialog::getOpenFileName(this, tr("Importuj z CSV"), QString(), filter);
    };
    for (Axis axis : allAxes) {
        connect(grid(axis), &QTableWidget::itemChanged, this, [this, axis] {
            if (axis == activeAxis()) updateCurve();
        });
    }
    connect(pgCtrl, &QTabWidget::currentChanged, this, [this] { updateCurve(); });

    for (Axis axis : allAxes) SetGridHeader(axis);
    // The buttons at the bottom come last on Tab, not first as created.
    setTabOrder(correctionZSGrid, importButton);
    setTabOrder(importButton, exportButton);
    setTabOrder(exportButton, saveButton);
    setTabOrder(saveButton, exitButton);

    tables_ = std::make_unique<std::array<TCorrectionTable, 3>>();
    connect(saveButton, &QPushButton::clicked, this, [this] { saveButtonClick(); });
    exitButton->installEventFilter(this);
}

TcoordForm::~TcoordForm() = default;

CorrectionGrid* TcoordForm::makeGrid(Axis axis, QWidget* sheet) {
    auto* g = new CorrectionGrid(2, 3, sheet);
    g->onEditText = [this, axis](int column, int row, const QString& text) {
        SetEditText(axis, column, row, text);
    };
    g->onEditReverted = [this] { clearLastEdit(); };
    g->onEditorClosing = [this, axis](int column, int row) {
        return editorClosing(axis, column, row);
    };
    // The cell being left is checked, not the one the selection moves to.
    g->onSelectionMoving = [this, axis](int, int) {
        if (PointerOverExit()) return true;
        const CorrectionGrid* from = grid(axis);
        return validateLastEdit(axis, from->currentColumn(), from->currentRow());
    };
    g->onExit = [this, axis] { GridExit(axis); };
    g->setGeometry(4, 4, 362, 292);
    g->verticalHeader()->setMinimumSectionSize(16);
    g->verticalHeader()->setDefaultSectionSize(16);
    g->setColumnWidth(0, 33);
    g->setColumnWidth(1, 128);
    g->setColumnWidth(2, 128);
    g->setTabKeyNavigation(true);
    return g;
}

CorrectionGrid* TcoordForm::grid(Axis axis) const {
    return std::array{correctionXSGrid, correctionYSGrid, correctionZSGrid}[at(axis)];
}
QCheckBox* TcoordForm::checkBox(Axis axis) const {
    return std::array{xCBox, yCBox, zCBox}[at(axis)];
}
QWidget* TcoordForm::page(Axis axis) const {
    return std::array{korectionXTabSheet, korectionYTabSheet, korectionZTabSheet}[at(axis)];
}
bool TcoordForm::pageEnabled(Axis axis) const {
    return pgCtrl->isTabEnabled(axisIndex(axis));
}

void TcoordForm::setCell(QTableWidget* g, int column, int row, const QString& text) {
    auto* item = g->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        g->setItem(row, column, item);
    }
    item->setText(text);
}

void TcoordForm::SetGridHeader(Axis axis) {
    CorrectionGrid* g = grid(axis);
    const QChar letter(letters[at(axis)]);
    g->setTitleCell(0, 0, tr("Lp."));
    g->setTitleCell(1, 0, QString(letter));
    g->setTitleCell(2, 0, QString(letter) + u'\'');
    for (int row = 1; row < g->rowCount(); ++row) g->setTitleCell(0, row, QString::number(row));
}

void TcoordForm::resizeGrid(Axis axis, int rowCount) {
    grid(axis)->setRowCount(std::max(rowCount, 1));
    SetGridHeader(axis);
    // Rows dropped change no cell: the curve is told here.
    if (curve) updateCurve();
}

void TcoordForm::setGridRowCounts(int count) {
    for (Axis axis : allAxes) resizeGrid(axis, count);
}

void TcoordForm::LoadCorrectionTable(Axis axis, int count, const TCorrectionTable& table,
                                     int decimals, long double scale) {
    // A resolution code that names no step gives no scale. Such a table is shown and written
    // back in the box's own units, every digit of its whole numbers, so that a save leaves it
    // as the box holds it instead of writing zeros over it.
    const bool boxUnits = scale == 0;
    AxisScale[at(axis)] = boxUnits ? 1.0L : scale;
    AxisDecimals[at(axis)] = boxUnits ? 0 : decimals;
    const auto text = [&](long double value) {
        if (boxUnits) return QString::number(static_cast<qint64>(std::trunc(value)));
        return QString::fromStdString(correctionCellText(scale * value, decimals));
    };
    count = std::clamp(count, 0, TCorrectionTable::Size);
    resizeGrid(axis, count + 1);
    QTableWidget* g = grid(axis);
    auto& loaded = loaded_[at(axis)];
    loaded.assign(static_cast<std::size_t>(count) + 1, {});
    for (int row = 1; row <= count; ++row) {
        const TCorrectionEntry& entry = table[row];
        auto& cells = loaded[static_cast<std::size_t>(row)];
        cells[0] = {text(entry.Position), entry.Position};
        cells[1] = {text(entry.Corrected), entry.Corrected};
        setCell(g, 1, row, cells[0].text);
        setCell(g, 2, row, cells[1].text);
    }
}

void TcoordForm::SetCorrectionFlags(std::uint32_t flags) {
    CorrectionFlags = flags;
    for (Axis axis : allAxes) checkBox(axis)->setChecked((flags & flagBits[at(axis)]) != 0);
    for (Axis axis : allAxes) pgCtrl->setTabEnabled(axisIndex(axis), checkBox(axis)->isChecked());
}

void TcoordForm::CBoxClick(Axis axis) {
    const bool on = checkBox(axis)->isChecked();
    const int active = pgCtrl->currentIndex();
    pgCtrl->setTabEnabled(axisIndex(axis), on);
    if (on) {
        CorrectionFlags |= flagBits[at(axis)];
    } else {
        CorrectionFlags &= ~flagBits[at(axis)];
    }
    // From the active page down to the first, the first enabled page becomes active; with none
    // enabled the active page stays where it was.
    int target = active;
    for (int index = active; index >= 0; --index) {
        if (pgCtrl->isTabEnabled(index)) {
            target = index;
            break;
        }
    }
    pgCtrl->setCurrentIndex(target);
}

void TcoordForm::setVisible(bool visible) {
    // Before Qt places the dialog over the window, on that window's screen.
    if (visible) arrange(platform::roomOnScreen(*this).width() >= placesBeside.size.width());
    ConfigDialog::setVisible(visible);
}

void TcoordForm::arrange(bool beside) {
    const Places& p = beside ? placesBeside : placesBelow;
    setFixedSize(p.size);
    curve->setGeometry(p.curve);
    importButton->setGeometry(p.importButton);
    exportButton->setGeometry(p.exportButton);
    noTablesLabel->setGeometry(p.note);
    saveButton->move(p.save);
    exitButton->move(p.exit);
}

QWidget* TcoordForm::firstEntry() const {
    return grid(activeAxis());
}

void TcoordForm::FormShow() {
    ConfigDialog::FormShow();
    clearLastEdit();
    // A kind 1 box has no tables: its switches show the flags a send would carry, and there is
    // nothing to edit or import. A box of no known kind was not read; what is typed is kept.
    const int kind = service_.DeviceKind();
    const bool noTables = kind == 1;
    if (noTables) SetCorrectionFlags(CorrectionFlags);
    for (Axis axis : allAxes) checkBox(axis)->setEnabled(!noTables);
    importButton->setEnabled(!noTables);
    noTablesLabel->setText(noTables ? tr("Urządzenie rodzaju 1 nie ma tabel korekcji.")
                                    : tr("Rodzaj urządzenia nieznany: tabele korekcji nie "
                                         "zostały odczytane."));
    noTablesLabel->setVisible(!boxconfig::hasCorrections(kind));
    placeCheckBoxes();
}

QString TcoordForm::sentMessage() const {
    // Only a box that keeps tables has stored what was sent.
    const int kind = service_.DeviceKind();
    if (boxconfig::hasCorrections(kind)) return ConfigDialog::sentMessage();
    return kind == 1 ? tr("Urządzenie rodzaju 1 nie ma tabel korekcji, więc nie zostały "
                          "zapisane.\r\nZa 3 sekundy można kontynuować pomiar.")
                     : tr("Rodzaj urządzenia nieznany: tabele korekcji nie zostały "
                          "zapisane.\r\nZa 3 sekundy można kontynuować pomiar.");
}

void TcoordForm::placeCheckBoxes() {
    for (Axis axis : allAxes) {
        const QRect tab = pgCtrl->tabBar()->tabRect(axisIndex(axis));
        QCheckBox* box = checkBox(axis);
        box->resize(box->sizeHint());
        box->move(tab.left() + 6, tab.top() + (tab.height() - box->height()) / 2);
        box->raise();
    }
}
