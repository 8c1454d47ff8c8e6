#include "curves/CurvesWindow.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace curves {

namespace {

constexpr int spans[] = {10, 30, 60, 120, 300, 600};
// Points per curve at most: some for each pixel of a plot as wide as a screen.
constexpr std::size_t buckets = 300;
// Drawing at most this often: each drawing of the three plots takes milliseconds of the
// window's thread.
constexpr double redrawSeconds = 0.5;
// A reading is current for this long without a new one.
constexpr double staleSeconds = 1.0;

const QColor axisColours[] = {QColor(0, 90, 200), QColor(0, 140, 60), QColor(170, 80, 0)};

QScatterSeries* marks(QChart* chart, QColor colour, QScatterSeries::MarkerShape shape,
                      const QString& name) {
    auto* series = new QScatterSeries(chart);
    series->setName(name);
    series->setColor(colour);
    series->setBorderColor(colour);
    series->setMarkerShape(shape);
    series->setMarkerSize(9);
    chart->addSeries(series);
    return series;
}

}  // namespace

CurvesWindow::CurvesWindow(feed::Feed& feed, QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(tr("Wykresy odczytów"));
    clock_.start();
    spanCombo = new QComboBox(this);
    for (int seconds : spans)
        spanCombo->addItem(seconds < 60 ? tr("%1 s").arg(seconds) : tr("%1 min").arg(seconds / 60),
                           seconds);
    spanCombo->setCurrentIndex(1);
    auto* spanLabel = new QLabel(tr("&Okno czasu:"), this);
    spanLabel->setBuddy(spanCombo);
    spanCombo->setAccessibleName(tr("Okno czasu"));
    stateLabel = new QLabel(this);
    QPalette grey = stateLabel->palette();
    grey.setColor(QPalette::WindowText, QColor(110, 110, 110));
    stateLabel->setPalette(grey);
    stateLabel->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(spanLabel);
    top->addWidget(spanCombo);
    top->addSpacing(12);
    top->addWidget(stateLabel);
    top->addStretch(1);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 4);
    outer->addLayout(top);
    for (std::size_t i = 0; i < 3; ++i) {
        auto* chart = new QChart;
        chart->setAnimationOptions(QChart::NoAnimation);
        chart->setMargins(QMargins(2, 2, 2, 2));
        chart->legend()->hide();
        chart->setTitle(tr("Oś %1").arg(QChar(u"XYZ"[i])));
        lines[i] = new QLineSeries(chart);
        lines[i]->setColor(axisColours[i]);
        chart->addSeries(lines[i]);
        invalidMarks[i] = marks(chart, QColor(200, 0, 0), QScatterSeries::MarkerShapeRectangle,
                                tr("błędna odpowiedź"));
        lossMarks[i] =
            marks(chart, QColor(0, 0, 0), QScatterSeries::MarkerShapeCircle, tr("utrata łącza"));
        referenceMarks[i] = marks(chart, QColor(120, 0, 160), QScatterSeries::MarkerShapeCircle,
                                  tr("szukanie znacznika"));
        // Small labels: three plots share a screen of 480 pixels.
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.8);
        chart->setTitleFont(small);
        timeAxes_[i] = new QValueAxis(chart);
        timeAxes_[i]->setLabelFormat(QStringLiteral("%.0f s"));
        timeAxes_[i]->setLabelsFont(small);
        timeAxes_[i]->setTickCount(7);
        valueAxes_[i] = new QValueAxis(chart);
        valueAxes_[i]->setLabelFormat(QStringLiteral("%.6g"));
        valueAxes_[i]->setLabelsFont(small);
        valueAxes_[i]->setTitleFont(small);
        valueAxes_[i]->setTickCount(3);
        chart->addAxis(timeAxes_[i], Qt::AlignBottom);
        chart->addAxis(valueAxes_[i], Qt::AlignLeft);
        for (QAbstractSeries* series : chart->series()) {
            series->attachAxis(timeAxes_[i]);
            series->attachAxis(valueAxes_[i]);
        }
        charts_[i] = chart;
        views[i] = new QChartView(chart, this);
        views[i]->setMinimumHeight(110);
        views[i]->setAccessibleName(tr("Oś %1").arg(QChar(u"XYZ"[i])));
        outer->addWidget(views[i], 1);
    }
    resize(780, 440);
    // Drawing follows the readings (see take); the timer only keeps the curves moving, and grey,
    // when none come.
    tick_.setInterval(1000);
    connect(&tick_, &QTimer::timeout, this, &CurvesWindow::redraw);
    connect(spanCombo, &QComboBox::currentIndexChanged, this, &CurvesWindow::redraw);
    connect(&feed, &feed::Feed::reading, this, &CurvesWindow::take);
}

double CurvesWindow::spanSeconds() const {
    return spanCombo->currentData().toDouble();
}

void CurvesWindow::take(const feed::Reading& state) {
    const double t = now();
    axes_ = std::clamp(state.axes, 1, 3);
    angular_ = state.angular;
    live_ = state.live;
    if (state.live && state.reading != lastReading_) {
        lastReading_ = state.reading;
        lastNew_ = t;
        for (int i = 0; i < axes_; ++i)
            if (const auto& value = state.values[static_cast<std::size_t>(i)])
                data_.add(i, t, *value);
    }
    using E = feed::LinkHealth;
    if (seen_) {
        if (state.health.sinceStart[E::invalid] > health_.sinceStart[E::invalid])
            data_.mark(t, Mark::invalid);
        if (state.health.sinceStart[E::losses] > health_.sinceStart[E::losses])
            data_.mark(t, Mark::loss);
    }
    seen_ = true;
    health_ = state.health;
    for (std::size_t i = 0; i < 3; ++i) {
        const bool searching = state.texts[i] == QLatin1String("Ref");
        if (searching && !searching_[i]) data_.mark(t, Mark::reference, static_cast<int>(i));
        searching_[i] = searching;
    }
    // Drawn once the window's thread is done with this reading and has asked for the next one:
    // the drawing then takes place while the box answers, not while its answer waits.
    if (isVisible() && !redrawDue_ && t - lastRedraw_ >= redrawSeconds) {
        redrawDue_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                redrawDue_ = false;
                redraw();
            },
            Qt::QueuedConnection);
    }
}

void CurvesWindow::redraw() {
    const double end = now();
    lastRedraw_ = end;
    if (tick_.isActive()) tick_.start();
    const double from = end - spanSeconds();
    grey_ = !live_ || end - lastNew_ > staleSeconds;
    stateLabel->setText(tr("odczyty wstrzymane"));
    stateLabel->setVisible(grey_);
    const std::vector<Event> events = data_.events(from);
    for (std::size_t i = 0; i < 3; ++i) {
        const int axis = static_cast<int>(i);
        views[i]->setVisible(axis < axes_);
        if (axis >= axes_) continue;
        QList<QPointF> curve;
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (const Point& p : data_.points(axis, from, buckets)) {
            curve.append(QPointF(p.t - end, p.value));
            low = std::min(low, p.value);
            high = std::max(high, p.value);
        }
        lines[i]->replace(curve);
        QList<QPointF> invalid, loss, reference;
        for (const Event& e : events) {
            const auto value = data_.valueAt(axis, e.t);
            if (!value) continue;
            const QPointF at(e.t - end, *value);
            if (e.mark == Mark::invalid) invalid.append(at);
            if (e.mark == Mark::loss) loss.append(at);
            if (e.mark == Mark::reference && e.axis == axis) reference.append(at);
        }
        invalidMarks[i]->replace(invalid);
        lossMarks[i]->replace(loss);
        referenceMarks[i]->replace(reference);
        timeAxes_[i]->setRange(-spanSeconds(), 0);
        // The time under the last plot only: the others share it.
        timeAxes_[i]->setLabelsVisible(axis == axes_ - 1);
        if (low > high) low = high = 0;
        const double margin = std::max((high - low) * 0.08, angular_[i] ? 0.01 : 0.001);
        // A round step, two or three of them from the lowest to the highest: labels that fit a
        // plot of a third of a small screen.
        const double rough = (high - low + 2 * margin) / 2;
        const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
        const double ratio = rough / magnitude;
        const double step = magnitude * (ratio <= 1 ? 1 : ratio <= 2 ? 2 : ratio <= 5 ? 5 : 10);
        const double bottom = std::floor((low - margin) / step) * step;
        const double top = std::ceil((high + margin) / step) * step;
        valueAxes_[i]->setRange(bottom, top);
        valueAxes_[i]->setTickCount(static_cast<int>(std::lround((top - bottom) / step)) + 1);
        valueAxes_[i]->setTitleText(angular_[i] ? QStringLiteral("°") : QStringLiteral("mm"));
        // Grey curves are the last readings, not current ones.
        lines[i]->setColor(grey_ ? QColor(150, 150, 150) : axisColours[i]);
        charts_[i]->setTitle(grey_ ? tr("Oś %1").arg(QChar(u"XYZ"[i])) + QStringLiteral(" – ") +
                                         tr("odczyty wstrzymane")
                                   : tr("Oś %1").arg(QChar(u"XYZ"[i])));
    }
}

void CurvesWindow::showEvent(QShowEvent* event) {
    redraw();
    tick_.start();
    QWidget::showEvent(event);
}

void CurvesWindow::hideEvent(QHideEvent* event) {
    tick_.stop();
    QWidget::hideEvent(event);
}

void CurvesWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes it, as every window of the program.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace curves
