#include "config/paramsUnit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <vector>

#include "config/Resolution.h"
#include "link/RSLib.h"

namespace {
constexpr std::array<Axis, 3> allAxes = {Axis::X, Axis::Y, Axis::Z};
}  // namespace

// Which members hold the controls of each axis.
struct TparamsForm::AxisMembers {
    QChar letter;
    QGroupBox* TparamsForm::*group;
    QRadioButton* TparamsForm::*line;
    QRadioButton* TparamsForm::*angle;
    QLabel* TparamsForm::*resLabel;
    QComboBox* TparamsForm::*combo;
    QLabel* TparamsForm::*umLabel;
    QLabel* TparamsForm::*impulseLabel;
    QLineEdit* TparamsForm::*impulse;
    QLabel* TparamsForm::*calibLabel;
    QLineEdit* TparamsForm::*calib;
};

const TparamsForm::AxisMembers& TparamsForm::members(Axis axis) {
    using T = TparamsForm;
    static const std::array<AxisMembers, 3> table = {{
        {u'X', &T::dimXGBox, &T::lineXRButton, &T::angleXRButton, &T::resXLabel, &T::resXCBox,
         &T::umXLabel, &T::impulseXLabel, &T::impulseXEdit, &T::calibXLabel, &T::calibXEdit},
        {u'Y', &T::dimYGBox, &T::lineYRButton, &T::angleYRButton, &T::resYLabel, &T::resYCBox,
         &T::umYLabel, &T::impulseYLabel, &T::impulseYEdit, &T::calibYLabel, &T::calibYEdit},
        {u'Z', &T::dimZGBox, &T::lineZRButton, &T::angleZRButton, &T::resZLabel, &T::resZCBox,
         &T::umZLabel, &T::impulseZLabel, &T::impulseZEdit, &T::calibZLabel, &T::calibZEdit},
    }};
    return table[static_cast<std::size_t>(axisIndex(axis))];
}

TparamsForm::TparamsForm(TRS232Service& service, platform::Prompts& prompts, platform::Clock& clock,
                         QWidget* parent)
    : ConfigDialog(service, prompts, clock, parent) {
    pgCtrl = new QTabWidget(this);
    pgCtrl->setGeometry(4, 4, 378, 384);
    orientationTabSheet = new QWidget;
    pgCtrl->addTab(orientationTabSheet, tr("Orientacje"));
    for (Axis axis : allAxes) buildAxis(axis, orientationTabSheet, 4 + 116 * axisIndex(axis));

    connect(saveButton, &QPushButton::clicked, this, [this] { saveButtonClick(); });

    // Tab walks the dialog as it is read: the page, then each axis's box from the top, in it the
    // orientation (one stop; the arrows choose), the two entries on the right and the resolution
    // below them, and last the buttons at the bottom. Qt's own order would be the order of
    // creation, which puts the buttons first and the resolution before the entries above it.
    std::vector<QWidget*> order{pgCtrl};
    for (Axis axis : allAxes)
        for (QWidget* w :
             std::initializer_list<QWidget*>{lineButton(axis), angleButton(axis), impulseEdit(axis),
                                             calibrationEdit(axis), resolutionCombo(axis)})
            order.push_back(w);
    order.push_back(saveButton);
    order.push_back(exitButton);
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

    EnableAxisGroup(Axis::Y, false);
    EnableAxisGroup(Axis::Z, false);
    ClearSendValues();
    SetDefaults();
}

TparamsForm::~TparamsForm() = default;

void TparamsForm::buildAxis(Axis axis, QWidget* page, int top) {
    const AxisMembers& m = members(axis);
    auto* box = new QGroupBox(tr(" Oś %1 ").arg(m.letter), page);
    box->setGeometry(6, top, 362, 110);
    this->*m.group = box;

    auto* line = new QRadioButton(tr("Orienacja liniowa"), box);
    line->setGeometry(12, 20, 150, 20);
    this->*m.line = line;
    auto* angle = new QRadioButton(tr("Orientacja katowa"), box);
    angle->setGeometry(12, 44, 150, 20);
    this->*m.angle = angle;

    auto label = [box](const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, box);
        l->setGeometry(x, y, w, 20);
        return l;
    };
    this->*m.resLabel = label(tr("Rodzielczosc"), 12, 76, 80);
    auto* combo = new QComboBox(box);
    combo->setGeometry(96, 76, 90, 22);
    combo->addItems(resolution::entries(1));
    this->*m.combo = combo;
    this->*m.umLabel = label(QStringLiteral(",um"), 190, 76, 30);

    this->*m.impulseLabel = label(tr("Liczba impulsów"), 176, 20, 100);
    auto* impulse = new QLineEdit(box);
    impulse->setGeometry(280, 20, 72, 22);
    this->*m.impulse = impulse;
    this->*m.calibLabel = label(tr("Kalibracja"), 176, 48, 100);
    auto* calib = new QLineEdit(box);
    calib->setGeometry(280, 48, 72, 22);
    this->*m.calib = calib;
    // Each entry is named by its caption: without a buddy Qt names it after the group box, and a
    // screen reader would call both entries " Oś X ".
    (this->*m.resLabel)->setBuddy(combo);
    (this->*m.impulseLabel)->setBuddy(impulse);
    (this->*m.calibLabel)->setBuddy(calib);

    // Checking from code runs the rule too; unchecking (the other button got checked) does not.
    connect(line, &QRadioButton::toggled, this, [this, axis](bool on) {
        if (on) lineRButtonClick(axis);
    });
    connect(angle, &QRadioButton::toggled, this, [this, axis](bool on) {
        if (on) angleRButtonClick(axis);
    });
    // Only the operator's choice is a change; selecting from code is not.
    connect(combo, &QComboBox::activated, this, [this, axis] { resCBoxChange(axis); });
}

QGroupBox* TparamsForm::group(Axis axis) const {
    return this->*members(axis).group;
}
QRadioButton* TparamsForm::lineButton(Axis axis) const {
    return this->*members(axis).line;
}
QRadioButton* TparamsForm::angleButton(Axis axis) const {
    return this->*members(axis).angle;
}
QComboBox* TparamsForm::resolutionCombo(Axis axis) const {
    return this->*members(axis).combo;
}
QLineEdit* TparamsForm::impulseEdit(Axis axis) const {
    return this->*members(axis).impulse;
}
QLineEdit* TparamsForm::calibrationEdit(Axis axis) const {
    return this->*members(axis).calib;
}

int TparamsForm::deviceKind() const {
    return service_.DeviceKind();
}

void TparamsForm::ClearSendValues() {
    LinearIndex.fill(0);
    LineCount.fill(0);
    ResolutionCode.fill(maxResolutionCode_);
    Calibration.fill(0.0);
    OrientationBits &= 0xFFF8u;
}

void TparamsForm::SetDefaults() {
    for (Axis axis : allAxes) {
        lineButton(axis)->setChecked(true);
        resolutionCombo(axis)->setCurrentIndex(
            resolution::indexForCode(deviceKind(), maxResolutionCode_));
        impulseEdit(axis)->setText(QStringLiteral("0.0"));
        calibrationEdit(axis)->setText(QStringLiteral("0.0"));
    }
}

void TparamsForm::LoadResolutionLists(int kind) {
    const QStringList list = resolution::entries(kind);
    if (list.isEmpty()) return;  // no list for this kind: the combos keep what they hold
    for (Axis axis : allAxes) {
        QComboBox* combo = resolutionCombo(axis);
        combo->clear();
        combo->addItems(list);
        combo->setCurrentIndex(-1);
    }
    maxResolutionCode_ = resolution::maxCode(kind);
}

// Selects an index, or nothing when the index lies outside the list.
static void selectIndex(QComboBox* combo, int index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void TparamsForm::SetAxisResolution(Axis axis, int code) {
    read_[static_cast<std::size_t>(axisIndex(axis))].code = code;
    // Code 0 names no entry of the kind 1 list (its first entry is code 7): no selection, so
    // that a save asks the operator for one instead of writing code 7.
    const int kind = deviceKind();
    selectIndex(resolutionCombo(axis),
                kind == 1 && code == 0 ? -1 : resolution::indexForCode(kind, code));
}

void TparamsForm::setLineCount(Axis axis, std::int32_t count) {
    ReadValues& read = read_[static_cast<std::size_t>(axisIndex(axis))];
    read.lineCount = count;
    read.pulseText = QString::number(count / 4);
    impulseEdit(axis)->setText(read.pulseText);
}

void TparamsForm::EnableAxisGroup(Axis axis, bool enabled) {
    const AxisMembers& m = members(axis);
    (this->*m.group)->setEnabled(enabled);
    for (QWidget* w : std::initializer_list<QWidget*>{
             this->*m.resLabel, this->*m.umLabel, this->*m.impulseLabel, this->*m.calibLabel,
             this->*m.line, this->*m.angle, this->*m.combo, this->*m.impulse, this->*m.calib}) {
        w->setEnabled(enabled);
    }
}

void TparamsForm::lineRButtonClick(Axis axis) {
    selectIndex(resolutionCombo(axis), LinearIndex[static_cast<std::size_t>(axisIndex(axis))]);
}

void TparamsForm::angleRButtonClick(Axis axis) {
    const int minimum = resolution::angularMinimumIndex(deviceKind());
    QComboBox* combo = resolutionCombo(axis);
    if (minimum >= 0 && combo->currentIndex() < minimum) selectIndex(combo, minimum);
}

void TparamsForm::resCBoxChange(Axis axis) {
    QComboBox* combo = resolutionCombo(axis);
    const int kind = deviceKind();
    const int minimum = resolution::angularMinimumIndex(kind);
    // Kind 1 boxes cannot take the two finest steps at all; kinds 2 to 4 only not on an angle.
    const bool limited = kind == 1 || (minimum >= 0 && angleButton(axis)->isChecked());
    if (limited && combo->currentIndex() < minimum) selectIndex(combo, minimum);
    LinearIndex[static_cast<std::size_t>(axisIndex(axis))] = combo->currentIndex();
}

QWidget* TparamsForm::firstEntry() const {
    return impulseXEdit;
}

void TparamsForm::FormShow() {
    for (Axis axis : allAxes) {
        LinearIndex[static_cast<std::size_t>(axisIndex(axis))] =
            resolutionCombo(axis)->currentIndex();
    }
    ConfigDialog::FormShow();
}
