#include "readout/Priority.h"

#include <sys/resource.h>

#include <cerrno>

namespace {
// A high priority class, short of the levels that would compete with the system itself.
constexpr int raisedNice = -10;
}  // namespace

void PriorityBoost::raise() {
    if (raised_) return;
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, 0);
    if (current == -1 && errno != 0) return;
    if (current <= raisedNice) return;
    // Without CAP_SYS_NICE (or a matching RLIMIT_NICE) this fails with EPERM/EACCES: ignored.
    if (setpriority(PRIO_PROCESS, 0, raisedNice) == 0) {
        previousNice_ = current;
        raised_ = true;
    }
}

void PriorityBoost::restore() {
    if (!raised_) return;
    raised_ = false;
    setpriority(PRIO_PROCESS, 0, previousNice_);
}
