// Offsets and relative mode, and the reference-mark search of one axis at a time. Offsets live
// only in this program; the reference command goes to the box between two position requests.
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>

#include "link/RSLib.h"
#include "readout/Formats.h"
#include "readout/MainUnit.h"
#include "readout/Texts.h"
#include "workshop/Units.h"

namespace {
constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};

// The figures show ten significant digits: a linear reading beyond them would be shown with its
// last places as zeros, or in exponent form, and no longer as entered.
bool figuresShowExactly(double value, int decimals) {
    const std::string shown = readout::formatAxisValue(value, decimals, false);
    if (shown.find_first_of("eE") != std::string::npos) return false;
    const auto back = readout::parseDecimal(shown);
    return back && std::fabs(*back - value) <= 1e-9 * std::max(1.0, std::fabs(value));
}
}  // namespace

void TmainForm::showAxisValue(Axis axis, bool relative) {
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    // A linear axis whose resolution code has no step would stand at 0 whatever the box counts:
    // it shows no number at all (the code was reported when it was read).
    if (!angular(axis) && resolutionSteps[i] == 0) {
        readout(axis)->setText(QStringLiteral("-----"));
        return;
    }
    const double value = relative ? positions[i] - offsets[i] : positions[i];
    const workshop::AxisView view = axisView(axis);
    // With a point chosen, an axis it gives shows how far it still has to go: driven to 0 it is
    // there.
    const std::optional<double> target =
        chosenPoint_ >= 0 ? points_[static_cast<std::size_t>(chosenPoint_)].at[i] : std::nullopt;
    if (!target) {
        setNearZero(axis, false);
        readout(axis)->setText(
            QString::fromStdString(workshop::readingText(value, view, workshop_.display)));
        return;
    }
    const double distance = workshop::distanceToGo(value, *target, view.angular);
    setNearZero(axis, readoutsLive_ &&
                          workshop::nearZero(distance, workshop_.tolerance, view, workshop_.display));
    readout(axis)->setText(
        QString::fromStdString(workshop::distanceText(distance, view, workshop_.display)));
}

void TmainForm::setOffsetButtonsEnabled(bool enabled) {
    relPanel->setEnabled(enabled);
    for (Axis axis : axes) {
        clrButton(axis)->setEnabled(enabled);
        setButton(axis)->setEnabled(enabled);
        halfButton(axis)->setEnabled(enabled);
        if (QAction* half = halfActions[static_cast<std::size_t>(axisIndex(axis))])
            half->setEnabled(enabled);
    }
}

void TmainForm::absRButtonClick() {
    setOffsetButtonsEnabled(false);
    for (Axis axis : axes) showAxisValue(axis, false);
}

void TmainForm::relRButtonClick() {
    setOffsetButtonsEnabled(true);
    for (Axis axis : axes) showAxisValue(axis, true);
}

void TmainForm::forgetOffsetsZeroed() {
    if (offsetsZeroed_ == readout::OffsetsZeroed::no) return;
    offsetsZeroed_ = readout::OffsetsZeroed::no;
    updateStatusLine();
}

void TmainForm::clrButtonClick(Axis axis) {
    // The zero is taken from the position shown: from a grey one it would be an old position,
    // and every reading after it off by as far as the axis has moved since.
    if (!currentReadingOrRefuse()) return;
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    offsets[i] = positions[i];
    forgetOffsetsZeroed();
    readout(axis)->setText(QStringLiteral("0.0"));
}

void TmainForm::applyOffsetEntry(Axis axis) {
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    const double step = resolutionSteps[i];
    if (step == 0) return;
    if (!currentReadingOrRefuse()) return;
    const std::string entry = deltaEdit->text().toStdString();
    const std::string_view text = readout::trimmed(entry);

    double value = 0;
    const workshop::AxisView view = axisView(axis);
    if (!angular(axis)) {
        const auto typed = readout::parseDecimal(text);
        if (!typed) {
            message(texts::badOffset());
            return;
        }
        // Typed in the unit shown (inches, a diameter); snapped to the axis's resolution in the
        // box's unit, halves to the even step.
        value = std::nearbyint(*typed / workshop::shownPerBox(view, workshop_.display) / step) * step;
    } else if (workshop_.display.angle == workshop::AngleFormat::decimal &&
               text.find('\'') == std::string_view::npos) {
        // Decimal degrees, as the figures show them.
        const auto typed = workshop::typedValue(text, view, workshop_.display);
        if (!typed) {
            message(texts::badOffset());
            return;
        }
        value = *typed;
    } else {
        using Error = readout::AngleEntry::Error;
        const readout::AngleEntry angle = readout::parseAngleEntry(text);
        switch (angle.error) {
            case Error::None:
                value = angle.degrees;
                break;
            case Error::NotDigits:
                message(texts::badOffset());
                return;
            case Error::MinutesOneDigit:
                message(texts::minutesTwoDigits());
                return;
            case Error::SecondsOneDigit:
                message(texts::secondsTwoDigits());
                return;
            case Error::DegreesExceeded:
                message(texts::degreesExceeded());
                return;
            case Error::MinutesExceeded:
                message(texts::minutesExceeded());
                return;
            case Error::SecondsExceeded:
                message(texts::secondsExceeded());
                return;
            case Error::DegreesNotInteger:
                prompts_.showException(
                    texts::notAnInteger(QString::fromStdString(angle.degreeField)));
                return;
        }
    }
    // A huge entry overflows while it is snapped to the step: an infinite offset would show
    // on every reading and go into the settings file.
    // One the figures cannot show as typed is refused too.
    const double offset = positions[i] - value;
    if (!std::isfinite(value) || !std::isfinite(offset) || !std::isfinite(positions[i] - offset) ||
        (!angular(axis) && !figuresShowExactly(value, decimals[i]))) {
        message(texts::badOffset());
        return;
    }
    offsets[i] = offset;
    forgetOffsetsZeroed();
    showAxisValue(axis, true);
}

void TmainForm::SButtonClick(Axis axis) {
    // A search asked for while the link is lost would go out whenever the box answered again,
    // long after the operator pressed the button, and hold the menu (F5 among it) meanwhile.
    // Letting go of a search stays possible.
    if (refButton(axis)->isChecked() && outage_.active &&
        !currentReadingOrRefuse(texts::staleReference())) {
        refButton(axis)->setChecked(false);
        return;
    }
    refButtonChanged(axis, static_cast<std::uint8_t>(0xE1 + axisIndex(axis)));
    const bool up = !refButton(axis)->isChecked();
    for (Axis other : axes)
        if (other != axis) refButton(other)->setEnabled(up);
}

void TmainForm::refButtonChanged(Axis axis, std::uint8_t selector) {
    if (!portOpen) return;
    const bool down = refButton(axis)->isChecked();
    configMMI->setEnabled(!down);
    pendingRefByte = down ? selector : std::uint8_t{0xE5};
}

void TmainForm::sendReference() {
    continueTimer.SetEnabled(false);
    TimeOutTripleTimer.SetEnabled(false);
    // The acknowledgement leads into a configuration read, which needs its time-out, late-reply
    // and error handlers like any other: a box falling silent then must not freeze the figures.
    registerConfigurationHandlers();
    service_.WriteReference(pendingRefByte);
    refTimer.SetEnabled(true);
    pendingRefByte = 0;
}

void TmainForm::refTimerTimer() {
    refTimer.SetEnabled(false);
    // Given up: an acknowledgement that still comes must not restart the cycle behind the
    // message.
    service_.OnAcknowledge = nullptr;
    abandonLink();
    message(texts::referenceInterrupted());
}
