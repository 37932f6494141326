// The scheduler on the Qt event loop: QTimer for delays; tasks posted from other threads wait
// in a locked queue and an event wakes the main thread for each, and a blocking queued call
// serves postAndWait. The main thread is the QCoreApplication's thread, which must
// exist before a task is scheduled or posted.
#pragma once

#include <QObject>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Foundation/Scheduler.h"

class QTimer;

class QtScheduler : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;
    QtScheduler(const QtScheduler&) = delete;
    QtScheduler& operator=(const QtScheduler&) = delete;

    int64_t now() const override;
    TaskId scheduleAfter(int64_t delayMs, Task task) override;
    bool cancel(TaskId id) override;
    void post(Task task) override;
    void postAndWait(Task task) override;
    bool isMainThread() const override;

private:
    void fire(TaskId id);
    // Runs the oldest posted task; one per wake-up event, so posts keep their order.
    void runPosted();

    // Posted tasks wait here under the lock rather than inside the event: the hand-off is then
    // one a thread checker can see.
    std::mutex mPostedMutex;
    std::deque<Task> mPosted;  // guarded by mPostedMutex
    class PostReceiver;
    std::unique_ptr<PostReceiver> mPostReceiver;  // made on the first post, lives on the main thread

    TaskId mNextId{1};                                  // main thread only
    std::map<TaskId, std::unique_ptr<QTimer>> mTimers;  // main thread only
    std::map<TaskId, Task> mTasks;                      // main thread only
};
