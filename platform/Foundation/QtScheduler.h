// The scheduler on the Qt event loop: QTimer for delays; tasks from other threads wait in a
// queue of its own, under its own lock (so that race checkers see the hand-over), and a queued
// call wakes the main thread once per task, so they keep their place among Qt's events. The main
// thread is the QCoreApplication's thread, which must exist before a task is scheduled or posted.
#pragma once

#include <QObject>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/Foundation/Scheduler.h"

class QTimer;

class QtScheduler : public QObject, public Scheduler {
    Q_OBJECT
public:
    QtScheduler();
    ~QtScheduler() override;

    int64_t now() const override;
    TaskId scheduleAfter(int64_t delayMs, Task task) override;
    bool cancel(TaskId id) override;
    void post(Task task) override;
    void postAndWait(Task task) override;
    bool isMainThread() const override;

private:
    void fire(TaskId id);
    // Main thread: runs the oldest posted task.
    Q_INVOKABLE void runPosted();

    TaskId mNextId{1};                                  // main thread only
    std::map<TaskId, std::unique_ptr<QTimer>> mTimers;  // main thread only
    std::map<TaskId, Task> mTasks;                      // main thread only
    std::mutex mPostedLock;
    std::deque<Task> mPosted;  // guarded by mPostedLock
};
