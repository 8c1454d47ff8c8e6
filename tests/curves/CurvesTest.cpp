// The live curves: the points kept and thinned, and the window on the feed's states, driven with
// keys (offscreen).
#include <gtest/gtest.h>

#include <QChartView>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QTest>

#include "curves/CurvesWindow.h"

namespace {

TEST(CurveData, ThinningKeepsEveryExtremeAndTheOrder) {
    curves::CurveData data;
    // 36 readings a second for 10 minutes and more: a flat line with one spike each way.
    for (int n = 0; n < 36 * 700; ++n) {
        const double t = n / 36.0;
        data.add(0, t, n == 24000 ? 5.0 : n == 24001 ? -5.0 : 1.0);
    }
    const auto all = data.points(0, 0, 100000);
    EXPECT_GE(all.front().t, 700.0 - 600.0 - 0.1);  // older than 10 min: gone
    const auto thin = data.points(0, 650, 100);
    EXPECT_LE(thin.size(), 200u);
    double low = 1.0, high = 1.0;
    for (std::size_t i = 0; i < thin.size(); ++i) {
        low = std::min(low, thin[i].value);
        high = std::max(high, thin[i].value);
        if (i > 0) {
            EXPECT_LE(thin[i - 1].t, thin[i].t);
        }
    }
    EXPECT_EQ(low, -5.0);
    EXPECT_EQ(high, 5.0);
    EXPECT_EQ(*data.valueAt(0, 24000 / 36.0), 5.0);
}

feed::Reading reading(std::uint64_t number, bool live, double x, QString textY = "1.000") {
    feed::Reading s;
    s.axes = 2;
    s.live = live;
    s.reading = number;
    s.values = {x, 1.0, std::nullopt};
    s.texts = {QString::number(x), textY, QString()};
    return s;
}

TEST(CurvesWindow, PlotsMarksAndGreysWhenTheReadingsStop) {
    feed::Feed feed;
    curves::CurvesWindow window(feed, nullptr);
    window.show();
    std::uint64_t n = 0;
    for (; n < 10; ++n) window.take(reading(n + 1, true, static_cast<double>(n)));
    feed::Reading spoilt = reading(n, true, 9.0, "Ref");  // a search on Y, and a refused reply
    spoilt.health.sinceStart[feed::LinkHealth::invalid] = 1;
    window.take(spoilt);
    window.redraw();
    EXPECT_FALSE(window.grey());
    EXPECT_FALSE(window.stateLabel->isVisible());
    EXPECT_EQ(window.lines[0]->count(), 10);
    EXPECT_FALSE(window.views[2]->isVisible());  // two axes present
    EXPECT_EQ(window.invalidMarks[0]->count(), 1);
    EXPECT_EQ(window.invalidMarks[1]->count(), 1);
    EXPECT_EQ(window.referenceMarks[0]->count(), 0);
    EXPECT_EQ(window.referenceMarks[1]->count(), 1);
    // Readings that stop: grey, and said.
    window.take(reading(n, false, 9.0));
    window.redraw();
    EXPECT_TRUE(window.grey());
    EXPECT_TRUE(window.stateLabel->isVisible());
    // Current again, then a second without a new reading: grey as well.
    window.take(reading(n + 1, true, 9.0));
    window.redraw();
    EXPECT_FALSE(window.grey());
    QTest::qWait(1100);
    window.redraw();
    EXPECT_TRUE(window.grey());
    // The span, chosen with keys: from 30 s up to 10 min.
    EXPECT_EQ(window.spanSeconds(), 30);
    window.spanCombo->setFocus();
    for (int i = 0; i < 6; ++i) QTest::keyClick(window.spanCombo, Qt::Key_Down);
    EXPECT_EQ(window.spanSeconds(), 600);
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

}  // namespace
