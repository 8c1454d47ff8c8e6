#pragma once
// The large figures of a readout row. A QLabel to everything that reads or sets them; only its
// painting is its own, because a reading every 29 ms repaints three of them: each character is
// kept as a small opaque picture of itself in the text colour on the background, and a paint
// copies those pictures side by side instead of laying out, shaping and blending the text again.

#include <QImage>
#include <QLabel>
#include <map>
#include <tuple>

namespace readout {

class Figures : public QLabel {
public:
    Figures(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A character as tall as the figures, as wide as its advance; null when some of its ink
    // would fall outside that cell (it overhangs its neighbour), which the usual text drawing
    // then handles.
    const QImage* cell(QChar c, const QColor& ink, const QColor& paper);
    bool paintCells(QPainter& painter, const QColor& ink, const QColor& paper);

    // By character, text colour and background: the colour group changes with the window's
    // activation without a palette event.
    std::map<std::tuple<char16_t, QRgb, QRgb>, QImage> cells_;
    qreal cellsRatio_ = 0;
};

}  // namespace readout
