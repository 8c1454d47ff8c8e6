// The readout window's controls and menus: what the operator sees and where each handler is bound.
#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "readout/Figures.h"
#include "readout/MainUnit.h"

namespace {

// One axis row: a letter, a white panel with the figures, and a "Ref" toggle; rows are exactly
// 50 pixels apart, so hiding one takes 50 pixels off the window.
constexpr int rowHeight = 46;
constexpr int rowSpacing = 4;
// Wide enough for the workshop's half buttons and the chosen point beside the rows.
constexpr int windowWidth = 660;

QLabel* makeAxisLetter(const QString& letter, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral(" %1 ").arg(letter), parent);
    label->setAlignment(Qt::AlignCenter);
    label->setFixedSize(44, rowHeight);
    QFont font = label->font();
    font.setPixelSize(22);
    font.setBold(true);
    label->setFont(font);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::blue);
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

// A readout row's white panel. Its figures fill it but stand outside any layout, at a size fixed
// by the panel: a new text then changes no size hint, so the dozens of readings a second repaint
// the figures and never lay out the window again.
class ReadoutPanel : public QFrame {
public:
    explicit ReadoutPanel(QWidget* parent) : QFrame(parent) {}
    readout::Figures* figures = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QFrame::resizeEvent(event);
        if (!figures) return;
        const QRect area = contentsRect().adjusted(6, 0, -10, 0);
        figures->setFixedSize(area.size().expandedTo(QSize(0, 0)));
        figures->move(area.topLeft());
    }
};

QFrame* makeReadoutPanel(readout::Figures*& figures, QWidget* parent) {
    auto* panel = new ReadoutPanel(parent);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setFixedHeight(rowHeight);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, Qt::white);
    panel->setPalette(palette);

    figures = new readout::Figures(QStringLiteral("0.0"), panel);
    QFont font = figures->font();
    font.setPixelSize(27);
    font.setBold(true);
    figures->setFont(font);
    QPalette figuresPalette = figures->palette();
    figuresPalette.setColor(QPalette::WindowText, QColor(0, 128, 0));
    figuresPalette.setColor(QPalette::Window, Qt::white);
    figures->setPalette(figuresPalette);
    panel->figures = figures;
    return panel;
}

QPushButton* makeButton(const QString& caption, QWidget* parent, int width) {
    auto* button = new QPushButton(caption, parent);
    button->setFixedSize(width, rowHeight - 10);
    return button;
}

}  // namespace

void TmainForm::buildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(8);

    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(6);
    rows->setVerticalSpacing(rowSpacing);
    outer->addLayout(rows);

    relPanel = new QFrame(central);
    // As large as its buttons: it must not take the space a hidden row gives back.
    relPanel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* relGrid = new QGridLayout(relPanel);
    relGrid->setContentsMargins(0, 0, 0, 0);
    relGrid->setHorizontalSpacing(4);
    relGrid->setVerticalSpacing(rowSpacing);

    const QString letters[] = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Z")};
    QFrame** panels[] = {&xPanel, &yPanel, &zPanel};
    readout::Figures** figures[] = {&xxLabel, &yyLabel, &zzLabel};
    QLabel** axisLetters[] = {&xLabel, &yLabel, &zLabel};
    QPushButton** refs[] = {&xSButton, &ySButton, &zSButton};
    QPushButton** clears[] = {&clrXButton, &clrYButton, &clrZButton};
    QPushButton** sets[] = {&setXButton, &setYButton, &setZButton};
    QPushButton** halves[] = {&halfXButton, &halfYButton, &halfZButton};
    for (int i = 0; i < 3; ++i) {
        const auto axis = static_cast<Axis>(i);
        *axisLetters[i] = makeAxisLetter(letters[i], central);
        *panels[i] = makeReadoutPanel(*figures[i], central);
        *refs[i] = makeButton(QStringLiteral("Ref"), central, 44);
        (*refs[i])->setCheckable(true);
        // The offset buttons of a row sit in a cell as high as the row, so they line up with it.
        auto* cell = new QWidget(relPanel);
        cell->setFixedHeight(rowHeight);
        auto* cellLayout = new QHBoxLayout(cell);
        cellLayout->setContentsMargins(0, 0, 0, 0);
        cellLayout->setSpacing(4);
        *clears[i] = makeButton(QStringLiteral("clr"), cell, 40);
        *sets[i] = makeButton(QStringLiteral("set"), cell, 40);
        *halves[i] = makeButton(QStringLiteral("\u00BD"), cell, 36);
        cellLayout->addWidget(*clears[i]);
        cellLayout->addWidget(*sets[i]);
        cellLayout->addWidget(*halves[i]);
        relGrid->addWidget(cell, i, 0);

        // Three rows of alike buttons: a screen reader says which axis each one is for. The
        // name keeps the caption, so that it is also what the operator sees. A click leaves the
        // focus where it was: Space straight after would start the search again or take the
        // zero anew. Tab still reaches them.
        for (QPushButton* button : {*refs[i], *clears[i], *sets[i]}) {
            button->setAccessibleName(button->text() + QLatin1Char(' ') + letters[i]);
            button->setFocusPolicy(Qt::TabFocus);
        }
        (*halves[i])->setAccessibleName(tr("Połowa %1").arg(letters[i]));
        (*halves[i])->setToolTip(tr("Połowa: odczyt względny osi %1 dzielony przez 2 (środek między "
                                    "krawędziami)").arg(letters[i]));
        (*halves[i])->setFocusPolicy(Qt::TabFocus);

        rows->addWidget(*axisLetters[i], i, 0);
        rows->addWidget(*panels[i], i, 1);
        rows->addWidget(*refs[i], i, 2);

        connect(*refs[i], &QPushButton::clicked, this,
                [this, axis] { guarded([&] { SButtonClick(axis); }); });
        connect(*clears[i], &QPushButton::clicked, this,
                [this, axis] { guarded([&] { clrButtonClick(axis); }); });
        connect(*sets[i], &QPushButton::clicked, this,
                [this, axis] { guarded([&] { applyOffsetEntry(axis); }); });
        connect(*halves[i], &QPushButton::clicked, this,
                [this, axis] { guarded([&] { halfButtonClick(axis); }); });
    }
    rows->addWidget(relPanel, 0, 3, 3, 1, Qt::AlignTop);
    rows->addWidget(buildPointControls(central), 0, 4, Qt::AlignTop);
    relPanel->setEnabled(false);
    for (int i = 0; i < 3; ++i) {
        (*clears[i])->setEnabled(false);
        (*sets[i])->setEnabled(false);
        (*halves[i])->setEnabled(false);
    }

    // The mode and the value for "set".
    auto* bottomPanel = new QFrame(central);
    bottomPanel->setFrameShape(QFrame::StyledPanel);
    bottomPanel->setFixedHeight(58);
    auto* bottom = new QHBoxLayout(bottomPanel);
    bottom->setContentsMargins(10, 4, 10, 4);
    bottom->setSpacing(10);
    absRButton = new QRadioButton(tr("absolutne"), bottomPanel);
    relRButton = new QRadioButton(tr("relatywne"), bottomPanel);
    absRButton->setChecked(true);
    deltaLabel = new QLabel(tr("Przesunięcie"), bottomPanel);
    deltaEdit = new QLineEdit(bottomPanel);
    deltaEdit->setMaxLength(12);
    deltaEdit->setFixedWidth(120);
    deltaLabel->setBuddy(deltaEdit);
    unitButton = new QPushButton(QStringLiteral("mm"), bottomPanel);
    unitButton->setFixedSize(56, rowHeight - 10);
    unitButton->setFocusPolicy(Qt::TabFocus);
    bottom->addWidget(absRButton);
    bottom->addWidget(relRButton);
    bottom->addSpacing(10);
    bottom->addWidget(unitButton);
    pointsButton = new QPushButton(tr("Punkty…"), bottomPanel);
    pointsButton->setFixedHeight(rowHeight - 10);
    pointsButton->setFocusPolicy(Qt::TabFocus);
    pointsButton->setToolTip(tr("Lista punktów, szablony otworów, import i eksport CSV (F6)"));
    bottom->addWidget(pointsButton);
    bottom->addStretch(1);
    bottom->addWidget(deltaLabel);
    bottom->addWidget(deltaEdit);
    outer->addWidget(bottomPanel);

    // The state of the link in words, two lines: what is going on, and what F5 does or what
    // happened to the offsets.
    statusLabel = new QLabel(central);
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setContentsMargins(4, 0, 4, 0);
    statusLabel->setFixedHeight(2 * statusLabel->fontMetrics().lineSpacing() + 4);
    statusLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusLabel->setAccessibleName(tr("Stan połączenia"));
    outer->addWidget(statusLabel);
    outer->addStretch(1);
    // Taken now: full screen scales the label, never the normal window's height.
    statusLineExtra_ = statusLabel->maximumHeight() + outer->spacing();

    // Programmatic checking runs the handler too (the settings file selects the mode that way).
    connect(absRButton, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) guarded([&] { absRButtonClick(); });
    });
    connect(relRButton, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) guarded([&] { relRButtonClick(); });
    });

    setFixedSize(windowWidth, 286 + statusLineExtra());
    // The window opens on the entry of the offset: no single key there moves the machine or
    // changes the readings ("Ref X", first in the tab order, would start a search on Space).
    deltaEdit->setFocus(Qt::OtherFocusReason);
}

int TmainForm::statusLineExtra() const {
    // The line and the spacing above it, on top of the rows, the mode panel and the menu.
    return statusLineExtra_;
}

// Each menu and item has its Alt+letter (the letter marked with "&" in its text, in either
// language its own within its menu); the texts shown are the same.
void TmainForm::buildMenus() {
    const auto bind = [this](QAction* action, void (TmainForm::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
    };

    configMMI = menuBar()->addMenu(tr("&Konfiguracja"));
    testAction = configMMI->addAction(tr("&Test łącza RS"));
    testAction->setShortcut(Qt::Key_F5);
    bind(testAction, &TmainForm::testMMIClick);
    configMMI->addSeparator();
    comGroup = new QActionGroup(this);
    comGroup->setExclusive(true);
    for (int port = 1; port <= 4; ++port) {
        QAction* item = configMMI->addAction(QStringLiteral("COM&%1").arg(port));
        item->setCheckable(true);
        comGroup->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, port] { guarded([&] { COMClick(port); }); });
        COM[static_cast<std::size_t>(port - 1)] = item;
    }
    COM[0]->setChecked(true);
    configMMI->addSeparator();
    paramsMMI = configMMI->addAction(tr("&Parametry"));
    bind(paramsMMI, &TmainForm::paramsMMIClick);
    coordMMI = configMMI->addAction(tr("&Koordynaty"));
    bind(coordMMI, &TmainForm::coordMMIClick);
    saveConfigMMI = configMMI->addAction(tr("&Zapisz konfigurację do pliku…"));
    bind(saveConfigMMI, &TmainForm::saveConfigMMIClick);
    restoreConfigMMI = configMMI->addAction(tr("&Odtwórz konfigurację z pliku…"));
    bind(restoreConfigMMI, &TmainForm::restoreConfigMMIClick);
    configMMI->addSeparator();
    // Shown once a live view is attached.
    viewMMI = configMMI->addAction(tr("Podgląd w &sieci…"));
    viewMMI->setVisible(false);
    connect(viewMMI, &QAction::triggered, this, [this] {
        guarded([&] {
            if (openViewDialog_) openViewDialog_();
        });
    });
    // Shown once the broker's side is attached.
    brokerMMI = configMMI->addAction(tr("Broker &MQTT…"));
    brokerMMI->setVisible(false);
    connect(brokerMMI, &QAction::triggered, this, [this] {
        guarded([&] {
            if (openBrokerDialog_) openBrokerDialog_();
        });
    });
    healthMMI = configMMI->addAction(tr("Stan łą&cza…"));
    bind(healthMMI, &TmainForm::showHealthWindow);
    // Shown once the curves are attached.
    curvesMMI = configMMI->addAction(tr("&Wykresy odczytów…"));
    curvesMMI->setVisible(false);
    connect(curvesMMI, &QAction::triggered, this, [this] {
        guarded([&] {
            if (openCurves_) openCurves_();
        });
    });

    fileMMI = menuBar()->addMenu(tr("&Plik"));
    // Shown once the recording is attached; checked while it records.
    recordMMI = fileMMI->addAction(tr("&Nagrywanie odczytów…"));
    recordMMI->setCheckable(true);
    recordMMI->setVisible(false);
    connect(recordMMI, &QAction::triggered, this, [this] {
        guarded([&] {
            if (toggleRecording_) toggleRecording_();
        });
    });
    exitAction = fileMMI->addAction(tr("&Wyjscie"));
    exitAction->setShortcut(Qt::Key_F10);
    bind(exitAction, &TmainForm::exitActionExecute);

    buildWorkshopMenu();

    infoMMI = menuBar()->addMenu(tr("&Informacje"));
    prodAction = infoMMI->addAction(tr("O &produkcie"));
    bind(prodAction, &TmainForm::prodActionExecute);
    authorAction = infoMMI->addAction(tr("O &autorze"));
    bind(authorAction, &TmainForm::authorActionExecute);

    // The shortcuts work with the menus closed.
    addAction(testAction);
    addAction(exitAction);
}

namespace {
template <class T>
T* pick(Axis axis, T* x, T* y, T* z) {
    return axis == Axis::X ? x : axis == Axis::Y ? y : z;
}
}  // namespace

QFrame* TmainForm::panel(Axis axis) const {
    return pick(axis, xPanel, yPanel, zPanel);
}
readout::Figures* TmainForm::readout(Axis axis) const {
    return pick(axis, xxLabel, yyLabel, zzLabel);
}
QLabel* TmainForm::axisLetter(Axis axis) const {
    return pick(axis, xLabel, yLabel, zLabel);
}
QPushButton* TmainForm::refButton(Axis axis) const {
    return pick(axis, xSButton, ySButton, zSButton);
}
QPushButton* TmainForm::clrButton(Axis axis) const {
    return pick(axis, clrXButton, clrYButton, clrZButton);
}
QPushButton* TmainForm::setButton(Axis axis) const {
    return pick(axis, setXButton, setYButton, setZButton);
}
QPushButton* TmainForm::halfButton(Axis axis) const {
    return pick(axis, halfXButton, halfYButton, halfZButton);
}
