#include "workshop/TopView.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace workshop {

TopView::TopView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Widok z góry X–Y"));
    setMinimumSize(200, 160);
    setAttribute(Qt::WA_OpaquePaintEvent);
    paintTimer_.setSingleShot(true);
    connect(&paintTimer_, &QTimer::timeout, this, [this] { update(); });
}

QPointF TopView::onScreen(QPointF at) const {
    const QRectF area = QRectF(rect()).adjusted(24, 24, -24, -24);
    const double span = std::max({fitted_.width(), fitted_.height(), 1e-3});
    const double scale = std::min(area.width(), area.height()) / span;
    const QPointF centre = fitted_.center();
    return {area.center().x() + (at.x() - centre.x()) * scale,
            area.center().y() - (at.y() - centre.y()) * scale};
}

void TopView::refit() {
    // The points and the zero; the position widens the area when it leaves it, by a quarter
    // more, so that a machine on the move does not change the scale at every reading.
    double left = 0, right = 0, bottom = 0, top = 0;
    for (const Point& p : points_)
        if (p.at[0] && p.at[1]) {
            left = std::min(left, *p.at[0]);
            right = std::max(right, *p.at[0]);
            bottom = std::min(bottom, *p.at[1]);
            top = std::max(top, *p.at[1]);
        }
    QRectF box(QPointF(left, bottom), QPointF(right, top));
    if (at_ && !box.contains(*at_)) {
        box = box.united(QRectF(*at_, QSizeF(0, 0)));
        const double margin = std::max(box.width(), box.height()) / 4;
        box.adjust(-margin, -margin, margin, margin);
    }
    fitted_ = box;
    layerValid_ = false;
}

void TopView::repaintSoon() {
    constexpr qint64 intervalMs = 200;
    if (paintTimer_.isActive()) return;
    const qint64 since = lastPaint_.isValid() ? lastPaint_.elapsed() : intervalMs;
    if (since >= intervalMs)
        update();
    else
        paintTimer_.start(static_cast<int>(intervalMs - since));
}

void TopView::setPoints(const Points& points, int chosen) {
    points_ = points;
    chosen_ = chosen;
    const bool any = chosen >= 0 && chosen < static_cast<int>(points.size());
    setAccessibleDescription(any ? tr("%n punktów, wybrany %1: %2", "", int(points.size()))
                                       .arg(chosen + 1)
                                       .arg(QString::fromStdString(points[std::size_t(chosen)].name))
                                 : tr("%n punktów, żaden nie wybrany", "", int(points.size())));
    refit();
    update();
}

void TopView::setPosition(std::optional<QPointF> at, bool live) {
    if (at == at_ && live == live_) return;
    const bool samePixel = at && at_ && live == live_ && fitted_.contains(*at) &&
                           onScreen(*at).toPoint() == onScreen(*at_).toPoint();
    at_ = at;
    live_ = live;
    if (at_ && !fitted_.contains(*at_)) refit();
    if (!samePixel) repaintSoon();
}

void TopView::setProblem(const QString& problem) {
    if (problem == problem_) return;
    problem_ = problem;
    layerValid_ = false;
    update();
}

void TopView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layerValid_ = false;
}

void TopView::drawLayer() {
    // What stays while the machine moves: the zero, the axes and the points, drawn once.
    layer_ = QPixmap(size() * devicePixelRatioF());
    layer_.setDevicePixelRatio(devicePixelRatioF());
    layer_.fill(QColor(20, 20, 20));
    QPainter painter(&layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    layerValid_ = true;
    if (!problem_.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
                         problem_);
        return;
    }
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    const QPointF zero = onScreen(QPointF(0, 0));
    painter.drawLine(QPointF(rect().left(), zero.y()), QPointF(rect().right(), zero.y()));
    painter.drawLine(QPointF(zero.x(), rect().top()), QPointF(zero.x(), rect().bottom()));
    painter.drawText(QPointF(rect().right() - 14, zero.y() - 4), QStringLiteral("X"));
    painter.drawText(QPointF(zero.x() + 4, rect().top() + 14), QStringLiteral("Y"));
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    for (std::size_t k = 0; k < points_.size(); ++k) {
        const Point& p = points_[k];
        if (!p.at[0] || !p.at[1]) continue;
        const bool chosen = static_cast<int>(k) == chosen_;
        const QPointF there = onScreen(QPointF(*p.at[0], *p.at[1]));
        painter.setPen(QPen(chosen ? QColor(255, 150, 0) : QColor(200, 200, 200), chosen ? 3 : 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(there, chosen ? 8 : 5, chosen ? 8 : 5);
        painter.drawText(there + QPointF(9, -6), QString::number(k + 1));
    }
}

void TopView::paintEvent(QPaintEvent*) {
    lastPaint_.start();
    if (!layerValid_) drawLayer();
    QPainter painter(this);
    painter.drawPixmap(0, 0, layer_);
    if (!at_ || !problem_.isEmpty()) return;
    // Where the machine stands: a cross in the figures' green, grey when not current.
    const QPointF here = onScreen(*at_);
    painter.setPen(QPen(live_ ? QColor(60, 200, 60) : QColor(128, 128, 128), 2));
    painter.drawLine(here - QPointF(12, 0), here + QPointF(12, 0));
    painter.drawLine(here - QPointF(0, 12), here + QPointF(0, 12));
}

}  // namespace workshop
