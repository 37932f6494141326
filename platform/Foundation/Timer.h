// A one-shot timer on the current scheduler whose fire date can be moved. Like a scheduled
// timer of a run loop, it stays alive while it is pending even when nobody else holds it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Foundation/Scheduler.h"

// Main thread only.
class NSTimer : public std::enable_shared_from_this<NSTimer> {
public:
    NSTimer(const NSTimer&) = delete;
    NSTimer& operator=(const NSTimer&) = delete;

    using Action = std::function<void(NSTimer&)>;

    // Fires once, interval seconds from now.
    static std::shared_ptr<NSTimer> scheduledTimerWithTimeInterval(
        double seconds, Action action, Scheduler& scheduler = Scheduler::current());
    ~NSTimer();

    // In milliseconds on the scheduler's clock.
    int64_t fireDate() const { return mFireDate; }
    // Moves a valid timer; a date in the past fires at the next turn of the loop.
    void setFireDate(int64_t date);
    // Fires now (once) and invalidates.
    void fire();
    void invalidate();
    bool isValid() const { return mTask != 0; }

private:
    NSTimer(Action action, Scheduler& scheduler) : mAction(std::move(action)), mScheduler(scheduler) {}
    void arm();

    Action mAction;
    Scheduler& mScheduler;
    int64_t mFireDate{0};
    Scheduler::TaskId mTask{0};
};
