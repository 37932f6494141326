#include "platform/Foundation/Scheduler.h"

#include <atomic>
#include <vector>

#include "platform/Foundation/QtScheduler.h"

namespace {

std::atomic<Scheduler*> sInstalled{nullptr};

QtScheduler& qtScheduler() {
    static QtScheduler qt;
    return qt;
}

// Made before main, on the main thread, whose queued calls it runs: made by the first thread
// that asked for it, it would reach the main thread through Qt's queue, where race checkers
// cannot follow it.
[[maybe_unused]] QtScheduler& sMainThreadScheduler = qtScheduler();

}  // namespace

Scheduler& Scheduler::current() {
    if (Scheduler* installed = sInstalled.load()) return *installed;
    return qtScheduler();
}

void Scheduler::setCurrent(Scheduler* scheduler) {
    sInstalled.store(scheduler);
}

void Scheduler::performAfterDelay(const void* target, std::string_view selector, const void* object,
                                  int64_t delayMs, Task task) {
    // The id is only known once scheduled, so the task finds its own entry through a shared slot.
    auto id = std::make_shared<TaskId>(0);
    *id = scheduleAfter(delayMs, [this, id, task = std::move(task)] {
        mPerformRequests.erase(*id);
        task();
    });
    mPerformRequests.emplace(*id, PerformRequest{target, std::string(selector), object});
}

void Scheduler::cancelPerformRequests(const void* target) {
    std::vector<TaskId> cancelled;
    for (const auto& [id, request] : mPerformRequests)
        if (request.target == target) cancelled.push_back(id);
    for (TaskId id : cancelled) {
        cancel(id);
        mPerformRequests.erase(id);
    }
}

void Scheduler::cancelPerformRequests(const void* target, std::string_view selector, const void* object) {
    std::vector<TaskId> cancelled;
    for (const auto& [id, request] : mPerformRequests)
        if (request.target == target && request.selector == selector && request.object == object)
            cancelled.push_back(id);
    for (TaskId id : cancelled) {
        cancel(id);
        mPerformRequests.erase(id);
    }
}

ScopedScheduler::ScopedScheduler(Scheduler& scheduler) : mPrevious(sInstalled.exchange(&scheduler)) {}
ScopedScheduler::~ScopedScheduler() {
    sInstalled.store(mPrevious);
}
