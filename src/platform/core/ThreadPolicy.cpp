#include "platform/core/ThreadPolicy.h"

#include <sched.h>

namespace platform {

bool makeCurrentThreadBackground() {
    sched_param param{};
    param.sched_priority = 0;  // the only priority the time-sharing policies take
    return sched_setscheduler(0, SCHED_BATCH, &param) == 0;
}

bool currentThreadIsBackground() { return sched_getscheduler(0) == SCHED_BATCH; }

}  // namespace platform
