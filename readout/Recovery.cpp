// A lost link and how it comes back by itself: the port that went away is reopened, a box that
// fell silent is asked again, and once it answers the link starts anew. The operator is told the
// state in words in the status line; the wait dialog still asks once, and closes itself when the
// readings come back.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <chrono>

#include "app/breakUnit.h"
#include "link/RSLib.h"
#include "readout/MainUnit.h"
#include "readout/Texts.h"

namespace {

// A port that went away is tried again soon (an adapter's brief glitch), then about once a second:
// a box that never comes back costs one failed open, or one request, a second. A box silent on a
// working port gets a second for the reply it may still owe before it is asked again.
int backoffMs(int attempts, bool portBroke) {
    if (!portBroke) return 1000;
    return attempts == 0 ? 250 : attempts == 1 ? 500 : 1000;
}

// When the cycle's request and its two repeats would have run out: the wait dialog comes then.
constexpr std::int64_t waitDialogAfterUs = 3'800'000;

}  // namespace

void TmainForm::portGone() {
    // A configuration dialog (or the read of a backup) meets the failure itself, and the link
    // starts anew when it closes.
    if (destroyed_ || pausedForDialog_) return;
    const bool polling = TimeOutTripleTimer.Enabled() || continueTimer.Enabled();
    // Let go of the device at once: an adapter's node comes back only once nobody holds it.
    stopCycleTimers();
    try {
        if (service_.Comm().Active()) service_.Close();
    } catch (const std::exception&) {
    }
    portOpen = false;
    linkStarting_ = false;
    beginOutage(true);
    if (polling) outage_.inCycle = true;
}

void TmainForm::beginOutage(bool portBroke) {
    if (!outage_.active) {
        outage_ = Outage{};
        outage_.active = true;
        outage_.sinceUs = clock_.nowUs();
        outage_.sinceWallNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::system_clock::now().time_since_epoch())
                                  .count();
        linkLostSinceRead_ = true;
        countHealth(feed::LinkHealth::losses);
    }
    outage_.portBroke = outage_.portBroke || portBroke;
    // The link test and another port stay within reach all the time.
    configMMI->setEnabled(true);
    scheduleRecovery();
    updateStatusLine();
}

void TmainForm::endOutage() {
    if (!outage_.active) return;
    outage_ = Outage{};
    recoverTimer.SetEnabled(false);
    closeWaitDialog();
    updateStatusLine();
}

void TmainForm::scheduleRecovery() {
    if (!outage_.active || destroyed_ || recoverTimer.Enabled()) return;
    recoverTimer.SetInterval(backoffMs(outage_.attempts, outage_.portBroke));
    recoverTimer.SetEnabled(true);
}

void TmainForm::recoverTimerTimer() {
    recoverTimer.SetEnabled(false);
    // A configuration dialog holds the port; the link starts anew when it closes.
    if (!outage_.active || destroyed_ || pausedForDialog_) return;
    ++outage_.attempts;
    // The next attempt is due whatever this one meets; an answer stops it.
    scheduleRecovery();
    if (!portLeadsToTheDeviceLost()) {
        // Not opened; the next attempt looks again.
    } else if (outage_.inCycle && !outage_.portBroke) {
        // The box fell silent on a working port: asked again as the cycle's own repeats did, so
        // that nothing but a reply to a position request is ever taken for one.
        try {
            if (service_.Comm().Active()) service_.Close();
            service_.Open();
            portOpen = true;
            ++outage_.probes;
            service_.ReadPositions();
        } catch (const std::exception&) {
            portOpen = false;
            outage_.portBroke = true;
        }
    } else {
        startLinkQuietly();
    }
    const std::int64_t from = lastReadingUs_ >= 0 ? lastReadingUs_ : outage_.sinceUs;
    if (outage_.active && outage_.inCycle && clock_.nowUs() - from >= waitDialogAfterUs)
        showOutageDialog();
    updateStatusLine();
}

bool TmainForm::portLeadsToTheDeviceLost() {
    outage_.otherDevice.clear();
    if (!openedNode_) return true;
    const auto now = serial::deviceNode(service_.GetPortName());
    // Nothing there: the open fails, and says so.
    if (!now || *now == *openedNode_ || now->madeNs > outage_.sinceWallNs) return true;
    // A node that was there all along under another name (a second adapter, now first in the
    // machine's order; the device given on the command line once the working directory's link
    // went) is another box: its figures would be taken for this machine's. The operator's F5
    // opens it.
    outage_.otherDevice = now->path;
    return false;
}

void TmainForm::showOutageDialog() {
    // Once per outage, never over a message box that is still open.
    if (outage_.dialogShown || waitDialogShowing() || messagesShowing_ > 0 || !breakForm_) return;
    outage_.dialogShown = true;
    setWaitText();
    // "OK" only ends the question: the recovery goes on behind it, and readings that come back
    // close it.
    showWaitDialog();
    if (outage_.active) configMMI->setEnabled(true);
}

void TmainForm::tellLinkFailure(const QString& text, bool operatorAsked) {
    if (messagesShowing_ > 0 || (outage_.active && outage_.told && !operatorAsked)) return;
    if (outage_.active) outage_.told = true;
    ++messagesShowing_;
    message(text);
    --messagesShowing_;
}

void TmainForm::settleOffsets() {
    using Zeroed = readout::OffsetsZeroed;
    Zeroed why = Zeroed::no;
    if (firstRead_)
        why = Zeroed::programStart;
    else if (portChangedSinceRead_)
        why = Zeroed::portChanged;
    else if (linkLostSinceRead_)
        why = Zeroed::linkLost;
    else if (!(boxReading_ == boxRead_))
        why = Zeroed::configurationChanged;
    else if (service_.ConfigurationWrites() != configurationWritesAtRead_)
        why = Zeroed::configurationWritten;
    firstRead_ = linkLostSinceRead_ = portChangedSinceRead_ = false;
    configurationWritesAtRead_ = service_.ConfigurationWrites();
    if (why == Zeroed::no) return;
    const bool held = std::any_of(offsets.begin(), offsets.end(), [](double o) { return o != 0; });
    offsets = {};
    // Said only when an offset was lost: zeros that stay zeros are no news.
    if (held) offsetsZeroed_ = why;
}

bool TmainForm::currentReadingOrRefuse(const QString& refusal) {
    if (readoutsLive_) return true;
    // Counted as a message: the wait dialog does not open over it.
    ++messagesShowing_;
    message(refusal.isEmpty() ? texts::staleReading() : refusal);
    --messagesShowing_;
    return false;
}

readout::LinkStatus TmainForm::linkStatus() const {
    using State = readout::LinkStatus::State;
    readout::LinkStatus status;
    status.port = QString::fromStdString(service_.GetPortName());
    status.zeroed = offsetsZeroed_;
    const std::int64_t now = clock_.nowUs();
    const std::int64_t from = lastReadingUs_ >= 0 ? lastReadingUs_
                              : outage_.active    ? outage_.sinceUs
                                                  : now;
    status.seconds = static_cast<int>(std::max<std::int64_t>(0, now - from) / 1'000'000);
    if (pausedForDialog_)
        status.state = State::dialog;
    else if (linkStarting_ && !quietStart_)
        // The operator's F5 (or another port) is under way: said, also while the link is lost.
        status.state = State::starting;
    else if (outage_.active && !outage_.otherDevice.empty()) {
        status.state = State::otherDevice;
        status.device = QString::fromStdString(outage_.otherDevice);
    }
    else if (readoutsLive_)
        status.state = State::current;
    else if (unknownDevice_)
        status.state = State::unknownDevice;
    else if (outage_.active)
        status.state = outage_.portBroke ? State::lost : State::silent;
    else if (linkStarting_)
        status.state = State::starting;
    else
        status.state = State::stale;
    return status;
}

void TmainForm::updateStatusLine() {
    if (!statusLabel) return;
    QString text = readout::statusText(linkStatus());
    // The broker's trouble goes after the link's first line: the link comes first.
    if (const QString problem = brokerProblem_ ? brokerProblem_() : QString(); !problem.isEmpty()) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'));
        text.insert(end < 0 ? text.size() : end, QStringLiteral(" – ") + problem);
    }
    if (text == statusLabel->text()) return;
    statusLabel->setText(text);
    statusLabel->setToolTip(text);
}
