#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "sockets/Lock.h"
#include "sockets/Mutex.h"
#include "sockets/Semaphore.h"
#include "sockets/Thread.h"

namespace {

// Built on the default constructor of Thread: it must wait for its release.
class CountingThread : public Thread {
public:
    CountingThread(std::atomic<int>& runs, Semaphore* destroyed = nullptr)
        : m_runs(runs), m_destroyed(destroyed) {}
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

// Run() waits at a gate that the derived destructor opens; only a base destructor that joins
// can promise that Run() has ended once the object is gone. Everything Run() touches after the
// gate lives outside the object.
struct Gate {
    Semaphore started;
    Semaphore open;
    std::atomic<bool> finished{false};
};

class GatedThread : public Thread {
public:
    explicit GatedThread(Gate& gate) : m_gate(gate) {}
    ~GatedThread() override { m_gate.open.Post(); }

protected:
    void Run() override {
        Gate& gate = m_gate;
        gate.started.Post();
        gate.open.Wait();
        gate.finished = true;
    }

private:
    Gate& m_gate;
};

TEST(Thread, DefaultThreadWaitsForItsRelease) {
    std::atomic<int> runs{0};
    CountingThread thread(runs);
    EXPECT_FALSE(thread.IsReleased());
    EXPECT_EQ(runs, 0);
    thread.SetRelease(true);
    thread.Join();
    EXPECT_EQ(runs, 1);
}

TEST(Thread, DestructorWaitsForRunToEnd) {
    for (int i = 0; i < 20; ++i) {
        Gate gate;
        auto thread = std::make_unique<GatedThread>(gate);
        thread->SetRelease(true);
        ASSERT_EQ(gate.started.Wait(), 0);
        thread.reset();
        ASSERT_TRUE(gate.finished) << "round " << i;
    }
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

// Two released threads count into one plain number under the library's lock.
class CountingUnderLock : public Thread {
public:
    CountingUnderLock(Mutex& mutex, long& count) : m_mutex(mutex), m_count(count) {}
    ~CountingUnderLock() override { Join(); }

protected:
    void Run() override {
        for (int i = 0; i < 100000; ++i) {
            Lock lock(m_mutex);
            ++m_count;
        }
    }

private:
    Mutex& m_mutex;
    long& m_count;
};

TEST(Mutex, LockKeepsThreadsOutOfEachOther) {
    Mutex mutex;
    long count = 0;
    {
        CountingUnderLock a(mutex, count);
        CountingUnderLock b(mutex, count);
        a.SetRelease(true);
        b.SetRelease(true);
    }
    EXPECT_EQ(count, 200000);
    EXPECT_EQ(mutex.Lock(), 0);
    EXPECT_EQ(mutex.Unlock(), 0);
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
