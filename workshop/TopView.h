#pragma once

#include <QElapsedTimer>
#include <QPixmap>
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
    void resizeEvent(QResizeEvent* event) override;

private:
    // Where a position is drawn in the fitted area.
    QPointF onScreen(QPointF at) const;
    // The area drawn: the points and the zero, widened when the position leaves it.
    void refit();
    // Asks for a paint, at most five a second: the readings come some 36 times a second, the
    // figures are what the operator drives by, and the view only shows where the machine is.
    void repaintSoon();
    void drawLayer();

    Points points_;
    int chosen_ = -1;
    std::optional<QPointF> at_;
    bool live_ = false;
    QString problem_;
    QRectF fitted_;
    QPixmap layer_;
    bool layerValid_ = false;
    QElapsedTimer lastPaint_;
    QTimer paintTimer_;
};

}  // namespace workshop
