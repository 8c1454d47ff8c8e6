#include "app/FullScreen.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include "readout/MainUnit.h"

namespace {

int scaled(int value, double factor) {
    return static_cast<int>(std::lround(value * factor));
}

// A maximum that means "no limit" stays one.
int scaledLimit(int value, double factor) {
    return value >= QWIDGETSIZE_MAX ? value : std::min(scaled(value, factor), QWIDGETSIZE_MAX);
}

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
    normalSize_ = form_.size();
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
    apply(1.0, 0);
    factor_ = 1.0;
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

void FullScreenReadout::apply(double factor, int extraTop) {
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
        if (b.layout == central->layout()) m.setTop(m.top() + extraTop);
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

// One factor for everything: the rows shown, at their normal size, as large as fits the screen
// below the menu, and centred on it from top to bottom.
void FullScreenReadout::fit() {
    apply(1.0, 0);
    QLayout* outer = form_.centralWidget()->layout();
    outer->invalidate();
    outer->activate();
    const int naturalHeight = std::max(1, outer->minimumSize().height());
    const int naturalWidth = std::max(1, normalSize_.width());
    const QRect area = screenArea();
    const int menuHeight = form_.menuWidget() ? form_.menuWidget()->sizeHint().height() : 0;
    const int height = area.height() - menuHeight;
    factor_ = std::max(
        1.0, std::min(double(area.width()) / naturalWidth, double(height) / naturalHeight));
    const int extraTop = std::max(0, (height - scaled(naturalHeight, factor_)) / 2);
    apply(factor_, extraTop);
}

bool FullScreenReadout::eventFilter(QObject* watched, QEvent* event) {
    if (!active_) return false;
    const QEvent::Type type = event->type();
    const bool rowsChanged = watched != &form_ && (type == QEvent::Show || type == QEvent::Hide);
    const bool resized = watched == &form_ && type == QEvent::Resize;
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
