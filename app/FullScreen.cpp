#include "app/FullScreen.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "readout/Figures.h"
#include "readout/MainUnit.h"

namespace {

int scaled(int value, double factor) {
    return static_cast<int>(std::lround(value * factor));
}

// A maximum that means "no limit" stays one.
int scaledLimit(int value, double factor) {
    return value >= QWIDGETSIZE_MAX ? value : std::min(scaled(value, factor), QWIDGETSIZE_MAX);
}

// The reading the figures make room for when they grow: a sign, four whole digits and four
// decimals. A longer one is still shown whole, in smaller figures.
const QString roomyReading = QStringLiteral("-0000.0000");

constexpr Axis allAxes[] = {Axis::X, Axis::Y, Axis::Z};

QFont scaledFont(QFont font, double factor) {
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, scaled(font.pixelSize(), factor)));
    else
        font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

}  // namespace

FullScreenReadout::FullScreenReadout(TmainForm& form) : QObject(&form), form_(form) {
    toggleAction =
        new QAction(QCoreApplication::translate("FullScreenReadout", "Pełny ekran"), &form);
    toggleAction->setShortcut(Qt::Key_F11);
    connect(toggleAction, &QAction::triggered, this, &FullScreenReadout::toggle);
    form.addAction(toggleAction);

    leaveAction = new QAction(&form);
    leaveAction->setShortcut(Qt::Key_Escape);
    leaveAction->setEnabled(false);  // Escape means nothing to the normal window
    connect(leaveAction, &QAction::triggered, this, &FullScreenReadout::leave);
    form.addAction(leaveAction);

    form.installEventFilter(this);
    for (QWidget* row : {static_cast<QWidget*>(form.yPanel), static_cast<QWidget*>(form.zPanel)})
        row->installEventFilter(this);
}

void FullScreenReadout::toggle() {
    active_ ? leave() : enter();
}

void FullScreenReadout::enter() {
    if (active_) return;
    record();
    // Within the window's own limits: a window manager may have stretched or squeezed the fixed
    // window, and that size is neither what it goes back to nor what its content is made for.
    normalSize_ = form_.size().expandedTo(form_.minimumSize()).boundedTo(form_.maximumSize());
    normalWidth_ = normalSize_.width();
    normalPos_ = form_.geometry().topLeft();
    frameExtra_ = form_.frameGeometry().height() - form_.height();
    active_ = true;
    leaveAction->setEnabled(true);
    lift();
    form_.showFullScreen();
    // A window manager places a full-screen window itself; without one nobody would.
    form_.setGeometry(screenArea());
    fit();
}

void FullScreenReadout::leave() {
    if (!active_) return;
    active_ = false;
    leaveAction->setEnabled(false);
    // The link start fixes the window's height for the rows it shows; done while full screen,
    // that height counted no title bar.
    if (form_.maximumHeight() < QWIDGETSIZE_MAX)
        normalSize_.setHeight(form_.maximumHeight() - frameExtra_);
    apply(1.0);
    setExtraTop(0);
    form_.showNormal();
    form_.setFixedSize(normalSize_);
    form_.setGeometry(QRect(normalPos_, normalSize_));
}

void FullScreenReadout::lift() {
    form_.setMinimumSize(0, 0);
    form_.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void FullScreenReadout::record() {
    widgets_.clear();
    layouts_.clear();
    QWidget* central = form_.centralWidget();
    QList<QWidget*> all = central->findChildren<QWidget*>();
    all.prepend(central);
    for (QWidget* w : all)
        widgets_.push_back(
            {w, w->minimumSize(), w->maximumSize(), w->font(), w->testAttribute(Qt::WA_SetFont)});
    for (QLayout* l : central->findChildren<QLayout*>()) {
        auto* grid = qobject_cast<QGridLayout*>(l);
        layouts_.push_back({l, l->contentsMargins(), grid ? -1 : l->spacing(),
                            grid ? grid->horizontalSpacing() : -1,
                            grid ? grid->verticalSpacing() : -1});
    }
}

void FullScreenReadout::apply(double factor) {
    factor_ = factor;
    QWidget* central = form_.centralWidget();
    for (const WidgetBase& b : widgets_) {
        if (!b.widget) continue;
        QWidget* w = b.widget;
        w->setMinimumSize(scaled(b.minimum.width(), factor), scaled(b.minimum.height(), factor));
        w->setMaximumSize(scaledLimit(b.maximum.width(), factor),
                          scaledLimit(b.maximum.height(), factor));
        // Widgets without a font of their own follow the central widget's.
        if (b.ownFont)
            w->setFont(factor == 1.0 ? b.font : scaledFont(b.font, factor));
        else if (w == central)
            w->setFont(factor == 1.0 ? QFont() : scaledFont(b.font, factor));
    }
    for (const LayoutBase& b : layouts_) {
        if (!b.layout) continue;
        QMargins m(scaled(b.margins.left(), factor), scaled(b.margins.top(), factor),
                   scaled(b.margins.right(), factor), scaled(b.margins.bottom(), factor));
        b.layout->setContentsMargins(m);
        if (auto* grid = qobject_cast<QGridLayout*>(b.layout.data())) {
            if (b.horizontal >= 0) grid->setHorizontalSpacing(scaled(b.horizontal, factor));
            if (b.vertical >= 0) grid->setVerticalSpacing(scaled(b.vertical, factor));
        } else if (b.spacing >= 0) {
            b.layout->setSpacing(scaled(b.spacing, factor));
        }
    }
}

QRect FullScreenReadout::screenArea() const {
    const QScreen* screen = form_.screen() ? form_.screen() : QGuiApplication::primaryScreen();
    return screen->geometry();
}

void FullScreenReadout::setExtraTop(int extraTop) {
    QLayout* outer = form_.centralWidget()->layout();
    for (const LayoutBase& b : layouts_) {
        if (b.layout != outer) continue;
        QMargins m = outer->contentsMargins();
        m.setTop(scaled(b.margins.top(), factor_) + extraTop);
        outer->setContentsMargins(m);
    }
}

void FullScreenReadout::growRows(int extra) {
    for (Axis axis : allAxes) {
        QWidget* panel = form_.panel(axis);
        if (panel->isHidden()) continue;
        // The letter and the offset buttons' cell keep the row's height, so the row still
        // reads as one line; the "Ref" button keeps its size in the middle of it.
        QWidget* const row[] = {panel, form_.axisLetter(axis),
                                form_.clrButton(axis)->parentWidget()};
        for (QWidget* w : row) w->setFixedHeight(w->minimumHeight() + extra);
    }
    QLayout* outer = form_.centralWidget()->layout();
    outer->invalidate();
    outer->activate();
    for (Axis axis : allAxes) {
        if (form_.panel(axis)->isHidden()) continue;
        readout::Figures* figures = form_.readout(axis);
        const QFont scaledFigures = figures->font();
        if (scaledFigures.pixelSize() <= 0) continue;
        const int scaledRow = form_.panel(axis)->height() - extra;
        // In proportion to the row, as the normal window has them, but no wider than the
        // figures for a reading of the usual length; never smaller than everything else.
        QFont grown = scaledFigures;
        const int target =
            scaledFigures.pixelSize() * form_.panel(axis)->height() / std::max(1, scaledRow);
        grown.setPixelSize(target);
        const auto tooWide = [&] {
            return QFontMetrics(grown).horizontalAdvance(roomyReading) > figures->width();
        };
        if (tooWide()) {
            // Text widths grow nearly in proportion to the size: close in one step, then exactly.
            const int wide = QFontMetrics(grown).horizontalAdvance(roomyReading);
            grown.setPixelSize(
                std::max(scaledFigures.pixelSize(), target * figures->width() / std::max(1, wide)));
        }
        while (grown.pixelSize() > scaledFigures.pixelSize() && tooWide())
            grown.setPixelSize(grown.pixelSize() - 1);
        figures->setFont(grown);
    }
}

// One factor for everything: the content at its normal size, as large as fits the screen below
// the menu, then the rows shown as high as the room left allows, and the whole centred on the
// screen from top to bottom.
void FullScreenReadout::fit() {
    // The window's own resizing below is no change to fit anew.
    fitting_ = true;
    apply(1.0);
    setExtraTop(0);
    QLayout* outer = form_.centralWidget()->layout();
    const auto needed = [outer] {
        outer->invalidate();
        outer->activate();
        return outer->minimumSize();
    };
    const QSize natural = needed().expandedTo(QSize(normalWidth_, 1));
    const QRect area = screenArea();
    const int menuHeight = form_.menuWidget() ? form_.menuWidget()->sizeHint().height() : 0;
    const QSize room(area.width(), area.height() - menuHeight);
    double factor =
        std::min(double(room.width()) / natural.width(), double(room.height()) / natural.height());
    // Letters and buttons do not grow exactly in proportion to their font: shrunk until all of
    // it fits, on a screen smaller than the normal window too.
    QSize used = natural;
    for (int attempt = 0; attempt < 8; ++attempt) {
        apply(factor);
        used = needed();
        if (used.width() <= room.width() && used.height() <= room.height()) break;
        factor *= 0.99 * std::min(double(room.width()) / used.width(),
                                  double(room.height()) / used.height());
    }
    // A window is never smaller than its content: on a screen smaller than the normal window
    // it grew past the screen, and it takes the screen again now that the content fits.
    if (form_.geometry() != area) {
        form_.layout()->activate();
        form_.setGeometry(area);
    }
    // Whatever height is left, on a screen of another shape than the window or where rows are
    // missing, goes to the rows shown, and their figures grow with them as far as their width
    // allows.
    int shown = 0;
    for (Axis axis : allAxes)
        if (!form_.panel(axis)->isHidden()) ++shown;
    if (shown > 0) {
        growRows(std::max(0, room.height() - used.height()) / shown);
        used = needed();
    }
    setExtraTop(std::max(0, (room.height() - used.height()) / 2));
    fitting_ = false;
}

bool FullScreenReadout::eventFilter(QObject* watched, QEvent* event) {
    if (!active_) return false;
    const QEvent::Type type = event->type();
    const bool rowsChanged = watched != &form_ && (type == QEvent::Show || type == QEvent::Hide);
    const bool resized = watched == &form_ && type == QEvent::Resize && !fitting_;
    if (rowsChanged || resized) {
        // After the handler that changed the window has finished: the link start hides rows
        // and then fixes the window's height for them.
        QTimer::singleShot(0, this, [this] {
            if (!active_) return;
            if (form_.maximumHeight() < QWIDGETSIZE_MAX) {
                normalSize_.setHeight(form_.maximumHeight() - frameExtra_);
                lift();
                // Still full screen to the window system; only the size went.
                form_.showFullScreen();
                form_.setGeometry(screenArea());
            }
            fit();
        });
    }
    return false;
}
