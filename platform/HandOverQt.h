#pragma once

#include <QObject>

#include "platform/HandOver.h"

namespace platform {

// The program's hand-over: a queued call on the GUI thread's event loop. Modal dialogs and
// message boxes run nested loops that serve it too, so port events keep arriving while one is
// shown. Construct it on the main thread (main() does, then sets it as the default).
class HandOverQt : public HandOver {
public:
    HandOverQt();
    void post(std::shared_ptr<HandOverChannel> channel) override;

private:
    QObject context_;  // lives on the main thread: queued calls run there
};

}  // namespace platform
