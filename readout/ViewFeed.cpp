// What the window gives the live view for browsers: its figures, mode and state, as it shows
// them, and the view's choice from and to the settings file.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/breakUnit.h"
#include "readout/MainUnit.h"
#include "web/LiveView.h"

namespace {
constexpr Axis axes[] = {Axis::X, Axis::Y, Axis::Z};
}

void TmainForm::attachLiveView(web::LiveView& view, std::function<void()> openDialog) {
    liveView_ = &view;
    openViewDialog_ = std::move(openDialog);
    viewMMI->setVisible(true);
    view.setSource([this] { return viewState(); });
    for (Axis axis : axes)
        connect(readout(axis), &readout::Figures::textChanged, this, [this] { notifyView(); });
    connect(relRButton, &QRadioButton::toggled, this, [this] { notifyView(); });
}

void TmainForm::notifyView() {
    if (liveView_) liveView_->changed();
}

web::ViewState TmainForm::viewState() const {
    web::ViewState state;
    state.axes = shownAxes;
    for (Axis axis : axes) {
        const auto i = static_cast<std::size_t>(axisIndex(axis));
        state.texts[i] = readout(axis)->text();
        state.labels[i] = axisLetter(axis)->text().trimmed();
        state.toGo[i] = chosenPoint_ >= 0 && points_[static_cast<std::size_t>(chosenPoint_)].at[i];
        state.near[i] = nearZero_[i];
        state.spoken[i] = readout(axis)->spokenState();
    }
    if (chosenPoint_ >= 0) state.point = pointLabel->text().replace(QLatin1Char('\n'), QLatin1Char(' '));
    state.mode = (relRButton->isChecked() ? relRButton : absRButton)->text().remove('&');
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
        state.why = QStringLiteral("Program został zamknięty");
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
