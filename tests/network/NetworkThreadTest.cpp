#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "network/NetworkErrors.h"
#include "network/TConnection.h"
#include "network/TJob.h"
#include "network/TNetworkThread.h"
#include "network/TTask.h"
#include "network/UThreadUIUpdate.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/VirtualScheduler.h"

namespace {

// Results of the jobs, from the worker.
class Results {
public:
    void Add(const std::string& entry) {
        std::lock_guard lock(fMutex);
        fEntries.push_back(entry);
        fChanged.notify_all();
    }
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

class ResultJob : public TJob {
public:
    ResultJob(Results& results, std::string name, TTask* task)
        : TJob(kOwningJobID, task), fResults(results), fName(std::move(name)) {}
    void JobSucceeded() override {
        TJob::JobSucceeded();
        fResults.Add(fName + " ok");
    }
    void JobFailed(int error) override {
        TJob::JobFailed(error);
        fResults.Add(fName + " " + std::to_string(error));
    }

private:
    Results& fResults;
    std::string fName;
};

class FailingTask : public TTask {
public:
    explicit FailingTask(int error, TConnection** lent = nullptr) : fError(error), fLent(lent) {}
    int PerformTask() override {
        if (fLent) *fLent = GetConnection();
        return fError;
    }

private:
    int fError;
    TConnection** fLent;
};

class CountingThread : public TNetworkThread {
public:
    explicit CountingThread(TConnection* connection) : TNetworkThread(connection) {}
    ~CountingThread() override { Stop(); }
    void DoNotification(bool) override { ++fNotifications; }
    std::atomic<int> fNotifications{0};
};

class NetworkThreadTest : public testing::Test {
protected:
    NetworkThreadTest() : scoped(scheduler), thread(&connection) {}
    void Schedule(const std::string& name, int error, TConnection** lent = nullptr) {
        thread.ScheduleJob(new ResultJob(results, name, new FailingTask(error, lent)));
    }

    VirtualScheduler scheduler;
    ScopedScheduler scoped;
    TConnection connection;
    CountingThread thread;
    Results results;
};

// A closing error is a kill error: its job and the rest end with -128.
TEST_F(NetworkThreadTest, TasksBorrowTheConnectionAndOnlyNonUserFailuresAreReportedOnce) {
    TConnection* lent = nullptr;
    Schedule("a", 0, &lent);
    Schedule("closed", kNetClosedErr);
    Schedule("cancel", kUserCanceledErr);
    thread.Start();
    ASSERT_TRUE(results.WaitForCount(3));
    EXPECT_EQ(lent, &connection);
    EXPECT_EQ(thread.fNotifications, 0);

    Schedule("late", kNetTimeoutErr);
    ASSERT_TRUE(results.WaitForCount(4));
    EXPECT_EQ(thread.fNotifications, 1);
    // Cleared once reported; a failure without new scheduling is not reported again.
    TNetworkThread::sNotifyIfError = false;
    thread.HandleErrorNotification(kNetTimeoutErr);
    EXPECT_EQ(thread.fNotifications, 1);
    EXPECT_EQ(results.Entries(), (std::vector<std::string>{"a ok", "closed -128", "cancel -128",
                                                           "late " + std::to_string(kNetTimeoutErr)}));
}

// Any error number of the system is a socket error and ends all queued work; the worker's own
// time-out leaves the next job to run.
TEST_F(NetworkThreadTest, ASystemErrorNumberEndsTheQueuedWorkAndTheTimeOutDoesNot) {
    struct Case {
        int error;
        std::vector<std::string> results;
    } cases[] = {
        {kNetTimeoutErr, {"failing " + std::to_string(kNetTimeoutErr), "next ok"}},
        {ECONNRESET, {"failing -128", "next -128"}},
        {ETIMEDOUT, {"failing -128", "next -128"}},
        {ECONNREFUSED, {"failing -128", "next -128"}},
        {EHWPOISON, {"failing -128", "next -128"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        Results seen;
        CountingThread worker(&connection);
        worker.ScheduleJob(new ResultJob(seen, "failing", new FailingTask(c.error)));
        worker.ScheduleJob(new ResultJob(seen, "next", new FailingTask(0)));
        worker.Start();
        ASSERT_TRUE(seen.WaitForCount(2));
        EXPECT_EQ(seen.Entries(), c.results);
    }
}

TEST_F(NetworkThreadTest, ADiskFullFailureEndsTheQueuedWorkAndPostsItsUpdate) {
    std::vector<int16_t> codes;
    int owner = 0;
    NSNotificationCenter::defaultCenter().addObserver(
        &owner, "DoUIUpdate", nullptr, [&](const NSNotification& n) {
            const auto& data = *n.userInfo->at(kUIUpdateStructKey).data();
            ASSERT_EQ(data.size(), 120u);
            UIUpdateStruct update;
            std::copy(data.begin(), data.end(), update.bytes.begin());
            codes.push_back(update.Code());
        });
    Schedule("full", kDiskFullErr);
    Schedule("next", 0);
    thread.Start();
    ASSERT_TRUE(results.WaitForCount(2));
    thread.Stop();
    scheduler.runPending();
    NSNotificationCenter::defaultCenter().removeObserver(&owner);
    EXPECT_EQ(results.Entries(), (std::vector<std::string>{"full -128", "next -128"}));
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), kUpdateDiskFull);
    EXPECT_EQ(connection.GetSocketObject(), nullptr);
}

TEST(ThreadUIUpdate, PostsFeedbackResultsWithTheirObjectAndNothingForUnknownKindsOrSheets) {
    VirtualScheduler scheduler;
    ScopedScheduler scoped(scheduler);
    std::vector<std::string> seen;
    int owner = 0, form = 0;
    NSNotificationCenter::defaultCenter().addObserver(&owner, "", nullptr, [&](const NSNotification& n) {
        seen.push_back(n.name + (n.object == &form ? "@form" : ""));
    });
    for (int kind : {0, 1, 4, -1}) UThreadUIUpdate::DoPostNotification(kind, &form);

    UISheetStruct sheet;
    sheet.fields = {&owner, &form, &seen};
    sheet.button = 0;
    UThreadUIUpdate::InitUISheetStruct(sheet);
    EXPECT_EQ(sheet.fields, (std::array<void*, 3>{}));
    EXPECT_EQ(sheet.button, fourCC("ok  "));
    UThreadUIUpdate::DoUISheet(sheet);
    scheduler.runPending();
    NSNotificationCenter::defaultCenter().removeObserver(&owner);
    EXPECT_EQ(seen, (std::vector<std::string>{"FeedbackSucceeded@form", "FeedbackFailed@form"}))
        << "a sheet shows nothing";
}

}  // namespace
