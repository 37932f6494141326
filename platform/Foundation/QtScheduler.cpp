#include "platform/Foundation/QtScheduler.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>

// Made on whichever thread first asks for the scheduler; its queued calls run on the main thread.
QtScheduler::QtScheduler() {
    if (QCoreApplication* app = QCoreApplication::instance(); app && thread() != app->thread())
        moveToThread(app->thread());
}
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
    if (!QCoreApplication::instance()) return;
    {
        std::lock_guard lock(mPostedLock);
        mPosted.push_back(std::move(task));
    }
    QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection);
}

void QtScheduler::runPosted() {
    Task task;
    {
        std::lock_guard lock(mPostedLock);
        if (mPosted.empty()) return;
        task = std::move(mPosted.front());
        mPosted.pop_front();
    }
    task();
}

void QtScheduler::postAndWait(Task task) {
    if (isMainThread()) {
        task();
        return;
    }
    if (!QCoreApplication::instance()) return;
    std::mutex lock;
    std::condition_variable ran;
    bool done = false;
    post([&] {
        task();
        std::lock_guard guard(lock);
        done = true;
        ran.notify_one();
    });
    std::unique_lock wait(lock);
    ran.wait(wait, [&] { return done; });
}

bool QtScheduler::isMainThread() const {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
