// The measurement cycle: one position request at a time, each reply shown and followed at once by
// the next request; the watchdog that repeats a missing request and then asks the operator.
#include <QAction>
#include <QColor>
#include <QLabel>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include "app/breakUnit.h"
#include "config/paramsUnit.h"
#include "link/RSLib.h"
#include "readout/Formats.h"
#include "readout/MainUnit.h"
#include "readout/Texts.h"

namespace {
constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};
}

double TmainForm::stepForCode(int code) const {
    return readout::stepForCode(service_.DeviceKind(), code,
                                paramsForm_ ? paramsForm_->MaxResolutionCode() : 0);
}

int TmainForm::decimalsForCode(int code) const {
    return readout::decimalsForCode(service_.DeviceKind(), code,
                                    paramsForm_ ? paramsForm_->MaxResolutionCode() : 0);
}

double TmainForm::positionFromCount(Axis axis, std::int32_t count) const {
    const auto i = static_cast<std::size_t>(axisIndex(axis));
    return readout::positionFromCount(
        service_.DeviceKind(), count,
        readout::AxisScale{angular(axis), lineCounts[i], resolutionSteps[i], calibrations[i]});
}

void TmainForm::startPolling() {
    service_.OnAcknowledge = nullptr;
    service_.OnTimeout = nullptr;
    service_.OnLateReply = nullptr;
    service_.OnRawByte = nullptr;
    service_.OnPositions = [this](std::int32_t x, std::int32_t y, std::int32_t z, bool valid) {
        guarded([&] { positionsReceived(x, y, z, valid); });
    };
    service_.OnLinkError = [this](std::int32_t code) { guarded([&] { pollErrorReported(code); }); };
    try {
        service_.Open();
    } catch (const std::exception& e) {
        TimeOutTripleTimer.SetEnabled(false);
        beginOutage(true);
        tellLinkFailure(texts::openFailed(e, service_.GetPortName()));
        return;
    }
    portOpen = true;
    closeWaitDialog();
    setWaitText();
    TimeOutTripleTimer.SetEnabled(true);
    service_.ReadPositions();
}

void TmainForm::positionsReceived(std::int32_t countX, std::int32_t countY, std::int32_t countZ,
                                  bool valid) {
    if (!valid) countHealth(feed::LinkHealth::invalid);
    if (outage_.active) {
        // A garbled reply proves nothing: the recovery asks again.
        if (!valid) return;
        if (!outage_.inCycle || outage_.portBroke || outage_.probes > 0) {
            // The box answers the recovery: it may have restarted meanwhile, or be another one.
            // The link starts anew, and the read tells whether the offsets still hold.
            startLinkQuietly();
            return;
        }
        // The box answers a request it had before it fell silent: the same box, counting on.
        linkLostSinceRead_ = false;
        endOutage();
    }
    if (pendingRefByte != 0) {
        sendReference();
        return;
    }
    // A reply that came with a line error holds counts that are not the box's: it is not shown,
    // ends no reference search, and does not count as an answer, so the watchdog keeps running
    // from the first request it did not get one for. A line that corrupts every reply then ends
    // in the wait dialog instead of figures standing still as if they were live.
    if (!valid) {
        continueCycle();
        return;
    }
    retriesLeft = 2;
    TimeOutTripleTimer.SetEnabled(false);
    if (waitDialogShowing()) {
        closeWaitDialog();
        update();
    }
    ++readingsShown_;
    countHealth(feed::LinkHealth::readings);
    std::int64_t arrivedUs = 0;
    readingWireUs_ = service_.Comm().LastByteArrived(arrivedUs) ? arrivedUs : 0;
    showCounts({countX, countY, countZ});
    setReadoutsLive(true);
    feed_.readingShown();
    continueCycle();
}

void TmainForm::setReadoutsLive(bool live) {
    if (live) {
        // Restarted by each reading shown.
        freshnessTimer.SetEnabled(false);
        freshnessTimer.SetEnabled(true);
    } else {
        freshnessTimer.SetEnabled(false);
    }
    if (live == readoutsLive_) return;
    readoutsLive_ = live;
    // The time of the last reading is only needed once there are no more: taken as they stop.
    if (!live && readingsShown_ > 0) lastReadingUs_ = clock_.nowUs();
    statusTimer.SetEnabled(!live);
    updateStatusLine();
    notifyView();
    // Green figures are the box's reading of a moment ago; grey ones are what was last read
    // before the readings stopped (no answer, a link error, a link start, a dialog).
    const QColor colour = live ? QColor(0, 128, 0) : QColor(128, 128, 128);
    for (Axis axis : axes) {
        readout::Figures* figures = readout(axis);
        QPalette palette = figures->palette();
        palette.setColor(QPalette::WindowText, colour);
        figures->setPalette(palette);
        // The grey is not seen by someone who listens to the figures: they are told in words.
        // The near-zero cue greys with them: it no longer says where the axis stands.
        if (!live) setNearZero(axis, false);
        showSpokenState(axis);
    }
    updateTopView();
}

void TmainForm::showCounts(const std::array<std::int32_t, 3>& counts) {
    for (Axis axis : axes)
        positions[static_cast<std::size_t>(axisIndex(axis))] =
            positionFromCount(axis, counts[static_cast<std::size_t>(axisIndex(axis))]);

    // A reference search ends at the first count other than 0 on its axis.
    for (Axis axis : axes)
        if (refButton(axis)->isChecked() && counts[static_cast<std::size_t>(axisIndex(axis))] != 0)
            refButton(axis)->setChecked(false);
    if (!xSButton->isChecked() && !ySButton->isChecked() && !zSButton->isChecked()) {
        for (Axis axis : axes) refButton(axis)->setEnabled(true);
        configMMI->setEnabled(true);
    }

    showReadings();
}

void TmainForm::continueCycle() {
    if (dialogRequested) {
        if (configTimer.Enabled()) openParamsDialog();
        if (coordTimer.Enabled()) openCoordDialog();
        if (restoreTimer.Enabled()) openRestoreDialog();
    } else if (testRequested) {
        testTimer.SetEnabled(false);
        testRequested = false;
        startLink(true);
    } else {
        TimeOutTripleTimer.SetEnabled(true);
        service_.ReadPositions();
    }
}

void TmainForm::showReadings() {
    for (Axis axis : axes) showAxisValue(axis, relRButton->isChecked());
    for (Axis axis : axes)
        if (refButton(axis)->isChecked()) readout(axis)->setText(QStringLiteral("Ref"));
    updateTopView();
}

void TmainForm::TimeOutTripleTimerTimer() {
    TimeOutTripleTimer.SetEnabled(false);
    if (retriesLeft > 0) {
        --retriesLeft;
        countHealth(feed::LinkHealth::retries);
        continueTimer.SetEnabled(true);
        return;
    }
    // The request and two repeats went unanswered: a reply that still comes closes the dialog
    // and the cycle goes on from it. From now on the box is asked again about once a second, and
    // "OK" only ends the question.
    beginOutage(false);
    outage_.inCycle = true;
    showOutageDialog();
}

void TmainForm::continueOnTimer() {
    continueTimer.SetEnabled(false);
    try {
        service_.Close();
        service_.Open();
        service_.ReadPositions();
    } catch (const std::exception&) {
        // The port would not open again: it is reopened about once a second from now on, and the
        // status line says so, rather than a message at each repeat.
        portOpen = false;
        stopCycleTimers();
        beginOutage(true);
        outage_.inCycle = true;
        return;
    }
    TimeOutTripleTimer.SetEnabled(true);
}

void TmainForm::pollErrorReported(std::int32_t code) {
    // The menu comes back also when a Ref button held it: with the link closed, releasing the
    // button no longer gives it back, and the link test is the only way on.
    abandonLink();
    beginOutage(false);
    tellLinkFailure(texts::deviceUnavailable(code));
}
