// The main thread's run loop as the system's logic sees it: tasks after a delay, tasks handed
// over from other threads, and the delayed performs keyed by target and action. The Qt event
// loop drives it in the application (QtScheduler.h); tests drive virtual time
// (VirtualScheduler.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

class Scheduler {
public:
    Scheduler(const Scheduler&) = delete;
    Scheduler& operator=(const Scheduler&) = delete;

    using Task = std::function<void()>;
    using TaskId = uint64_t;

    Scheduler() = default;
    virtual ~Scheduler() = default;

    // Milliseconds on this scheduler's monotonic clock. May be called from any thread.
    virtual int64_t now() const = 0;

    // Main thread only: runs the task once on the main thread after delayMs (at least 0).
    virtual TaskId scheduleAfter(int64_t delayMs, Task task) = 0;
    // Main thread only: false when the task already ran or was cancelled.
    virtual bool cancel(TaskId id) = 0;

    // May be called from any thread: queues the task to run on the main thread, after every
    // task queued before it.
    virtual void post(Task task) = 0;
    // May be called from any thread. On the main thread the task runs at once; otherwise it is
    // queued as post() does and this blocks until it has run.
    virtual void postAndWait(Task task) = 0;

    // May be called from any thread.
    virtual bool isMainThread() const = 0;

    // Main thread only: a perform request of target and selector with an object argument
    // (identities only), run once after delayMs unless cancelled first.
    void performAfterDelay(const void* target, std::string_view selector, const void* object, int64_t delayMs,
                           Task task);
    // Main thread only: cancels the target's requests; with a selector only those of that
    // selector and object.
    void cancelPerformRequests(const void* target);
    void cancelPerformRequests(const void* target, std::string_view selector, const void* object);

    // The scheduler the system uses: the one installed, else the Qt one.
    static Scheduler& current();
    // Installs a scheduler (nullptr restores the Qt one). Not owned; meant for tests, before
    // other threads use the scheduler.
    static void setCurrent(Scheduler* scheduler);

private:
    struct PerformRequest {
        const void* target;
        std::string selector;
        const void* object;
    };
    std::map<TaskId, PerformRequest> mPerformRequests;  // main thread only
};

// Installs a scheduler for a scope and restores the previous one.
class ScopedScheduler {
public:
    explicit ScopedScheduler(Scheduler& scheduler);
    ~ScopedScheduler();
    ScopedScheduler(const ScopedScheduler&) = delete;
    ScopedScheduler& operator=(const ScopedScheduler&) = delete;

private:
    Scheduler* mPrevious;
};
