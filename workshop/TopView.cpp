#include "workshop/TopView.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace workshop {

TopView::TopView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Widok z góry X–Y"));
    setMinimumSize(200, 160);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(20, 20, 20));
    setPalette(palette);
    paintTimer_.setSingleShot(true);
    connect(&paintTimer_, &QTimer::timeout, this, [this] { update(); });
}

QPointF TopView::onScreen(QPointF at) const {
    return {middle_.x() + (at.x() - centre_.x()) * scale_,
            middle_.y() - (at.y() - centre_.y()) * scale_};
}

void TopView::repaintSoon() {
    constexpr qint64 intervalMs = 100;
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
    update();
}

void TopView::setPosition(std::optional<QPointF> at, bool live) {
    if (at == at_ && live == live_) return;
    // The same pixel inside the same fitted area draws the same picture.
    const bool samePixel = at && at_ && live == live_ && scale_ > 0 && fitted_.contains(*at) &&
                           onScreen(*at).toPoint() == onScreen(*at_).toPoint();
    at_ = at;
    live_ = live;
    if (!samePixel) repaintSoon();
}

void TopView::setProblem(const QString& problem) {
    problem_ = problem;
    update();
}

void TopView::paintEvent(QPaintEvent*) {
    lastPaint_.start();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(24, 24, -24, -24);
    if (!problem_.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(10, 10, -10, -10), Qt::AlignCenter | Qt::TextWordWrap,
                         problem_);
        return;
    }
    // What has to fit: the points that give X and Y, the position, and the zero.
    double left = 0, right = 0, bottom = 0, top = 0;
    const auto take = [&](double x, double y) {
        left = std::min(left, x);
        right = std::max(right, x);
        bottom = std::min(bottom, y);
        top = std::max(top, y);
    };
    for (const Point& p : points_)
        if (p.at[0] && p.at[1]) take(*p.at[0], *p.at[1]);
    if (at_) take(at_->x(), at_->y());
    const double span = std::max({right - left, top - bottom, 1e-3});
    scale_ = std::min(area.width(), area.height()) / span;
    centre_ = QPointF((left + right) / 2, (bottom + top) / 2);
    middle_ = area.center();
    fitted_ = QRectF(QPointF(left, bottom), QPointF(right, top));
    const auto onScreen = [&](double x, double y) { return this->onScreen(QPointF(x, y)); };
    // The zero: a thin cross.
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    const QPointF zero = onScreen(0, 0);
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
        const QPointF there = onScreen(*p.at[0], *p.at[1]);
        painter.setPen(QPen(chosen ? QColor(255, 150, 0) : QColor(200, 200, 200), chosen ? 3 : 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(there, chosen ? 8 : 5, chosen ? 8 : 5);
        painter.drawText(there + QPointF(9, -6), QString::number(k + 1));
    }
    if (at_) {
        // Where the machine stands: a cross in the figures' green, grey when not current.
        const QPointF here = onScreen(at_->x(), at_->y());
        painter.setPen(QPen(live_ ? QColor(60, 200, 60) : QColor(128, 128, 128), 2));
        painter.drawLine(here - QPointF(12, 0), here + QPointF(12, 0));
        painter.drawLine(here - QPointF(0, 12), here + QPointF(0, 12));
    }
}

}  // namespace workshop
