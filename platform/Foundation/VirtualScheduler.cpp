#include "platform/Foundation/VirtualScheduler.h"

#include <memory>

VirtualScheduler::VirtualScheduler() : mMainThread(std::this_thread::get_id()) {}

int64_t VirtualScheduler::now() const {
    std::lock_guard lock(mMutex);
    return mNow;
}

Scheduler::TaskId VirtualScheduler::scheduleAfter(int64_t delayMs, Task task) {
    const TaskId id = mNextId++;
    const std::pair key{now() + std::max<int64_t>(delayMs, 0), mSequence++};
    mTimed.emplace(key, std::pair{id, std::move(task)});
    mKeys.emplace(id, key);
    return id;
}

bool VirtualScheduler::cancel(TaskId id) {
    auto it = mKeys.find(id);
    if (it == mKeys.end()) return false;
    mTimed.erase(it->second);
    mKeys.erase(it);
    return true;
}

void VirtualScheduler::post(Task task) {
    std::lock_guard lock(mMutex);
    mQueue.push_back(std::move(task));
}

void VirtualScheduler::postAndWait(Task task) {
    if (isMainThread()) {
        task();
        return;
    }
    struct Done {
        std::mutex mutex;
        std::condition_variable changed;
        bool done{false};
    };
    auto done = std::make_shared<Done>();
    post([task = std::move(task), done] {
        task();
        std::lock_guard lock(done->mutex);
        done->done = true;
        done->changed.notify_all();
    });
    std::unique_lock lock(done->mutex);
    done->changed.wait(lock, [&] { return done->done; });
}

bool VirtualScheduler::isMainThread() const {
    return std::this_thread::get_id() == mMainThread;
}

size_t VirtualScheduler::runPending() {
    size_t ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard lock(mMutex);
            if (mQueue.empty()) return ran;
            task = std::move(mQueue.front());
            mQueue.pop_front();
        }
        task();
        ++ran;
    }
}

size_t VirtualScheduler::pendingCount() const {
    std::lock_guard lock(mMutex);
    return mQueue.size();
}

void VirtualScheduler::advance(int64_t ms) {
    const int64_t end = now() + std::max<int64_t>(ms, 0);
    runPending();
    while (!mTimed.empty() && mTimed.begin()->first.first <= end) {
        auto first = mTimed.begin();
        {
            std::lock_guard lock(mMutex);
            mNow = first->first.first;
        }
        Task task = std::move(first->second.second);
        mKeys.erase(first->second.first);
        mTimed.erase(first);
        task();
        runPending();
    }
    std::lock_guard lock(mMutex);
    mNow = end;
}
