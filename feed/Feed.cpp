#include "feed/Feed.h"

#include <QMetaMethod>

namespace feed {

void Feed::changed() {
    if (due_ || !isSignalConnected(QMetaMethod::fromSignal(&Feed::reading))) return;
    due_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            due_ = false;
            emit reading(current());
        },
        Qt::QueuedConnection);
}

}  // namespace feed
