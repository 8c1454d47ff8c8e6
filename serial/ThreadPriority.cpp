#include "serial/ThreadPriority.h"

#include <sys/resource.h>

#include <array>

namespace serial {

void applyThreadPriority(pid_t tid, TThreadPriority priority) {
    // tpIdle .. tpTimeCritical as nice values.
    constexpr std::array<int, 7> kNice = {19, 10, 5, 0, -5, -10, -20};
    if (tid <= 0) return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid),
                      kNice[static_cast<std::size_t>(priority)]);
}

}  // namespace serial
