#include "platform/Foundation/Timer.h"

#include <algorithm>
#include <cmath>

std::shared_ptr<NSTimer> NSTimer::scheduledTimerWithTimeInterval(double seconds, Action action,
                                                                 Scheduler& scheduler) {
    std::shared_ptr<NSTimer> timer(new NSTimer(std::move(action), scheduler));
    const double ms = std::isfinite(seconds) ? std::clamp(seconds * 1000.0, 0.0, 9e15) : 0.0;
    timer->mFireDate = scheduler.now() + std::llround(ms);
    timer->arm();
    return timer;
}

NSTimer::~NSTimer() {
    if (mTask) mScheduler.cancel(mTask);
}

void NSTimer::arm() {
    // The pending task holds the timer, as a run loop holds its timers.
    mTask = mScheduler.scheduleAfter(mFireDate - mScheduler.now(), [self = shared_from_this()] {
        self->mTask = 0;
        self->mAction(*self);
    });
}

void NSTimer::setFireDate(int64_t date) {
    if (!isValid()) return;
    auto keep = shared_from_this();  // the cancelled task may have held the last reference
    mScheduler.cancel(mTask);
    mFireDate = date;
    arm();
}

void NSTimer::fire() {
    if (!isValid()) return;
    auto keep = shared_from_this();
    invalidate();
    mAction(*this);
}

void NSTimer::invalidate() {
    if (!mTask) return;
    auto keep = shared_from_this();  // the cancelled task may have held the last reference
    const Scheduler::TaskId task = mTask;
    mTask = 0;
    mScheduler.cancel(task);
}
