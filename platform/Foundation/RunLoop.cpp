#include "platform/Foundation/RunLoop.h"

#include <algorithm>
#include <cmath>

#include "platform/Foundation/Scheduler.h"

void performSelector(const void* target, std::string_view selector, const void* object, double delaySeconds,
                     std::function<void()> action) {
    const double ms = std::isfinite(delaySeconds) ? std::max(0.0, delaySeconds * 1000.0) : 0.0;
    Scheduler::current().performAfterDelay(target, selector, object, std::llround(std::min(ms, 9e15)),
                                           std::move(action));
}

void cancelPreviousPerformRequestsWithTarget(const void* target) {
    Scheduler::current().cancelPerformRequests(target);
}

void cancelPreviousPerformRequestsWithTarget(const void* target, std::string_view selector,
                                             const void* object) {
    Scheduler::current().cancelPerformRequests(target, selector, object);
}

void performSelectorOnMainThread(std::function<void()> action, bool waitUntilDone) {
    if (waitUntilDone)
        Scheduler::current().postAndWait(std::move(action));
    else
        Scheduler::current().post(std::move(action));
}
