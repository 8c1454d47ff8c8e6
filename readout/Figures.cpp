#include "readout/Figures.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <vector>

namespace readout {

Figures::Figures(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    // Every pixel is painted here, so what lies beneath (the panel and its frame) is not painted
    // again for each reading.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Figures::changeEvent(QEvent* event) {
    // A new font (full screen scales it), style or palette: the pictures are stale.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::PaletteChange)
        cells_.clear();
    QLabel::changeEvent(event);
}

void Figures::resizeEvent(QResizeEvent* event) {
    cells_.clear();
    QLabel::resizeEvent(event);
}

const QImage* Figures::cell(QChar c, const QColor& ink, const QColor& paper) {
    const auto key = std::make_tuple(c.unicode(), ink.rgba(), paper.rgba());
    if (auto found = cells_.find(key); found != cells_.end())
        return found->second.isNull() ? nullptr : &found->second;

    const QFontMetrics metrics(font());
    const QString one(c);
    const int advance = metrics.horizontalAdvance(one);
    const QRect drawn = metrics.boundingRect(c);
    const int height = contentsRect().height();
    QImage image;
    // Spacing characters have no ink; anything else must stay within its own advance, or the
    // neighbour's picture would cut it off.
    const bool fits = advance > 0 && height > 0 &&
                      (drawn.isEmpty() || (drawn.left() >= 0 && drawn.right() < advance));
    if (fits && !c.isSurrogate() && !c.isMark()) {
        const qreal ratio = devicePixelRatioF();
        image = QImage(qRound(advance * ratio), qRound(height * ratio), QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(paper);
        QPainter painter(&image);
        painter.setFont(font());
        painter.setPen(ink);
        // Placed as the label would place one line of text in the same height.
        painter.drawText(QRect(0, 0, advance, height), Qt::AlignLeft | Qt::AlignVCenter, one);
    }
    const auto stored = cells_.emplace(key, std::move(image)).first;
    return stored->second.isNull() ? nullptr : &stored->second;
}

bool Figures::paintCells(QPainter& painter, const QColor& ink, const QColor& paper) {
    const QString shown = text();
    if (alignment() != (Qt::AlignRight | Qt::AlignVCenter) || margin() != 0 || indent() > 0 ||
        layoutDirection() != Qt::LeftToRight)
        return false;
    if (devicePixelRatioF() != cellsRatio_) {
        cells_.clear();
        cellsRatio_ = devicePixelRatioF();
    }
    std::vector<const QImage*> pictures;
    pictures.reserve(static_cast<std::size_t>(shown.size()));
    int width = 0;
    for (QChar c : shown) {
        const QImage* picture = cell(c, ink, paper);
        if (!picture) return false;
        pictures.push_back(picture);
        width += qRound(picture->width() / picture->devicePixelRatio());
    }
    const QRect area = contentsRect();
    int x = area.right() + 1 - width;
    // What the text leaves free, the frame's strip around the contents included.
    QRegion free(rect());
    free -= QRect(x, area.top(), width, area.height());
    for (const QRect& r : free) painter.fillRect(r, paper);
    for (const QImage* picture : pictures) {
        painter.drawImage(QPoint(x, area.top()), *picture);
        x += qRound(picture->width() / picture->devicePixelRatio());
    }
    return true;
}

void Figures::paintEvent(QPaintEvent* event) {
    const QColor ink = palette().color(foregroundRole());
    const QColor paper = palette().color(backgroundRole());
    {
        QPainter painter(this);
        if (paintCells(painter, ink, paper)) return;
        // The usual drawing on the background the label leaves unpainted.
        painter.fillRect(rect(), paper);
    }
    QLabel::paintEvent(event);
}

}  // namespace readout
