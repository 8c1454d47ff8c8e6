#pragma once

#include <QFont>
#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <vector>

class QAction;
class QLayout;
class QWidget;
class TmainForm;

// Large figures for reading from a metre or two away: F11 shows the readout window full screen
// with everything in it scaled by one factor (rows, letters, figures, buttons), as large as the
// screen allows, whatever its size and shape and whatever size the window had; the rows shown
// then take the height left (that of missing rows, and all a portrait screen has below the
// content), and their figures grow with them as far as a reading fits their width. F11 or
// Escape returns to the normal fixed window exactly as it was. All controls keep working in
// between, and rows the link shows or hides meanwhile are fitted anew.
class FullScreenReadout : public QObject {
public:
    explicit FullScreenReadout(TmainForm& form);

    bool active() const { return active_; }
    void toggle();
    void enter();
    void leave();
    // The factor the window's content is drawn at (1 in the normal window).
    double factor() const { return factor_; }

    QAction* toggleAction;
    QAction* leaveAction;  // Escape, enabled only while full screen

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct WidgetBase {
        QPointer<QWidget> widget;
        QSize minimum, maximum;
        QFont font;
        bool ownFont;
    };
    struct LayoutBase {
        QPointer<QLayout> layout;
        QMargins margins;
        int spacing, horizontal, vertical;  // -1: not a grid / not set
    };
    void record();
    // Everything at its normal size times the factor.
    void apply(double factor);
    // The rows shown, each `extra` pixels higher, their figures as large as that allows.
    void growRows(int extra);
    // Empty room above the content, to centre it from top to bottom.
    void setExtraTop(int extraTop);
    void fit();
    void lift();
    QRect screenArea() const;

    TmainForm& form_;
    bool active_ = false;
    bool fitting_ = false;
    double factor_ = 1.0;
    QSize normalSize_;
    int normalWidth_ = 0;  // the width the window's content is laid out for
    QPoint normalPos_;
    int frameExtra_ = 0;  // title bar and borders of the normal window
    std::vector<WidgetBase> widgets_;
    std::vector<LayoutBase> layouts_;
};
