// The workshop functions as the readout window hosts them: the unit and angle switches, diameter
// per axis, the half buttons, the chosen point with its distance to go and near-zero cue, and the
// files they are kept in. The arithmetic and the files' rules are workshop/'s.
#include <QAction>
#include <QActionGroup>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

#include "platform/Files.h"
#include "readout/MainUnit.h"
#include "workshop/PointsDialog.h"
#include "workshop/TopView.h"

namespace {
constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};
constexpr int buttonHeight = 36;

std::string fileName(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
}  // namespace

workshop::AxisView TmainForm::axisView(Axis axis) const {
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    return {angular(axis), decimals[i], workshop_.diameter[i] && !angular(axis)};
}

workshop::Shown TmainForm::shown() const {
    workshop::Shown now;
    now.display = workshop_.display;
    for (Axis axis : axes) now.axes[static_cast<std::size_t>(axisIndex(axis))] = axisView(axis);
    now.kindsKnown = configurationRead_;
    return now;
}

QWidget* TmainForm::buildPointControls(QWidget* parent) {
    // One row high, beside X: a window with one axis has room for it too.
    auto* box = new QWidget(parent);
    box->setFixedHeight(46);
    auto* line = new QHBoxLayout(box);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    previousPointButton = new QPushButton(QStringLiteral("\u25C0"), box);
    nextPointButton = new QPushButton(QStringLiteral("\u25B6"), box);
    pointLabel = new QLabel(box);
    pointLabel->setTextFormat(Qt::PlainText);
    pointLabel->setFixedWidth(90);
    pointLabel->setWordWrap(true);
    for (QPushButton* button : {previousPointButton, nextPointButton}) {
        button->setFixedSize(30, buttonHeight);
        button->setFocusPolicy(Qt::TabFocus);
    }
    previousPointButton->setAccessibleName(tr("Poprzedni punkt"));
    nextPointButton->setAccessibleName(tr("Następny punkt"));
    previousPointButton->setToolTip(tr("Poprzedni punkt (F7)"));
    nextPointButton->setToolTip(tr("Następny punkt (F8)"));
    line->addWidget(previousPointButton);
    line->addWidget(pointLabel);
    line->addWidget(nextPointButton);
    connect(previousPointButton, &QPushButton::clicked, this,
            [this] { guarded([&] { stepPoint(-1); }); });
    connect(nextPointButton, &QPushButton::clicked, this,
            [this] { guarded([&] { stepPoint(1); }); });
    return box;
}

void TmainForm::buildWorkshopMenu() {
    workshopMMI = menuBar()->addMenu(tr("&Warsztat"));
    connect(pointsButton, &QPushButton::clicked, this,
            [this] { guarded([&] { openPointsDialog(); }); });
    auto* units = new QActionGroup(this);
    mmAction = workshopMMI->addAction(tr("&Milimetry"));
    inchAction = workshopMMI->addAction(tr("&Cale"));
    for (QAction* action : {mmAction, inchAction}) {
        action->setCheckable(true);
        units->addAction(action);
    }
    mmAction->setChecked(true);
    connect(mmAction, &QAction::triggered, this,
            [this] { guarded([&] { setLengthUnit(workshop::LengthUnit::mm); }); });
    connect(inchAction, &QAction::triggered, this,
            [this] { guarded([&] { setLengthUnit(workshop::LengthUnit::inch); }); });
    connect(unitButton, &QPushButton::clicked, this, [this] {
        guarded([&] {
            setLengthUnit(workshop_.display.length == workshop::LengthUnit::mm
                              ? workshop::LengthUnit::inch
                              : workshop::LengthUnit::mm);
        });
    });
    workshopMMI->addSeparator();
    auto* angles = new QActionGroup(this);
    dmsAction = workshopMMI->addAction(tr("Kąty w stopniach, minutach, &sekundach"));
    decimalDegreesAction = workshopMMI->addAction(tr("Kąty w stopniach &dziesiętnych"));
    for (QAction* action : {dmsAction, decimalDegreesAction}) {
        action->setCheckable(true);
        angles->addAction(action);
    }
    dmsAction->setChecked(true);
    connect(dmsAction, &QAction::triggered, this,
            [this] { guarded([&] { setAngleFormat(workshop::AngleFormat::dms); }); });
    connect(decimalDegreesAction, &QAction::triggered, this,
            [this] { guarded([&] { setAngleFormat(workshop::AngleFormat::decimal); }); });
    workshopMMI->addSeparator();
    for (Axis axis : axes) {
        const auto i = static_cast<std::size_t>(axisIndex(axis));
        const QString letter(QChar(u"XYZ"[i]));
        QAction* diameter = workshopMMI->addAction(tr("Średnica %1").arg(letter));
        // Alt+letter: the axis's own digit, the same in both languages.
        diameter->setText(QStringLiteral("&%1 ").arg(i + 1) + diameter->text());
        diameter->setCheckable(true);
        connect(diameter, &QAction::toggled, this,
                [this, axis](bool on) { guarded([&] { setDiameter(axis, on); }); });
        diameterActions[i] = diameter;
    }
    for (Axis axis : axes) {
        const auto i = static_cast<std::size_t>(axisIndex(axis));
        const QString letter(QChar(u"XYZ"[i]));
        QAction* half = workshopMMI->addAction(tr("Połowa %1").arg(letter));
        half->setText(QStringLiteral("&%1 ").arg(i + 4) + half->text());
        half->setShortcut(QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_1 + static_cast<int>(i))));
        half->setEnabled(false);
        connect(half, &QAction::triggered, this,
                [this, axis] { guarded([&] { halfButtonClick(axis); }); });
        halfActions[i] = half;
        addAction(half);
    }
    workshopMMI->addSeparator();
    pointsAction = workshopMMI->addAction(tr("&Punkty…"));
    pointsAction->setShortcut(Qt::Key_F6);
    connect(pointsAction, &QAction::triggered, this,
            [this] { guarded([&] { openPointsDialog(); }); });
    previousPointAction = workshopMMI->addAction(tr("P&oprzedni punkt"));
    previousPointAction->setShortcut(Qt::Key_F7);
    connect(previousPointAction, &QAction::triggered, this,
            [this] { guarded([&] { stepPoint(-1); }); });
    nextPointAction = workshopMMI->addAction(tr("&Następny punkt"));
    nextPointAction->setShortcut(Qt::Key_F8);
    connect(nextPointAction, &QAction::triggered, this,
            [this] { guarded([&] { stepPoint(1); }); });
    noPointAction = workshopMMI->addAction(tr("&Bez punktu"));
    noPointAction->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F8));
    connect(noPointAction, &QAction::triggered, this,
            [this] { guarded([&] { choosePoint(-1); }); });
    topViewAction = workshopMMI->addAction(tr("Widok z &góry…"));
    topViewAction->setShortcut(Qt::Key_F9);
    connect(topViewAction, &QAction::triggered, this, [this] { guarded([&] { openTopView(); }); });
    // The shortcuts work with the menus closed.
    for (QAction* action :
         {pointsAction, previousPointAction, nextPointAction, noPointAction, topViewAction})
        addAction(action);
    updateWorkshopControls();
}

void TmainForm::updateWorkshopControls() {
    const bool inch = workshop_.display.length == workshop::LengthUnit::inch;
    unitButton->setText(inch ? QStringLiteral("in") : QStringLiteral("mm"));
    unitButton->setAccessibleName(inch ? tr("Jednostka: cale (przełącz na mm)")
                                       : tr("Jednostka: milimetry (przełącz na cale)"));
    unitButton->setToolTip(unitButton->accessibleName());
    (inch ? inchAction : mmAction)->setChecked(true);
    (workshop_.display.angle == workshop::AngleFormat::dms ? dmsAction : decimalDegreesAction)
        ->setChecked(true);
    for (Axis axis : axes) {
        const auto i = static_cast<std::size_t>(axisIndex(axis));
        const QSignalBlocker quiet(diameterActions[i]);
        diameterActions[i]->setChecked(workshop_.diameter[i]);
        const QString letter(QChar(u"XYZ"[i]));
        const bool diameter = axisView(axis).diameter;
        axisLetter(axis)->setText(diameter ? QStringLiteral("\u00D8%1").arg(letter)
                                           : QStringLiteral(" %1 ").arg(letter));
        // Blue for the reading of the mode, dark orange for a distance to go.
        const bool toGo = chosenPoint_ >= 0 && points_[static_cast<std::size_t>(chosenPoint_)].at[i];
        QPalette palette = axisLetter(axis)->palette();
        palette.setColor(QPalette::Window, toGo ? QColor(190, 90, 0) : QColor(Qt::blue));
        axisLetter(axis)->setPalette(palette);
        showSpokenState(axis);
    }
    const bool any = !points_.empty();
    for (QWidget* w : {static_cast<QWidget*>(previousPointButton), static_cast<QWidget*>(nextPointButton)})
        w->setEnabled(any);
    previousPointAction->setEnabled(any);
    nextPointAction->setEnabled(any);
    noPointAction->setEnabled(chosenPoint_ >= 0);
    if (chosenPoint_ < 0) {
        // A points file that could not be read is said where the point would be; its reason is
        // in the tooltip and in the points dialog.
        pointLabel->setText(any ? tr("Bez punktu (%n w liście)", "", int(points_.size()))
                            : pointsFileProblem_.isEmpty() ? tr("Brak punktów")
                                                           : tr("Plik punktów odrzucony"));
        pointLabel->setToolTip(pointsFileProblem_);
    } else {
        const workshop::Point& point = points_[static_cast<std::size_t>(chosenPoint_)];
        pointLabel->setText(tr("Do punktu %1/%2:\n%3")
                                .arg(chosenPoint_ + 1)
                                .arg(points_.size())
                                .arg(QString::fromStdString(point.name)));
    }
    pointLabel->setAccessibleName(pointLabel->text());
    if (topView_) topView_->setPoints(points_, chosenPoint_);
    notifyView();
}

void TmainForm::openTopView() {
    if (!topViewWindow_) {
        topViewWindow_ = new QDialog(this);
        topViewWindow_->setWindowTitle(tr("Widok z góry X–Y"));
        auto* layout = new QVBoxLayout(topViewWindow_);
        layout->setContentsMargins(0, 0, 0, 0);
        topView_ = new workshop::TopView(topViewWindow_);
        layout->addWidget(topView_);
        // Closed, the keys go back to the readout window at once, not to a window that is gone.
        connect(topViewWindow_, &QDialog::finished, this, [this] {
            activateWindow();
            raise();
        });
        // The points are stepped through from here too.
        for (QAction* action : {previousPointAction, nextPointAction, noPointAction})
            topViewWindow_->addAction(action);
        topViewWindow_->resize(topView_->sizeHint());
        // Beside the window where the screen has room, so that the figures stay in sight.
        if (const QScreen* screen = this->screen()) {
            const QRect room = screen->availableGeometry();
            const QRect frame = frameGeometry();
            if (frame.right() + topViewWindow_->width() + 8 <= room.right())
                topViewWindow_->move(frame.right() + 8, frame.top());
            else if (frame.left() - topViewWindow_->width() - 8 >= room.left())
                topViewWindow_->move(frame.left() - topViewWindow_->width() - 8, frame.top());
            else {
                // A small screen: smaller, in its lower right corner, clear of the figures on
                // the left of the window.
                topViewWindow_->resize(300, 260);
                topViewWindow_->move(room.right() - 300, room.bottom() - 260);
            }
        }
    }
    topView_->setPoints(points_, chosenPoint_);
    topViewWindow_->show();
    topViewWindow_->raise();
    topViewWindow_->activateWindow();
    updateTopView();
}

void TmainForm::updateTopView() {
    // Nothing to draw for a view nobody sees: the readings pay nothing for it then.
    if (!topView_ || !topViewWindow_->isVisible()) return;
    if (angular(Axis::X) || angular(Axis::Y)) {
        topView_->setProblem(tr("X lub Y jest osią kątową: widok z góry pokazuje tylko osie "
                                "liniowe."));
        return;
    }
    topView_->setProblem(QString());
    const bool relative = relRButton->isChecked();
    const double x = relative ? positions[0] - offsets[0] : positions[0];
    const double y = relative ? positions[1] - offsets[1] : positions[1];
    topView_->setPosition(QPointF(x, y), readoutsLive_);
}

void TmainForm::showSpokenState(Axis axis) {
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    QString row = tr("Oś %1").arg(QChar(u"XYZ"[i]));
    if (axisView(axis).diameter) row += tr(", średnica");
    if (chosenPoint_ >= 0 && points_[static_cast<std::size_t>(chosenPoint_)].at[i]) {
        row += tr(", droga do punktu %1").arg(chosenPoint_ + 1);
        if (nearZero_[i]) row += tr(", blisko zera");
    }
    readout(axis)->setSpokenState(readoutsLive_ ? row : tr("%1, odczyt nieaktualny").arg(row));
}

void TmainForm::setNearZero(Axis axis, bool near) {
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    if (nearZero_[i] == near) return;
    nearZero_[i] = near;
    // A pale green panel: seen from the machine without reading the digits.
    const QColor paper = near ? QColor(170, 240, 170) : QColor(Qt::white);
    for (QWidget* w : {static_cast<QWidget*>(panel(axis)), static_cast<QWidget*>(readout(axis))}) {
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, paper);
        w->setPalette(palette);
    }
    showSpokenState(axis);
}

void TmainForm::setLengthUnit(workshop::LengthUnit unit) {
    workshop_.display.length = unit;
    workshopFileKept_ = true;
    updateWorkshopControls();
    showReadings();
}

void TmainForm::setAngleFormat(workshop::AngleFormat format) {
    workshop_.display.angle = format;
    workshopFileKept_ = true;
    updateWorkshopControls();
    showReadings();
}

void TmainForm::setDiameter(Axis axis, bool diameter) {
    workshop_.diameter[static_cast<std::size_t>(axisIndex(axis))] = diameter;
    workshopFileKept_ = true;
    updateWorkshopControls();
    showReadings();
}

void TmainForm::setNearZeroTolerance(double tolerance) {
    workshop_.tolerance = tolerance;
    workshopFileKept_ = true;
    showReadings();
}

void TmainForm::halfButtonClick(Axis axis) {
    // As clr: from a grey reading the centre would be that of an old position.
    if (!currentReadingOrRefuse()) return;
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    offsets[i] = workshop::halvingOffset(positions[i], offsets[i]);
    forgetOffsetsZeroed();
    showAxisValue(axis, true);
}

void TmainForm::choosePoint(int index) {
    chosenPoint_ = index >= 0 && index < static_cast<int>(points_.size()) ? index : -1;
    // Each axis starts from its plain colour; the reading shown decides anew.
    for (Axis axis : axes) setNearZero(axis, false);
    updateWorkshopControls();
    showReadings();
}

void TmainForm::stepPoint(int delta) {
    if (points_.empty()) return;
    const int count = static_cast<int>(points_.size());
    if (chosenPoint_ < 0)
        choosePoint(delta > 0 ? 0 : count - 1);
    else
        choosePoint(((chosenPoint_ + delta) % count + count) % count);
}

void TmainForm::setPoints(workshop::Points points) {
    points_ = std::move(points);
    if (chosenPoint_ >= static_cast<int>(points_.size())) chosenPoint_ = -1;
    writePointsFile();
    choosePoint(chosenPoint_);
}

void TmainForm::openPointsDialog() {
    workshop::PointsDialog dialog(prompts_, this);
    dialog.setNote(pointsFileProblem_.isEmpty() ? QString() : tr("Plik punktów nie został wczytany: %1").arg(pointsFileProblem_));
    dialog.setProperty("kvt3KeepsReadings", true);
    dialog.setContent(points_, shown(), workshop_.tolerance, chosenPoint_);
    connect(&dialog, &workshop::PointsDialog::toleranceChanged, this,
            [this](double tolerance) { setNearZeroTolerance(tolerance); });
    if (prompts_.execModal(dialog) != QDialog::Accepted) return;
    // The list written only when it changed: a file refused at start stays the operator's until
    // a list of their own replaces it.
    if (dialog.points() != points_) setPoints(dialog.points());
    if (dialog.chosen() >= 0) choosePoint(dialog.chosen());
}

QString TmainForm::pointsPath() const {
    return QDir(workDir).filePath(QStringLiteral("points.csv"));
}

QString TmainForm::workshopSettingsPath() const {
    return QDir(workDir).filePath(QStringLiteral("workshop.kv3"));
}

void TmainForm::readWorkshopFiles() {
    if (const auto text = platform::readRegularFile(fileName(workshopSettingsPath()), 4096)) {
        workshop_ = workshop::parseWorkshopSettings(*text);
        workshopFileKept_ = true;
    }
    int error = 0;
    const auto text = platform::readRegularFile(fileName(pointsPath()),
                                                workshop::maxPointsFileBytes + 1, &error);
    if (text) {
        workshop::Shown own = workshop::boxUnits(shown().axes);
        const workshop::PointsRead read = workshop::parsePoints(*text, own);
        if (read.points)
            points_ = *read.points;
        else
            pointsFileProblem_ = QString::fromStdString(read.error);
    }
    choosePoint(workshop_.point - 1);
}

void TmainForm::writeWorkshopSettings() {
    workshop_.point = chosenPoint_ + 1;
    workshop_.topView = topViewWindow_ && topViewWindow_->isVisible();
    // A file never made stays unmade while the operator keeps the defaults.
    if (!workshopFileKept_ && workshop_ == workshop::WorkshopSettings{}) return;
    platform::replaceFile(fileName(workshopSettingsPath()), workshop::workshopSettingsText(workshop_));
}

bool TmainForm::writePointsFile() {
    // The file the list came from, not read (another unit, a fault), stays as it is until the
    // operator makes a list of their own.
    pointsFileProblem_.clear();
    return platform::replaceFile(
        fileName(pointsPath()), workshop::pointsText(points_, workshop::boxUnits(shown().axes)));
}
