#include "config/CorrectionCurve.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// A range of zero width (one point, or a flat correction) still gets an axis to stand on.
std::pair<double, double> span(double low, double high) {
    if (high > low) return {low, high};
    const double pad = low == 0 ? 1.0 : std::abs(low) * 0.1;
    return {low - pad, high + pad};
}

}  // namespace

CorrectionCurve::CorrectionCurve(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Wykres korekcji"));
    setAccessibleDescription(
        tr("Korekcja (wartość po korekcji minus położenie) w funkcji położenia"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void CorrectionCurve::setPoints(std::vector<QPointF> points) {
    points_ = std::move(points);
    update();
}

void CorrectionCurve::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    if (points_.empty()) {
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         tr("Brak wartości do wykreślenia.\nWpisz lub zaimportuj tabelę."));
        return;
    }
    const QFontMetrics metrics = painter.fontMetrics();
    const auto [minX, maxX] =
        span(std::min_element(points_.begin(), points_.end(),
                              [](auto a, auto b) { return a.x() < b.x(); })
                 ->x(),
             std::max_element(points_.begin(), points_.end(), [](auto a, auto b) {
                 return a.x() < b.x();
             })->x());
    const auto [minY, maxY] =
        span(std::min_element(points_.begin(), points_.end(),
                              [](auto a, auto b) { return a.y() < b.y(); })
                 ->y(),
             std::max_element(points_.begin(), points_.end(), [](auto a, auto b) {
                 return a.y() < b.y();
             })->y());
    // Room for the value labels left of and under the plot.
    const QRectF plot =
        QRectF(rect()).adjusted(metrics.horizontalAdvance(QStringLiteral("-00000.000")),
                                metrics.height(), -6, -2.5 * metrics.height());
    const auto at = [&](QPointF p) {
        return QPointF(plot.left() + (p.x() - minX) / (maxX - minX) * plot.width(),
                       plot.bottom() - (p.y() - minY) / (maxY - minY) * plot.height());
    };
    painter.drawRect(plot);
    const auto number = [](double v) { return QString::number(v, 'g', 6); };
    painter.drawText(QPointF(2, plot.top() + metrics.ascent()), number(maxY));
    painter.drawText(QPointF(2, plot.bottom()), number(minY));
    painter.drawText(QPointF(plot.left(), plot.bottom() + metrics.height()), number(minX));
    const QString right = number(maxX);
    painter.drawText(
        QPointF(plot.right() - metrics.horizontalAdvance(right), plot.bottom() + metrics.height()),
        right);
    painter.drawText(
        QRectF(plot.left(), plot.bottom() + metrics.height(), plot.width(), metrics.height() * 1.5),
        Qt::AlignCenter, tr("położenie"));
    painter.drawText(QPointF(2, metrics.ascent()), tr("korekcja"));
    // The zero line: where the table corrects nothing.
    if (minY < 0 && maxY > 0) {
        painter.setPen(QPen(palette().color(QPalette::Mid), 0, Qt::DashLine));
        painter.drawLine(at({minX, 0}), at({maxX, 0}));
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
    QPainterPath path(at(points_.front()));
    for (const QPointF& p : points_) path.lineTo(at(p));
    painter.drawPath(path);
    for (const QPointF& p : points_) painter.drawEllipse(at(p), 2, 2);
}
