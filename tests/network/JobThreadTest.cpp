#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "network/NetworkErrors.h"
#include "network/TJob.h"
#include "network/TJobQueue.h"
#include "network/TJobThread.h"
#include "network/TQueue.h"
#include "network/TSimpleJob.h"
#include "network/TTask.h"

namespace {

// What the jobs and tasks of a test did, in order, from whichever thread.
class Log {
public:
    void Add(const std::string& entry) {
        std::lock_guard lock(fMutex);
        fEntries.push_back(entry);
        fChanged.notify_all();
    }
    // Fails instead of hanging when the worker never gets there.
    bool WaitForCount(size_t count) {
        std::unique_lock lock(fMutex);
        return fChanged.wait_for(lock, std::chrono::seconds(20), [&] { return fEntries.size() >= count; });
    }
    std::vector<std::string> Entries() {
        std::lock_guard lock(fMutex);
        return fEntries;
    }

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    std::vector<std::string> fEntries;
};

// A gate a task waits at until the test opens it.
class Gate {
public:
    void Open() {
        std::lock_guard lock(fMutex);
        fOpen = true;
        fChanged.notify_all();
    }
    void Pass() {
        std::unique_lock lock(fMutex);
        fChanged.wait(lock, [&] { return fOpen; });
    }

private:
    std::mutex fMutex;
    std::condition_variable fChanged;
    bool fOpen{false};
};

class RecordingJob : public TJob {
public:
    RecordingJob(Log& log, std::string name, TTask* task)
        : TJob(kOwningJobID, task), fLog(log), fName(std::move(name)) {}
    ~RecordingJob() override { fLog.Add(fName + " deleted"); }
    void JobSucceeded() override {
        TJob::JobSucceeded();
        fLog.Add(fName + " succeeded");
    }
    void JobFailed(int error) override {
        TJob::JobFailed(error);
        fLog.Add(fName + " failed " + std::to_string(error));
    }

private:
    Log& fLog;
    std::string fName;
};

class RecordingTask : public TTask {
public:
    RecordingTask(
        Log& log, std::string name, std::function<int()> body = [] { return 0; })
        : fLog(log), fName(std::move(name)), fBody(std::move(body)) {}
    int PerformTask() override {
        fLog.Add(fName + " ran");
        return fBody();
    }

private:
    Log& fLog;
    std::string fName;
    std::function<int()> fBody;
};

class CountingThread : public TJobThread {
public:
    ~CountingThread() override { Stop(); }
    void AbortCurrentOperation() override { ++fAborts; }
    std::atomic<int> fAborts{0};
};

RecordingJob* MakeJob(
    Log& log, const std::string& name, std::function<int()> body = [] { return 0; }) {
    return new RecordingJob(log, name, new RecordingTask(log, name, std::move(body)));
}

using Entries = std::vector<std::string>;

}  // namespace

TEST(TQueueTest, LinksKeepHeadTailAndCountRight) {
    TQueue queue;
    EXPECT_EQ(queue.NextGet(), nullptr);
    EXPECT_EQ(queue.GetSize(), 0);

    TLink a, b, c;
    queue.NextPut(&a);
    EXPECT_TRUE(queue.Remove(&a));
    EXPECT_EQ(queue.GetHead(), nullptr);
    EXPECT_EQ(queue.GetTail(), nullptr);
    EXPECT_FALSE(queue.Remove(&a));

    queue.NextPut(&a);
    queue.NextPut(&b);
    queue.NextPut(&c);
    EXPECT_TRUE(queue.Remove(&c));
    EXPECT_EQ(queue.GetTail(), &b) << "removing the tail moves the tail back";
    queue.NextPut(&c);
    EXPECT_EQ(b.GetNext(), &c);
    EXPECT_EQ(queue.NextGet(), &a);
    EXPECT_EQ(a.GetNext(), nullptr);
    EXPECT_EQ(queue.GetSize(), 2);

    // The function may unlink the link it is given.
    queue.DoForEach([](TLink* link, void* context) { static_cast<TQueue*>(context)->Remove(link); }, &queue);
    EXPECT_TRUE(queue.IsEmpty());
}

TEST(TJobQueueTest, AddAtFrontMovesWithoutCountingTwice) {
    Log log;
    TJobQueue queue(nullptr);
    auto* a = MakeJob(log, "a");
    auto* b = MakeJob(log, "b");
    queue.AddAtFront(a);
    EXPECT_EQ(queue.GetHead(), a);
    EXPECT_EQ(queue.GetTail(), a);
    EXPECT_EQ(queue.GetSize(), 1);

    queue.NextPut(b);
    queue.AddAtFront(b);
    EXPECT_EQ(queue.GetHead(), b);
    EXPECT_EQ(queue.GetTail(), a);
    EXPECT_EQ(queue.GetSize(), 2);
}

TEST(TJobQueueTest, JobsStillQueuedAtDestructionFail) {
    Log log;
    {
        TJobQueue queue(nullptr);
        queue.NextPut(MakeJob(log, "a"));
        queue.NextPut(MakeJob(log, "b"));
    }
    EXPECT_EQ(log.Entries(), (Entries{"a failed 30001", "a deleted", "b failed 30001", "b deleted"}));
}

TEST(TJobQueueTest, KillJobsKeepsTheGivenJobQueued) {
    Log log;
    TJobQueue queue(nullptr);
    auto* kept = MakeJob(log, "kept");
    queue.NextPut(MakeJob(log, "a"));
    queue.NextPut(kept);
    queue.KillJobs(-128, kept);
    EXPECT_EQ(log.Entries(), (Entries{"a failed -128", "a deleted"}));
    EXPECT_EQ(queue.GetHead(), kept);
    EXPECT_EQ(queue.GetSize(), 1);
}

TEST(TJobThreadTest, RunsJobsInOrderOnOneWorkerAndErrorsBecomeResults) {
    Log log;
    std::vector<pthread_t> threads;
    std::mutex threadsMutex;
    auto noting = [&](int result) {
        return [&, result] {
            std::lock_guard lock(threadsMutex);
            threads.push_back(pthread_self());
            return result;
        };
    };
    {
        CountingThread worker;
        worker.ScheduleJob(MakeJob(log, "ok", noting(0)));
        worker.ScheduleJob(MakeJob(log, "code", noting(kNetTimeoutErr)));
        worker.ScheduleJob(MakeJob(log, "int", []() -> int { throw -23010; }));
        worker.ScheduleJob(MakeJob(log, "other", []() -> int { throw std::runtime_error("x"); }));
        worker.ScheduleJob(new RecordingJob(log, "empty", nullptr));
        worker.ScheduleJob(MakeJob(log, "after", noting(0)));
        worker.Start();
        ASSERT_TRUE(log.WaitForCount(16));
    }
    EXPECT_EQ(log.Entries(), (Entries{"ok ran", "ok succeeded", "ok deleted",               //
                                      "code ran", "code failed 268435556", "code deleted",  //
                                      "int ran", "int failed -23010", "int deleted",        //
                                      "other ran", "other failed 30000", "other deleted",   //
                                      "empty succeeded", "empty deleted",                   //
                                      "after ran", "after succeeded", "after deleted"}));
    ASSERT_EQ(threads.size(), 3u);
    EXPECT_FALSE(pthread_equal(threads[0], pthread_self()));
    EXPECT_TRUE(pthread_equal(threads[0], threads[1]) && pthread_equal(threads[1], threads[2]));
}

TEST(TJobThreadTest, StoppingLeavesQueuedJobsToFailAndJoins) {
    Log log;
    {
        CountingThread worker;
        worker.ScheduleJob(MakeJob(log, "a", [&] {
            worker.Stop();  // from the worker itself: only asks
            return 0;
        }));
        worker.ScheduleJob(MakeJob(log, "b"));
        worker.ScheduleJob(MakeJob(log, "c"));
        worker.Start();
        ASSERT_TRUE(log.WaitForCount(1));
    }
    EXPECT_EQ(log.Entries(), (Entries{"a ran", "a failed 30001", "a deleted", "b failed 30001", "b deleted",
                                      "c failed 30001", "c deleted"}))
        << "the job whose task ended is completed only when its next task is asked for";
}

TEST(TJobThreadTest, StopAllFailsQueuedJobsAndTheWorkerGoesOn) {
    Log log;
    Gate gate;
    CountingThread worker;
    worker.StopAll();  // idle: nothing changes
    EXPECT_FALSE(worker.GetStopped());
    EXPECT_FALSE(worker.AbortNow());

    worker.ScheduleJob(MakeJob(log, "a", [&] {
        gate.Pass();
        return 0;
    }));
    worker.ScheduleJob(MakeJob(log, "b"));
    worker.Start();
    ASSERT_TRUE(log.WaitForCount(1));
    worker.StopAll();
    EXPECT_GE(worker.fAborts, 1);
    gate.Open();
    ASSERT_TRUE(log.WaitForCount(5));
    EXPECT_EQ(log.Entries(), (Entries{"a ran", "a failed -128", "a deleted", "b failed -128", "b deleted"}));

    worker.ScheduleJob(MakeJob(log, "later"));
    ASSERT_TRUE(log.WaitForCount(8));
    EXPECT_EQ(log.Entries().back(), "later deleted");
    EXPECT_FALSE(worker.AbortNow());
}

// A task that notices being told anything after it was deleted.
class StressTask : public TTask {
public:
    explicit StressTask(std::atomic<int>& alive) : fAlive(alive) { ++fAlive; }
    ~StressTask() override { --fAlive; }
    int PerformTask() override { return ++fRuns % 3 == 0 ? kNetTimeoutErr : 0; }
    void CancelProgress() override { ++fRuns; }
    void TaskFinished(bool) override { ++fRuns; }

private:
    std::atomic<int>& fAlive;
    int fRuns{0};
};

// One thread scheduling quick jobs, another stopping all of them over and over: whatever the
// interleaving, every task goes exactly once and the worker takes work afterwards.
TEST(TJobThreadTest, StopAllAgainstABusyWorkerLosesNothingAndTouchesNothingGone) {
    constexpr int kJobs = 20000;
    std::atomic<int> alive{0};
    std::atomic<bool> scheduling{true};
    Log log;
    CountingThread worker;
    worker.Start();
    std::thread scheduler([&] {
        for (int i = 0; i < kJobs; ++i) worker.ScheduleTask(new StressTask(alive));
        scheduling = false;
    });
    std::thread stopper([&] {
        while (scheduling) worker.StopAll();
    });
    scheduler.join();
    stopper.join();
    // The last stop may still be on its way; what is scheduled before it is done goes with it.
    for (int i = 0; i < 20000 && worker.AbortNow(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(worker.AbortNow()) << "a stop that never ends";
    worker.ScheduleJob(MakeJob(log, "after"));
    ASSERT_TRUE(log.WaitForCount(3)) << testing::PrintToString(log.Entries());
    EXPECT_EQ(log.Entries(), (Entries{"after ran", "after succeeded", "after deleted"}));
    EXPECT_EQ(alive, 0);
}

// A paused loop cannot run the stop at once; woken by it, the worker lets every job go quietly
// and takes work again.
TEST(TJobThreadTest, StopAllWhilePausedDropsTheJobsQuietlyOnTheWorker) {
    Log log;
    Gate gate;
    CountingThread worker;
    worker.ScheduleJob(MakeJob(log, "a", [&] {
        gate.Pass();
        return 0;
    }));
    worker.ScheduleJob(MakeJob(log, "b"));
    worker.Start();
    ASSERT_TRUE(log.WaitForCount(1));
    worker.Pause();
    gate.Open();
    worker.StopAll();
    ASSERT_TRUE(log.WaitForCount(3));
    EXPECT_EQ(log.Entries(), (Entries{"a ran", "a deleted", "b deleted"}));

    worker.ScheduleJob(MakeJob(log, "later"));
    ASSERT_TRUE(log.WaitForCount(6)) << "the stop resumes the worker";
    EXPECT_EQ(log.Entries().back(), "later deleted");
    EXPECT_FALSE(worker.IsPaused());
}

TEST(TJobThreadTest, CancelJobDeletesQueuedJobsAndOnlyStopsTheCurrentOne) {
    Log log;
    Gate gate;
    CountingThread worker;
    auto* current = MakeJob(log, "current", [&] {
        gate.Pass();
        return 0;
    });
    auto* queued = MakeJob(log, "queued");
    worker.ScheduleJob(current);
    worker.ScheduleJob(queued);
    worker.Start();
    ASSERT_TRUE(log.WaitForCount(1));

    worker.CancelJob(queued);
    worker.CancelJob(current);
    worker.CancelJob(nullptr);
    EXPECT_EQ(worker.fAborts, 1);
    EXPECT_TRUE(worker.GetStopped());
    gate.Open();
    ASSERT_TRUE(log.WaitForCount(4));
    EXPECT_EQ(log.Entries(),
              (Entries{"current ran", "queued deleted", "current succeeded", "current deleted"}));
}

TEST(TJobThreadTest, TheHeadCountsAsCurrentBeforeTheWorkerTakesIt) {
    Log log;
    {
        CountingThread worker;
        auto* head = MakeJob(log, "head");
        worker.ScheduleJob(head);
        worker.ScheduleJob(MakeJob(log, "next"));
        worker.CancelJob(head);  // the worker may already hold it
        worker.Start();
        ASSERT_TRUE(log.WaitForCount(5));
    }
    EXPECT_EQ(log.Entries(),
              (Entries{"head succeeded", "head deleted", "next ran", "next succeeded", "next deleted"}))
        << "its task is dropped unrun, the job itself completes in order";
}

TEST(TJobThreadTest, SimpleJobsRunTheirOwnTasks) {
    Log log;
    auto* job = new TSimpleJob(new RecordingTask(log, "one"));
    job->AddTask(new RecordingTask(log, "two"));
    {
        CountingThread worker;
        worker.ScheduleJob(job);
        worker.ScheduleJob(MakeJob(log, "end"));
        worker.Start();
        ASSERT_TRUE(log.WaitForCount(5));
    }
    EXPECT_EQ(log.Entries(), (Entries{"one ran", "two ran", "end ran", "end succeeded", "end deleted"}));
}

TEST(TTaskTest, TextsAreBounded) {
    TTask task;
    task.SetInfoString(std::string(300, 'i').c_str());
    EXPECT_EQ(std::string(task.GetInfoString()), std::string(255, 'i'));
    task.SetInfoString(nullptr);
    EXPECT_STREQ(task.GetInfoString(), "");
    EXPECT_NO_THROW(task.SetCommand(std::string(510, 'c').c_str()));
    EXPECT_THROW(task.SetCommand(std::string(511, 'c').c_str()), int);
}
