// A scheduler on virtual time for tests: nothing runs until the test advances the clock or
// drains the queue, on the thread that created the scheduler (its main thread).
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Foundation/Scheduler.h"

class VirtualScheduler : public Scheduler {
public:
    VirtualScheduler();

    int64_t now() const override;
    TaskId scheduleAfter(int64_t delayMs, Task task) override;
    bool cancel(TaskId id) override;
    void post(Task task) override;
    void postAndWait(Task task) override;
    bool isMainThread() const override;

    // Main thread only: runs the queued tasks, then each timed task due within ms of now in
    // order of due time (ties in the order they were scheduled), moving the clock to each
    // one's time as it runs, queued tasks between them; tasks they schedule within the window
    // run too. The clock ends ms later.
    void advance(int64_t ms);
    // Main thread only: runs queued tasks until none is left; answers how many ran.
    size_t runPending();
    // Any thread: how many tasks are queued (not timed).
    size_t pendingCount() const;
    // Main thread only: how many timed tasks wait.
    size_t scheduledCount() const { return mTimed.size(); }

private:
    const std::thread::id mMainThread;
    int64_t mNow{0};  // written on the main thread only
    TaskId mNextId{1};
    uint64_t mSequence{0};
    std::map<std::pair<int64_t, uint64_t>, std::pair<TaskId, Task>> mTimed;  // (due, sequence)
    std::map<TaskId, std::pair<int64_t, uint64_t>> mKeys;

    mutable std::mutex mMutex;  // guards the queue
    std::deque<Task> mQueue;
};
