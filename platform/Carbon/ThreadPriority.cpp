#include "platform/Carbon/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <cmath>

bool RaiseCurrentThreadPriority(double priority) {
    const int low = sched_get_priority_min(SCHED_FIFO);
    const int high = sched_get_priority_max(SCHED_FIFO);
    if (low < 0 || high < 0) return false;
    sched_param param{};
    param.sched_priority = low + static_cast<int>(std::lround(std::clamp(priority, 0.0, 1.0) * (high - low)));
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}
