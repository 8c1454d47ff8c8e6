// The axis parameters dialog's send: validation of the entries and the chain of writes.
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <array>

#include "config/AxisLimits.h"
#include "config/Entries.h"
#include "config/ParamsWrite.h"
#include "config/Resolution.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "platform/Prompts.h"

namespace {

std::size_t at(Axis axis) {
    return static_cast<std::size_t>(axisIndex(axis));
}

QString axisText(Axis axis) {
    return QString(QChar(u"XYZ"[at(axis)])) + u'.';
}

bool isKnownKind(int kind) {
    return kind >= 1 && kind <= 4;
}

}  // namespace

bool TparamsForm::ValidateAxis(Axis axis) {
    const std::size_t i = at(axis);
    const auto refuse = [this, axis](const QString& text) {
        prompts_.showMessage(text.arg(axisText(axis)));
        setButtonsEnabled(true);
        return false;
    };

    const int kind = deviceKind();
    const int code = resolution::codeForIndex(kind, resolutionCombo(axis)->currentIndex());
    ResolutionCode[i] = code;
    if (isKnownKind(kind) && (code < resolution::minCode(kind) || code > maxResolutionCode_)) {
        return refuse(tr("Błędna wartość rozdzielczości dla osi %1"));
    }

    const std::int32_t pulses = entries::parseWholeNumber(impulseEdit(axis)->text()).value_or(-1);
    if (pulses < 0 || pulses > limits::maxPulseCount) {
        return refuse(tr("Błędna wartość ilości impulsów dla osi %1"));
    }
    const ReadValues& read = read_[i];
    LineCount[i] = read.lineCount && impulseEdit(axis)->text() == read.pulseText ? *read.lineCount
                                                                                 : pulses * 4;

    const std::optional<double> calibration =
        entries::parseCalibration(calibrationEdit(axis)->text());
    if (!calibration) return refuse(tr("Błędna wartość kalibracji dla osi %1"));
    Calibration[i] = *calibration;
    // A kind 1 box would keep a value above 8.388607 without its last decimal.
    if (!limits::calibrationWritable(kind, *calibration)) {
        return refuse(tr("Wartość kalibracji poza przedziałem dla osi %1"));
    }
    return true;
}

void TparamsForm::KeepReadValues(Axis axis) {
    const std::size_t i = at(axis);
    const ReadValues& read = read_[i];
    // The box keeps values for axes it does not have; they go back as they came. Before any read,
    // a kind 1 box gets code 0, by which it counts an axis absent, and not a new axis with the
    // finest resolution.
    ResolutionCode[i] = read.code.value_or(deviceKind() == 1 ? 0 : maxResolutionCode_);
    LineCount[i] = read.lineCount.value_or(0);
    // The operator cannot edit a disabled group: its edit holds what the main window read.
    Calibration[i] = entries::parseCalibration(calibrationEdit(axis)->text()).value_or(0.0);
}

void TparamsForm::saveButtonClick() {
    setButtonsEnabled(false);
    // The combos' remembered linear positions are the operator's choice, not values of this
    // send: a refused or failed save must not turn an axis switched back to linear into the
    // finest resolution of the list.
    const std::array<std::int32_t, 3> remembered = LinearIndex;
    ClearSendValues();
    LinearIndex = remembered;
    for (Axis axis : {Axis::Y, Axis::Z}) {
        if (!group(axis)->isEnabled()) KeepReadValues(axis);
    }
    if (!ValidateAxis(Axis::X)) return;
    if (dimYGBox->isEnabled() && !ValidateAxis(Axis::Y)) return;
    if (dimZGBox->isEnabled() && !ValidateAxis(Axis::Z)) return;

    // The buttons of a disabled group count too: the box keeps a type for every axis.
    if (angleXRButton->isChecked()) OrientationBits += 1;
    if (angleYRButton->isChecked()) OrientationBits += 2;
    if (angleZRButton->isChecked()) OrientationBits += 4;

    ParamsValues values;
    for (std::size_t i = 0; i < 3; ++i) {
        values.calibration[i] = Calibration[i];
        values.resolutionCodes[i] = static_cast<std::uint8_t>(ResolutionCode[i]);
        values.lineCounts[i] = LineCount[i];
    }
    values.dimensionTypes = static_cast<std::uint8_t>(OrientationBits & 0xFFu);
    writeParams(
        chain_, service_, values, [this](std::function<void()> step) { return startSend(step); },
        [this] {
            // The combos' positions are the box's now: going back to linear returns to them.
            for (Axis axis : {Axis::X, Axis::Y, Axis::Z})
                LinearIndex[at(axis)] = resolutionCombo(axis)->currentIndex();
        });
}
