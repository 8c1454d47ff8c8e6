#pragma once

#include <QElapsedTimer>
#include <QPointF>
#include <QRectF>
#include <QTimer>
#include <QString>
#include <QWidget>
#include <optional>

#include "workshop/Points.h"

namespace workshop {

// The X-Y plane seen from above: the points with their numbers, the chosen one marked, and where
// the machine stands now; scaled so that all of them fit, X to the right and Y up. A position
// that is no longer current is drawn grey, as the figures are.
class TopView : public QWidget {
    Q_OBJECT
public:
    explicit TopView(QWidget* parent = nullptr);

    void setPoints(const Points& points, int chosen);
    // Nothing: no position to show (X or Y is angular, or nothing has been read).
    void setPosition(std::optional<QPointF> at, bool live);
    // Why nothing can be drawn (X or Y is angular); empty when it can.
    void setProblem(const QString& problem);

    QSize sizeHint() const override { return {420, 360}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where a position is drawn with the scale of the last paint.
    QPointF onScreen(QPointF at) const;
    // Asks for a paint, at most ten a second: the readings come some 36 times a second, and a
    // cross that moves on by a pixel needs no more.
    void repaintSoon();

    Points points_;
    // The last paint's fitted area (box units), scale and centre.
    QRectF fitted_;
    double scale_ = 0;
    QPointF centre_, middle_;
    QElapsedTimer lastPaint_;
    QTimer paintTimer_;
    int chosen_ = -1;
    std::optional<QPointF> at_;
    bool live_ = false;
    QString problem_;
};

}  // namespace workshop
