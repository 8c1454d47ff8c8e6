#pragma once
// The large figures of a readout row: a right-aligned line of text, like a label, that is cheap
// to change dozens of times a second. Each character is kept as a small opaque picture of itself
// in the text colour on the background; a new text marks only the characters that differ from
// the old one (a reading mostly changes its last digits), and a paint copies their pictures
// instead of laying out, shaping and blending the whole text again. A character whose ink leaves
// its own advance (it would overhang its neighbour) makes the text drawn the usual way, and so
// does a text wider than the figures, in a font small enough to show all of it.
//
// Drawn, not a label, the figures would be an unnamed blank to a screen reader: they register an
// accessible interface of their own (see FiguresAccessible.cpp) that reads out the text shown, and
// tell a listening assistive technology when it changes. Nobody listening, a new text costs no
// more than it did.

#include <QAccessible>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <map>
#include <tuple>
#include <vector>

namespace readout {

// The way to an assistive technology: whether one listens and how it is told of a change; in the
// program Qt's QAccessible::isActive() and updateAccessibility(). Qt's offscreen platform has no
// accessibility bridge, never says that one listens and passes nothing on; a test that plays the
// listener puts itself here.
struct AssistiveTechnology {
    bool (*listens)();
    void (*tell)(QAccessibleEvent* event);
};
extern AssistiveTechnology assistiveTechnology;

class Figures : public QWidget {
    Q_OBJECT
public:
    Figures(const QString& text, QWidget* parent);

    QString text() const { return text_; }
    void setText(const QString& text);

signals:
    // The text shown changed.
    void textChanged();

public:
    QSize sizeHint() const override;

    // What an assistive technology is told of the figures besides the text (which axis, whether
    // the reading is current); empty when there is nothing to add.
    void setSpokenState(const QString& description);
    QString spokenState() const { return spokenState_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // What the pictures are drawn with now.
    struct Look {
        QRgb ink;
        QRgb paper;
    };
    // One character of the text where it stands.
    struct Placed {
        QChar c;
        QRect rect;
        const QPixmap* picture;
    };
    Look look() const;
    // A character as tall as the figures and as wide as its advance; null when it cannot be one.
    const QPixmap* picture(QChar c, const Look& look);
    // The text laid out from the right edge, its last character first; false (and nothing
    // placed) when some character cannot be a picture.
    bool place(const QString& text, std::vector<Placed>& out);
    // The current text laid out, kept until the text or the look changes; null when it is drawn
    // the usual way.
    const std::vector<Placed>* placedText();
    // The figures' font, or a smaller one when the text would not fit in their width.
    QFont fittingFont() const;
    void forget();

    QString text_;
    QString spokenState_;
    // By character, text colour and background: the colour group changes with the window's
    // activation without a palette event.
    std::map<std::tuple<char16_t, QRgb, QRgb>, QPixmap> pictures_;
    qreal picturesRatio_ = 0;
    std::vector<Placed> placed_;
    std::vector<Placed> previous_;
    Look placedLook_{};
    bool placedValid_ = false;
    bool placedPictures_ = false;
};

}  // namespace readout
