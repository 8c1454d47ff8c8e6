#pragma once

#include <QPointF>
#include <QWidget>
#include <vector>

// One correction table drawn as the correction it makes: corrected minus position against
// position, a polyline through the rows, so that a mistyped cell shows as a spike. Painted by
// hand: Qt Charts would be one more library to ship for a single polyline.
class CorrectionCurve : public QWidget {
    Q_OBJECT
public:
    explicit CorrectionCurve(QWidget* parent = nullptr);

    // (position, corrected - position) in row order, as the grid shows them.
    void setPoints(std::vector<QPointF> points);
    const std::vector<QPointF>& points() const { return points_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QPointF> points_;
};
