// The scheduler on the Qt event loop: QTimer for delays, queued and blocking queued calls for
// tasks from other threads. The main thread is the QCoreApplication's thread, which must
// exist before a task is scheduled or posted.
#pragma once

#include <QObject>
#include <map>
#include <memory>

#include "platform/Foundation/Scheduler.h"

class QTimer;

class QtScheduler : public Scheduler {
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

    TaskId mNextId{1};                                  // main thread only
    std::map<TaskId, std::unique_ptr<QTimer>> mTimers;  // main thread only
    std::map<TaskId, Task> mTasks;                      // main thread only
};
