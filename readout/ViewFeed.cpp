// What the window gives the feed of readings (the live view for browsers, the MQTT broker, the
// recording): its figures, values, mode and state, as it shows them, with the line's health;
// and the view's choice from and to the settings file.
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/breakUnit.h"
#include "link/RSLib.h"
#include "readout/Formats.h"
#include "readout/HealthWindow.h"
#include "readout/MainUnit.h"
#include "serial/VaComm.h"
#include "web/LiveView.h"

namespace {
constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};
}

void TmainForm::initFeed() {
    health_ = feed::LinkHealth(clock_.nowUs() / 1000);
    feed_.setSource([this] { return viewState(); });
    for (Axis axis : axes)
        connect(readout(axis), &readout::Figures::textChanged, this, [this] { notifyView(); });
    connect(relRButton, &QRadioButton::toggled, this, [this] { notifyView(); });
    // Every error the port reports, also those the link makes nothing of: the technician asks
    // about the cable, not about the replies.
    service_.OnLineError = [this](std::int32_t errors) {
        if (errors & serial::ErrorBits::Parity) countHealth(feed::LinkHealth::parity);
        if (errors & serial::ErrorBits::Frame) countHealth(feed::LinkHealth::framing);
        if (errors & (serial::ErrorBits::Overrun | serial::ErrorBits::Overflow))
            countHealth(feed::LinkHealth::overrun);
    };
}

void TmainForm::countHealth(feed::LinkHealth::Event event) {
    health_.count(event, clock_.nowUs() / 1000);
    // A fault is news to the health window and the broker even when the figures stand still.
    if (event != feed::LinkHealth::readings) notifyView();
}

feed::LinkHealth::Counts TmainForm::linkHealth() const {
    return health_.counts(clock_.nowUs() / 1000);
}

void TmainForm::attachLiveView(web::LiveView& view, std::function<void()> openDialog) {
    liveView_ = &view;
    openViewDialog_ = std::move(openDialog);
    viewMMI->setVisible(true);
    view.setSource([this] { return viewState(); });
    connect(&feed_, &feed::Feed::reading, &view, &web::LiveView::take);
}

void TmainForm::attachBroker(std::function<void()> openDialog, std::function<QString()> problem) {
    openBrokerDialog_ = std::move(openDialog);
    brokerProblem_ = std::move(problem);
    brokerMMI->setVisible(true);
}

void TmainForm::attachRecording(std::function<void()> toggle) {
    toggleRecording_ = std::move(toggle);
    recordMMI->setVisible(true);
}

void TmainForm::attachCurves(std::function<void()> open) {
    openCurves_ = std::move(open);
    curvesMMI->setVisible(true);
}

void TmainForm::showRecording(bool on, const QString& path) {
    recordMMI->setChecked(on);
    recordMMI->setToolTip(on ? tr("Nagrywanie odczytów do %1").arg(path) : QString());
}

void TmainForm::showHealthWindow() {
    if (!healthWindow_)
        healthWindow_ = new readout::HealthWindow([this] { return linkHealth(); }, this);
    healthWindow_->show();
    healthWindow_->raise();
}

void TmainForm::notifyView() {
    feed_.changed();
}

web::ViewState TmainForm::viewState() const {
    web::ViewState state;
    state.axes = shownAxes;
    state.relative = relRButton->isChecked();
    for (Axis axis : axes) {
        const auto i = static_cast<std::size_t>(axisIndex(axis));
        state.texts[i] = readout(axis)->text();
        state.angular[i] = angular(axis);
        // The number behind the figures, not one read back from their text; none while they
        // show none ("Ref", or a resolution without a step).
        const bool number =
            !refButton(axis)->isChecked() && (angular(axis) || resolutionSteps[i] != 0);
        if (number)
            state.values[i] =
                readout::shownAxisValue(state.relative ? positions[i] - offsets[i] : positions[i],
                                        decimals[i], angular(axis));
        state.labels[i] = axisLetter(axis)->text().trimmed();
        state.toGo[i] = chosenPoint_ >= 0 && points_[static_cast<std::size_t>(chosenPoint_)].at[i];
        state.near[i] = nearZero_[i];
        state.spoken[i] = readout(axis)->spokenState();
    }
    if (chosenPoint_ >= 0)
        state.point = pointLabel->text().replace(QLatin1Char('\n'), QLatin1Char(' '));
    state.mode = (relRButton->isChecked() ? relRButton : absRButton)->text().remove('&');
    state.timeMs = QDateTime::currentMSecsSinceEpoch();
    state.health = linkHealth();
    state.reading = readingsShown_;
    state.wireUs = readingWireUs_;
    // The view's own dialog stops nothing; any other window of the program over this one does,
    // or the operator is being asked something the figures may depend on.
    const QWidget* modal = QApplication::activeModalWidget();
    const bool otherWindow =
        modal && modal != this && !modal->property("kvt3KeepsReadings").toBool();
    state.live = readoutsLive_ && portOpen && !destroyed_ && !otherWindow;
    if (state.live) return state;
    if (destroyed_)
        state.why = tr("Program został zamknięty");
    else if (outage_.active)
        // The status line's own words: lost or silent, for how long, and that it is retried.
        state.why = readout::statusText(linkStatus()).section(QLatin1Char('\n'), 0, 0);
    else if (breakForm_ && breakForm_->isVisible())
        state.why = tr("Urządzenie nie odpowiada");
    else if (otherWindow)
        state.why = tr("W programie otwarto okno – odczyty wstrzymane");
    else if (!portOpen)
        state.why = tr("Brak połączenia z urządzeniem");
    else
        state.why = tr("Brak aktualnych odczytów z urządzenia");
    return state;
}

void TmainForm::startLiveView() {
    if (!liveView_) return;
    web::ServeChoice choice = serveChoice_.value_or(web::ServeChoice{});
    if (serveAtStart) {
        choice.on = true;
        choice.address = serveAtStart->address;
        choice.port = serveAtStart->port;
    }
    // A failure is kept by the view and shown in its dialog; the readout goes on regardless.
    liveView_->apply(std::move(choice));
}

std::optional<std::string> TmainForm::sixthLineToKeep() const {
    // A file never touched by the view keeps its five lines exactly, and a line of the view's
    // that the program cannot read (edited by hand) stays as it was, token and all.
    if (liveView_ && !liveView_->choice().token.empty()) return web::serveLine(liveView_->choice());
    return sixthLine_;
}
