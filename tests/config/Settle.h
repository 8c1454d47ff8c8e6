#pragma once

#include <QCoreApplication>
#include <QEvent>

namespace configtest {

// As the main loop runs between two actions of the operator: everything queued is delivered
// (also what that queues in turn) and closed editors are deleted.
inline void settle() {
    for (int pass = 0; pass < 10; ++pass) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

}  // namespace configtest
