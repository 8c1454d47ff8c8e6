#include "readout/Figures.h"

#include <QAccessible>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace readout {

// In FiguresAccessible.cpp.
void registerFiguresAccessible();

AssistiveTechnology assistiveTechnology{&QAccessible::isActive, &QAccessible::updateAccessibility};

namespace {
// Tells a listening assistive technology that what it reads of the figures changed. Asked
// nothing when none listens: the interface is not even created then.
void announce(Figures* figures, QAccessible::Event what) {
    if (!assistiveTechnology.listens()) return;
    QAccessibleEvent event(figures, what);
    assistiveTechnology.tell(&event);
}
}  // namespace

Figures::Figures(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    registerFiguresAccessible();
    // Every pixel is painted here, so what lies beneath (the panel and its frame) is not painted
    // again for each reading.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize Figures::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text_), metrics.height()};
}

void Figures::forget() {
    pictures_.clear();
    placedValid_ = false;
}

void Figures::changeEvent(QEvent* event) {
    // A new font (full screen scales it), style or palette: the pictures are stale. The widget
    // repaints itself whole for these.
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::PaletteChange)
        forget();
    QWidget::changeEvent(event);
}

void Figures::resizeEvent(QResizeEvent* event) {
    forget();
    QWidget::resizeEvent(event);
}

Figures::Look Figures::look() const {
    const QPalette& colours = palette();
    return {colours.color(foregroundRole()).rgba(), colours.color(backgroundRole()).rgba()};
}

const QPixmap* Figures::picture(QChar c, const Look& look) {
    const auto key = std::make_tuple(c.unicode(), look.ink, look.paper);
    if (auto found = pictures_.find(key); found != pictures_.end())
        return found->second.isNull() ? nullptr : &found->second;

    const QFontMetrics metrics(font());
    const QString one(c);
    const int advance = metrics.horizontalAdvance(one);
    const QRect drawn = metrics.boundingRect(c);
    const int high = height();
    QPixmap pixmap;
    // Spacing characters have no ink; anything else must stay within its own advance, or the
    // neighbour's picture would cut it off.
    const bool fits = advance > 0 && high > 0 && !c.isSurrogate() && !c.isMark() &&
                      (drawn.isEmpty() || (drawn.left() >= 0 && drawn.right() < advance));
    if (fits) {
        if (picturesRatio_ == 0) picturesRatio_ = devicePixelRatioF();
        QImage image(qRound(advance * picturesRatio_), qRound(high * picturesRatio_),
                     QImage::Format_RGB32);
        image.setDevicePixelRatio(picturesRatio_);
        image.fill(QColor::fromRgba(look.paper));
        QPainter painter(&image);
        painter.setFont(font());
        painter.setPen(QColor::fromRgba(look.ink));
        // Placed as one line of text is placed in the same height.
        painter.drawText(QRect(0, 0, advance, high), Qt::AlignLeft | Qt::AlignVCenter, one);
        painter.end();
        // In the screen's own format, so that painting it is a plain copy.
        pixmap = QPixmap::fromImage(std::move(image));
    }
    const auto stored = pictures_.emplace(key, std::move(pixmap)).first;
    return stored->second.isNull() ? nullptr : &stored->second;
}

bool Figures::place(const QString& text, std::vector<Placed>& out) {
    const Look now = look();
    out.clear();
    out.reserve(static_cast<std::size_t>(text.size()));
    int x = width();
    for (qsizetype i = text.size(); i-- > 0;) {
        const QPixmap* p = picture(text[i], now);
        if (!p) {
            out.clear();
            return false;
        }
        const int w = qRound(p->width() / p->devicePixelRatio());
        x -= w;
        out.push_back({text[i], QRect(x, 0, w, height()), p});
    }
    // Wider than the figures: drawn the usual way, smaller.
    if (x < 0) {
        out.clear();
        return false;
    }
    return true;
}

QFont Figures::fittingFont() const {
    QFont fitted = font();
    const int room = width();
    const auto tooWide = [&] { return QFontMetrics(fitted).horizontalAdvance(text_) > room; };
    if (room <= 0 || !tooWide()) return fitted;
    // Cut off on the left, a reading would lose its first digits and its sign: it is shown
    // whole, in smaller figures.
    if (fitted.pixelSize() > 0) {
        while (fitted.pixelSize() > 1 && tooWide()) fitted.setPixelSize(fitted.pixelSize() - 1);
    } else {
        while (fitted.pointSizeF() > 1 && tooWide())
            fitted.setPointSizeF(fitted.pointSizeF() * 0.95);
    }
    return fitted;
}

const std::vector<Figures::Placed>* Figures::placedText() {
    const Look now = look();
    if (!placedValid_ || now.ink != placedLook_.ink || now.paper != placedLook_.paper) {
        placedPictures_ = place(text_, placed_);
        placedLook_ = now;
        placedValid_ = true;
    }
    return placedPictures_ ? &placed_ : nullptr;
}

void Figures::setSpokenState(const QString& description) {
    if (description == spokenState_) return;
    spokenState_ = description;
    announce(this, QAccessible::DescriptionChanged);
}

void Figures::setText(const QString& text) {
    if (text == text_) return;
    const bool wasPlaced = isVisible() && placedText();
    previous_.swap(placed_);
    text_ = text;
    placedValid_ = false;
    // The reading is the figures' accessible name, as it was a label's.
    announce(this, QAccessible::NameChanged);
    emit textChanged();
    if (!wasPlaced || !placedText()) {
        update();
        return;
    }
    // Laid out from the right, the two texts share their trailing characters' places: only the
    // characters that differ, and what either text covers alone, are painted again. One
    // rectangle around them: a reading changes its last digits.
    QRect changed;
    const std::size_t common = std::min(previous_.size(), placed_.size());
    for (std::size_t i = 0; i < common; ++i)
        if (previous_[i].c != placed_[i].c || previous_[i].rect != placed_[i].rect)
            changed |= previous_[i].rect.united(placed_[i].rect);
    for (std::size_t i = common; i < previous_.size(); ++i) changed |= previous_[i].rect;
    for (std::size_t i = common; i < placed_.size(); ++i) changed |= placed_[i].rect;
    if (!changed.isEmpty()) update(changed);
}

void Figures::paintEvent(QPaintEvent* event) {
    // On a screen of another pixel ratio the pictures are drawn again; the whole widget is
    // repainted then.
    if (devicePixelRatioF() != picturesRatio_) {
        forget();
        picturesRatio_ = devicePixelRatioF();
    }
    QPainter painter(this);
    const QColor paper = palette().color(backgroundRole());
    const std::vector<Placed>* placed = placedText();
    if (!placed) {
        painter.fillRect(rect(), paper);
        painter.setFont(fittingFont());
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter, text_);
        return;
    }
    const QRect asked = event->rect();
    // The background first, under the pictures too: on a screen whose pixel ratio is a fraction
    // the pictures, each a whole number of device pixels wide, leave a device pixel here and
    // there between two characters, which would keep what was painted there before.
    painter.fillRect(asked, paper);
    for (const Placed& p : *placed)
        if (p.rect.intersects(asked)) painter.drawPixmap(p.rect.topLeft(), *p.picture);
}

}  // namespace readout
