#pragma once

#include <sys/types.h>

#include "serial/VaComm.h"

namespace serial {

// Sets a thread's scheduling niceness from the port's priority names. Best effort: raising a
// priority needs privileges most users lack, and the port works the same without it.
void applyThreadPriority(pid_t tid, TThreadPriority priority);

}  // namespace serial
