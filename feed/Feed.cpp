#include "feed/Feed.h"

#include <QMetaMethod>

namespace feed {

void Feed::changed() {
    if (due_ || !isSignalConnected(QMetaMethod::fromSignal(&Feed::reading))) return;
    due_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!due_) return;
            due_ = false;
            emit reading(current());
        },
        Qt::QueuedConnection);
}

void Feed::readingShown() {
    if (!isSignalConnected(QMetaMethod::fromSignal(&Feed::reading))) return;
    // What a change still due would take is this same state.
    due_ = false;
    emit reading(current());
}

}  // namespace feed
