#include <gtest/gtest.h>

#include <atomic>

#include "sockets/Semaphore.h"
#include "sockets/Thread.h"

namespace {

class CountingThread : public Thread {
public:
    CountingThread(std::atomic<int>& runs, Semaphore* destroyed = nullptr)
        : Thread(false), m_runs(runs), m_destroyed(destroyed) {}
    ~CountingThread() override {
        if (m_destroyed) m_destroyed->Post();
    }

protected:
    void Run() override { ++m_runs; }

private:
    std::atomic<int>& m_runs;
    Semaphore* m_destroyed;
};

}  // namespace

TEST(Thread, ReleasedThreadRunsOnce) {
    std::atomic<int> runs{0};
    {
        CountingThread thread(runs);
        EXPECT_TRUE(thread.IsRunning());
        thread.SetRelease(true);
        thread.Join();
        EXPECT_FALSE(thread.IsRunning());
    }
    EXPECT_EQ(runs, 1);
}

TEST(Thread, ThreadDestroyedBeforeReleaseNeverRuns) {
    std::atomic<int> runs{0};
    {
        CountingThread thread(runs);
        EXPECT_FALSE(thread.IsReleased());
    }
    EXPECT_EQ(runs, 0);
}

TEST(Thread, DeleteOnExitDeletesTheObjectOnItsThread) {
    std::atomic<int> runs{0};
    Semaphore destroyed;
    auto* thread = new CountingThread(runs, &destroyed);
    thread->SetDeleteOnExit();
    thread->SetRelease(true);
    EXPECT_EQ(destroyed.Wait(), 0);
    EXPECT_EQ(runs, 1);
}

TEST(Semaphore, CountsPostsAndWaits) {
    Semaphore semaphore(2);
    int value = -1;
    EXPECT_EQ(semaphore.GetValue(value), 0);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(semaphore.TryWait(), 0);
    EXPECT_EQ(semaphore.Wait(), 0);
    EXPECT_EQ(semaphore.TryWait(), -1);
    EXPECT_EQ(semaphore.Post(), 0);
    semaphore.GetValue(value);
    EXPECT_EQ(value, 1);
}
