#include "platform/DialogKeys.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTimer>

#include "platform/ScreenFit.h"

namespace platform {

namespace {

bool canStartOn(const QDialog& dialog, const QWidget* w) {
    return w && w->window() == &dialog && w->isEnabled() && w->isVisibleTo(&dialog) &&
           (w->focusPolicy() & Qt::TabFocus);
}

// The first control of the tab order that enters or chooses something: not a push button, and
// not a page's tab, which only turns pages.
QWidget* firstInTabOrder(QDialog& dialog) {
    for (QWidget* w = dialog.nextInFocusChain(); w && w != &dialog; w = w->nextInFocusChain()) {
        if (qobject_cast<QPushButton*>(w) || qobject_cast<QTabBar*>(w)) continue;
        if (canStartOn(dialog, w)) return w;
    }
    return nullptr;
}

// The dialog's own Tab, whichever control has the focus: Qt moves the focus along the dialog's
// tab order, as a plain Tab does where no control keeps it.
void moveFocus(QDialog& dialog, bool forward) {
    QKeyEvent tab(QEvent::KeyPress, forward ? Qt::Key_Tab : Qt::Key_Backtab, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &tab);
}

class DialogKeys : public QObject {
public:
    DialogKeys(QDialog& dialog, std::function<QWidget*()> firstEntry, QAbstractButton* closeButton)
        : QObject(&dialog),
          dialog_(dialog),
          firstEntry_(std::move(firstEntry)),
          closeButton_(closeButton) {
        const auto bind = [&](QKeyCombination keys, bool forward) {
            auto* shortcut = new QShortcut(QKeySequence(keys), &dialog);
            connect(shortcut, &QShortcut::activated, this,
                    [this, forward] { moveFocus(dialog_, forward); });
        };
        bind(Qt::CTRL | Qt::Key_Tab, true);
        bind(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, false);
        bind(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, false);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &dialog_) return false;
        // Each opening; not a window restored from the task bar, where the operator left off.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            prepare();
        } else if (event->type() == QEvent::KeyPress) {
            // A key reaches the dialog itself when the control with the focus left it unused.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                auto* button = qobject_cast<QPushButton*>(dialog_.focusWidget());
                if (button && button->isEnabled() && button->isVisible()) {
                    button->click();
                    return true;
                }
            } else if (key == Qt::Key_Escape && closeButton_) {
                if (closeButton_->isEnabled() && closeButton_->isVisible()) closeButton_->click();
                return true;
            }
        }
        return false;
    }

private:
    // Before Qt picks a default button, which it does right after the show event; buttons made
    // after the dialog are covered too.
    void prepare() {
        for (QPushButton* button : dialog_.findChildren<QPushButton*>()) {
            button->setAutoDefault(false);
            button->setDefault(false);
        }
        QWidget* first = firstEntry_ ? firstEntry_() : nullptr;
        if (!canStartOn(dialog_, first)) first = firstInTabOrder(dialog_);
        if (first) first->setFocus(Qt::OtherFocusReason);
        // Once shown: moved while it is being shown, the dialog loses the size it was given.
        QTimer::singleShot(0, &dialog_, [this] { moveWithinScreen(dialog_); });
    }

    QDialog& dialog_;
    std::function<QWidget*()> firstEntry_;
    QPointer<QAbstractButton> closeButton_;
};

}  // namespace

void setUpDialogKeys(QDialog& dialog, std::function<QWidget*()> firstEntry,
                     QAbstractButton* closeButton) {
    dialog.installEventFilter(new DialogKeys(dialog, std::move(firstEntry), closeButton));
}

}  // namespace platform
