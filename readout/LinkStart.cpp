// The link start and the reading of the box's configuration: each reply asks for the next item,
// and the last step starts the measurement cycle.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

#include "app/breakUnit.h"
#include "config/coordUnit.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "link/WireFormats.h"
#include "readout/Formats.h"
#include "readout/MainUnit.h"
#include "readout/Texts.h"

namespace {

constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};

// A calibration factor the box may report: 0, or a magnitude from 0.000001 to 1000000.
bool calibrationAccepted(long double v) {
    const long double magnitude = std::fabs(v);
    return v == 0 || (magnitude >= 0.000001L && magnitude <= 1000000.0L);
}

bool kindWithIntegers(int kind) {
    return kind >= 2 && kind <= 4;
}

}  // namespace

void TmainForm::startLink(bool announce) {
    beginLink(announce, false);
}

void TmainForm::startLinkQuietly() {
    beginLink(false, true);
}

void TmainForm::beginLink(bool announce, bool quiet) {
    service_.AxisCount = 3;
    // The offsets stay until the whole read has shown whether they still hold (settleOffsets).
    positions = {};
    retriesLeft = 2;
    shownAxes = 3;
    testTimer.SetEnabled(false);
    quiesceLink();
    // A recovery's link start keeps the menu: the link test and another port stay within reach.
    if (outage_.active) configMMI->setEnabled(true);
    announceSuccess = announce;
    configurationRead_ = false;
    unknownDevice_ = false;
    quietStart_ = quiet;
    linkStarting_ = true;
    // A reference search asked for but not yet sent is not sent after the link start: its button
    // comes up, and the operator asks again on current figures.
    if (pendingRefByte >= 0xE1 && pendingRefByte <= 0xE3)
        for (Axis axis : axes) {
            if (pendingRefByte == 0xE1 + axisIndex(axis)) refButton(axis)->setChecked(false);
            refButton(axis)->setEnabled(true);
        }
    pendingRefByte = 0;
    registerConfigurationHandlers();
    updateStatusLine();

    if (!service_.Comm().Active()) {
        try {
            service_.Purge();
        } catch (const std::exception&) {
        }
        try {
            service_.Open();
        } catch (const std::exception& e) {
            linkStarting_ = false;
            configMMI->setEnabled(true);
            // Told once; the port is tried again about once a second from now on.
            beginOutage(true);
            if (!quiet) tellLinkFailure(texts::openFailed(e, service_.GetPortName()), true);
            return;
        }
        portOpen = true;
    }
    setWaitText();
    service_.CheckReadyOnQuietLine();
}

void TmainForm::registerConfigurationHandlers() {
    // A reply that came with a line error holds values that are not the box's: taken as they
    // stand, every later reading would be wrong until the next link start. The read stops as for
    // a refused value, so the operator runs the link test. (Kinds 2 to 4 carry the types in the
    // resolution reply, which reports the same error right after.)
    service_.OnAcknowledge = [this](bool accepted) { guarded([&] { readyReceived(accepted); }); };
    service_.OnCalibration = [this](bool valid, long double x, long double y, long double z) {
        guarded([&] { valid ? calibrationReceived(x, y, z) : configurationRefused(); });
    };
    service_.OnResolution = [this](std::uint8_t x, std::uint8_t y, std::uint8_t z, bool valid) {
        guarded([&] { valid ? resolutionReceived(x, y, z) : configurationRefused(); });
    };
    service_.OnDimensionTypes = [this](std::uint8_t bits, bool valid) {
        guarded([&] {
            if (valid)
                dimensionTypesReceived(bits);
            else if (service_.DeviceKind() == 1)
                configurationRefused();
        });
    };
    service_.OnLineCounts = [this](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
        guarded([&] { valid ? lineCountsReceived(x, y, z) : configurationRefused(); });
    };
    service_.OnCorrections = [this](std::uint8_t count, std::uint32_t flags,
                                    const TCorrectionTable& tx, const TCorrectionTable& ty,
                                    const TCorrectionTable& tz, bool valid) {
        guarded([&] {
            valid ? correctionsReceived(count, flags, tx, ty, tz) : configurationRefused();
        });
    };
    service_.OnTimeout = [this] { guarded([&] { startupTimedOut(); }); };
    service_.OnLateReply = [this] { guarded([&] { lateReplyReceived(); }); };
    service_.OnLinkError = [this](std::int32_t code) {
        guarded([&] { startupErrorReported(code); });
    };
}

void TmainForm::configurationRefused() {
    setReadoutsLive(false);
    linkStarting_ = false;
    configMMI->setEnabled(true);
    // A recovery reads again at its next attempt: the line that garbled this reply may be
    // settling, as one does while a cable is plugged in.
    if (outage_.active) scheduleRecovery();
    tellConfigurationProblem(texts::badParameter());
}

void TmainForm::tellConfigurationProblem(const QString& text) {
    // A recovery reads the configuration again about once a second: its problems are told once.
    if (quietStart_)
        tellLinkFailure(text);
    else
        message(text);
}

void TmainForm::readyReceived(bool accepted) {
    refTimer.SetEnabled(false);
    service_.OnAcknowledge = nullptr;
    const int kind = service_.DeviceKind();
    boxReading_ = {};
    boxReading_.deviceKind = kind;
    if (paramsForm_ && (kind == 1 || kindWithIntegers(kind)))
        paramsForm_->LoadResolutionLists(kind);
    if (accepted) {
        // The box answers: the recovery's next attempt would only interrupt the read.
        recoverTimer.SetEnabled(false);
        service_.ReadCalibration();
        return;
    }
    // The port opened and the box answered, but with no kind this program can read: nothing of
    // its configuration will come. Waiting out the reply time-out and then asking whether to wait
    // on would blame the line; the link is let go and the operator told what it is. A recovery
    // asks again at its next attempt: a byte of an earlier reply may have been taken for it.
    unknownDevice_ = true;
    linkStarting_ = false;
    const bool quiet = quietStart_;
    abandonLink();
    if (outage_.active) scheduleRecovery();
    updateStatusLine();
    if (!quiet) message(texts::unknownDevice());
}

void TmainForm::calibrationReceived(long double x, long double y, long double z) {
    const int kind = service_.DeviceKind();
    // The backup keeps what the box holds, also for axes it does not have: a restore then gives
    // the box back every byte it held.
    const long double asHeld[] = {x, y, z};
    keepCalibrationRead(asHeld);
    // Axes the box does not have carry 0.
    if (kind == 2) y = z = 0;
    if (kind == 3) z = 0;
    const long double values[] = {x, y, z};
    // A refused value is told at once, but the rest is still read: the parameters dialog then
    // holds what this box holds, and the operator can put the value right there. The cycle does
    // not start on it (see finishConfiguration).
    calibrationRefused_ = false;
    for (long double v : values) {
        if (!calibrationAccepted(v)) {
            calibrationRefused_ = true;
            tellConfigurationProblem(texts::badParameter());
            break;
        }
    }
    // To six decimals, cut off beyond them; a value the box holds as a whole number of
    // millionths keeps exactly that number, so the dialog writes back the bytes it came from.
    for (std::size_t i = 0; i < 3; ++i)
        calibrations[i] =
            static_cast<double>(wire::truncToMeantWhole(values[i] * 1000000.0L)) / 1000000.0;
    fillCalibrationEdits();
    setWaitText();
    service_.ReadResolution();
}

void TmainForm::resolutionReceived(std::uint8_t codeX, std::uint8_t codeY, std::uint8_t codeZ) {
    const int kind = service_.DeviceKind();
    const int maxCode = paramsForm_ ? paramsForm_->MaxResolutionCode() : 0;
    boxReading_.resolutionCodes = {codeX, codeY, codeZ};
    int axesShown = shownAxes;
    if (codeZ > maxCode) tellConfigurationProblem(texts::badParameter());
    if (kind == 1)
        axesShown = codeZ == 0 ? 2 : 3;
    else if (kindWithIntegers(kind))
        axesShown = kind - 1;
    else
        tellConfigurationProblem(texts::badParameter());
    if (codeY > maxCode) tellConfigurationProblem(texts::badParameter());
    if (kind == 1 && codeY == 0) axesShown = 1;
    // The rows shown are always the first axesShown ones: a Z row beside a missing Y row would
    // show a counter the box does not send.
    setShownAxes(axesShown);
    const int outerHeight = (axesShown >= 3 ? 286 : axesShown == 2 ? 236 : 186) + statusLineExtra();
    setFixedHeight(outerHeight - (frameGeometry().height() - height()));
    service_.AxisCount = static_cast<std::uint8_t>(axesShown);

    if ((kind == 1 && (codeX == 0 || codeX > maxCode)) ||
        (kindWithIntegers(kind) && codeX > maxCode))
        tellConfigurationProblem(texts::badParameter());
    if (paramsForm_) {
        paramsForm_->EnableAxisGroup(Axis::Y, shownAxes > 1);
        paramsForm_->EnableAxisGroup(Axis::Z, shownAxes > 2);
    }
    const int codes[] = {codeX, codeY, codeZ};
    for (std::size_t i = 0; i < 3; ++i) {
        resolutionCodes[i] = codes[i];
        resolutionSteps[i] = stepForCode(codes[i]);
        decimals[i] = decimalsForCode(codes[i]);
    }
    fillResolutions();
    if (kind == 1)
        service_.ReadDimensionTypes();
    else if (kindWithIntegers(kind))
        service_.ReadLineCounts();
}

void TmainForm::dimensionTypesReceived(std::uint8_t bits) {
    dimensionTypes = bits;
    boxReading_.dimensionTypes = bits;
    fillOrientation();
    setWaitText();
    if (service_.DeviceKind() == 1) service_.ReadLineCounts();
}

void TmainForm::lineCountsReceived(std::int32_t x, std::int32_t y, std::int32_t z) {
    const std::int32_t counts[] = {x, y, z};
    boxReading_.lineCounts = {x, y, z};
    for (std::size_t i = 0; i < 3; ++i) lineCounts[i] = counts[i] == 0 ? 1 : counts[i];
    fillImpulseEdits();
    if (service_.DeviceKind() == 1)
        finishConfiguration();
    else
        service_.ReadCorrections();
}

void TmainForm::correctionsReceived(std::uint8_t count, std::uint32_t flags,
                                    const TCorrectionTable& tableX, const TCorrectionTable& tableY,
                                    const TCorrectionTable& tableZ) {
    const TCorrectionTable* const read[] = {&tableX, &tableY, &tableZ};
    keepCorrectionsRead(count, flags, read);
    if (coordForm_) {
        coordForm_->SetCorrectionFlags(flags);
        coordForm_->setGridRowCounts(count);
        const TCorrectionTable* tables[] = {&tableX, &tableY, &tableZ};
        for (Axis axis : axes) {
            const auto i = static_cast<std::size_t>(axisIndex(axis));
            coordForm_->LoadCorrectionTable(axis, count, *tables[i], decimals[i],
                                            resolutionSteps[i]);
        }
    }
    finishConfiguration();
}

void TmainForm::finishConfiguration() {
    configMMI->setEnabled(true);
    closeLink();
    configurationRead_ = true;
    linkStarting_ = false;
    settleOffsets();
    // Only a whole read is the box's configuration: a re-read that stops part way (after a
    // reference command) leaves the last whole one for the backup and the restore's comparison.
    boxRead_ = boxReading_;
    calibrationRead_ = calibrationReading_;
    // The box answered the whole read: the link is back.
    endOutage();
    quietStart_ = false;
    updateStatusLine();
    // The operator was told of a refused calibration when it came; no figures are made with it.
    if (calibrationRefused_) return;
    // Once per link test: a later re-read (after a reference command) is no test.
    if (announceSuccess) {
        announceSuccess = false;
        message(texts::testPassed());
    }
    startPolling();
}

void TmainForm::startupTimedOut() {
    // The operator's own link start (F5) is answered each time; the recovery's asks once.
    const bool operatorAsked = !quietStart_;
    // From now on the link start is tried again about once a second, until the box answers.
    beginOutage(false);
    if (waitDialogShowing() || (outage_.dialogShown && !operatorAsked) || messagesShowing_ > 0)
        return;
    outage_.dialogShown = true;
    // A byte that still comes closes the dialog with "no" and the read goes on; so does a
    // recovery's link start that the box answers. "OK" only ends the question.
    if (showWaitDialog() != TbreakForm::ResultNo) configMMI->setEnabled(true);
}

void TmainForm::lateReplyReceived() {
    closeWaitDialog();
}

void TmainForm::startupErrorReported(std::int32_t code) {
    const bool quiet = quietStart_;
    linkStarting_ = false;
    abandonLink();
    beginOutage(false);
    // A recovery meets such errors as a line comes back (a cable plugged in): the status line
    // tells them.
    if (!quiet) tellLinkFailure(texts::deviceUnavailable(code));
}

void TmainForm::abandonLink() {
    // Also a reference command whose acknowledgement is still awaited (its own watchdog would
    // report the same failure a second time), a repeat of the cycle still due (it would reopen
    // the port behind the message), and a reference selector not yet sent: nothing of the link
    // given up goes on, and a later link start sends no command the operator no longer asks for.
    stopCycleTimers();
    pendingRefByte = 0;
    closeLink();
    configMMI->setEnabled(true);
}

void TmainForm::fillCalibrationEdits() {
    if (!paramsForm_) return;
    for (Axis axis : axes)
        paramsForm_->calibrationEdit(axis)->setText(QString::fromStdString(
            readout::formatFixed(calibrations[static_cast<std::size_t>(axisIndex(axis))], 6, 7)));
}

void TmainForm::fillResolutions() {
    if (!paramsForm_) return;
    for (Axis axis : axes)
        paramsForm_->SetAxisResolution(axis,
                                       resolutionCodes[static_cast<std::size_t>(axisIndex(axis))]);
}

void TmainForm::fillOrientation() {
    if (!paramsForm_) return;
    paramsForm_->OrientationBits = dimensionTypes;
    for (Axis axis : axes)
        (angular(axis) ? paramsForm_->angleButton(axis) : paramsForm_->lineButton(axis))
            ->setChecked(true);
}

void TmainForm::fillImpulseEdits() {
    if (!paramsForm_) return;
    // The window keeps a count read as 0 as 1, for its own arithmetic: 1 is shown and goes back
    // as the 0 the box holds (a count of 1 read as such went back as 0 all along).
    for (Axis axis : axes) {
        const std::int32_t count = lineCounts[static_cast<std::size_t>(axisIndex(axis))];
        paramsForm_->setLineCount(axis, count == 1 ? 0 : count);
    }
}
