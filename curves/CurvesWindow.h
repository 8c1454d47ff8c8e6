#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <array>

#include "curves/CurveData.h"
#include "feed/Feed.h"

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

// The live curves: each axis present against time, over a span the operator chooses (10 s to
// 10 min), with invalid replies, link losses and reference searches marked; grey, and saying so,
// when the readings stop. It takes every reading of the feed (an append), and draws twice a
// second while it is shown, thinned to what the plot can show, right after a reading has been
// taken and the next one asked for: the drawing fills the wait for the box's answer.
namespace curves {

class CurvesWindow : public QWidget {
    Q_OBJECT
public:
    CurvesWindow(feed::Feed& feed, QWidget* parent);

    QComboBox* spanCombo;  // 10 s, 30 s, 1 min, 2 min, 5 min, 10 min
    QLabel* stateLabel;    // why the curves are grey; hidden while current
    std::array<QChartView*, 3> views{};
    std::array<QLineSeries*, 3> lines{};
    std::array<QScatterSeries*, 3> invalidMarks{}, lossMarks{}, referenceMarks{};

    void take(const feed::Reading& state);
    // Draws what the span holds now.
    void redraw();
    bool grey() const { return grey_; }
    double spanSeconds() const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    double now() const { return static_cast<double>(clock_.elapsed()) / 1000.0; }

    CurveData data_;
    QElapsedTimer clock_;
    QTimer tick_;
    std::array<QValueAxis*, 3> timeAxes_{}, valueAxes_{};
    std::array<QChart*, 3> charts_{};
    int axes_ = 3;
    std::array<bool, 3> angular_{};
    std::array<bool, 3> searching_{};
    bool live_ = false;
    bool grey_ = true;
    std::uint64_t lastReading_ = 0;
    double lastNew_ = -1e9;
    feed::LinkHealth::Counts health_;
    bool seen_ = false;
    bool redrawDue_ = false;
    double lastRedraw_ = -1e9;
};

}  // namespace curves
