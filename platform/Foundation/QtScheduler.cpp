#include "platform/Foundation/QtScheduler.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace {

// Guards the receivers' scheduler pointers: a receiver may be made on another thread than the
// main thread that reads it.
std::mutex sReceiverMutex;

}  // namespace

// Receives the wake-up events of posted tasks on the main thread; it never reads the event.
class QtScheduler::PostReceiver : public QObject {
public:
    explicit PostReceiver(QtScheduler& scheduler) : mScheduler(&scheduler) {}

protected:
    void customEvent(QEvent*) override {
        QtScheduler* scheduler;
        {
            std::lock_guard lock(sReceiverMutex);
            scheduler = mScheduler;
        }
        scheduler->runPosted();
    }

private:
    QtScheduler* mScheduler;
};

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
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QObject* receiver;
    {
        std::lock_guard lock(sReceiverMutex);
        if (!mPostReceiver) {
            mPostReceiver = std::make_unique<PostReceiver>(*this);
            mPostReceiver->moveToThread(app->thread());
        }
        receiver = mPostReceiver.get();
    }
    {
        std::lock_guard lock(mPostedMutex);
        mPosted.push_back(std::move(task));
    }
    QCoreApplication::postEvent(receiver, new QEvent(QEvent::User));
}

void QtScheduler::runPosted() {
    Task task;
    {
        std::lock_guard lock(mPostedMutex);
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
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(task), Qt::BlockingQueuedConnection);
}

bool QtScheduler::isMainThread() const {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
