#include "platform/Foundation/QtScheduler.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>

QtScheduler::QtScheduler() = default;
QtScheduler::~QtScheduler() = default;

int64_t QtScheduler::now() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Scheduler::TaskId QtScheduler::scheduleAfter(int64_t delayMs, Task task) {
    const TaskId id = mNextId++;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, [this, id] { fire(id); });
    timer->start(static_cast<int>(std::clamp<int64_t>(delayMs, 0, INT32_MAX)));
    mTimers.emplace(id, std::move(timer));
    mTasks.emplace(id, std::move(task));
    return id;
}

void QtScheduler::fire(TaskId id) {
    auto timer = mTimers.find(id);
    auto task = mTasks.find(id);
    if (timer == mTimers.end() || task == mTasks.end()) return;
    // The timer is inside its own signal: let the event loop delete it.
    timer->second.release()->deleteLater();
    mTimers.erase(timer);
    Task run = std::move(task->second);
    mTasks.erase(task);
    run();
}

bool QtScheduler::cancel(TaskId id) {
    auto timer = mTimers.find(id);
    if (timer == mTimers.end()) return false;
    timer->second->stop();
    mTimers.erase(timer);
    mTasks.erase(id);
    return true;
}

void QtScheduler::post(Task task) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
}

void QtScheduler::postAndWait(Task task) {
    if (isMainThread()) {
        task();
        return;
    }
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(task), Qt::BlockingQueuedConnection);
}

bool QtScheduler::isMainThread() const {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
