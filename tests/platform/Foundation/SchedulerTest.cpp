#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <string>
#include <thread>
#include <vector>

#include "platform/Foundation/QtScheduler.h"
#include "platform/Foundation/RunLoop.h"
#include "platform/Foundation/Timer.h"
#include "platform/Foundation/VirtualScheduler.h"

namespace {

class RunLoop : public ::testing::Test {
protected:
    VirtualScheduler scheduler;
    ScopedScheduler installed{scheduler};
    std::vector<std::string> calls;
    auto record(std::string what) {
        return [this, what] { calls.push_back(what); };
    }
};

}  // namespace

TEST_F(RunLoop, DelayedPerformsRunInTimeOrderAndCancelByTargetSelectorAndObject) {
    int window = 0;
    int other = 0;
    int object = 0;
    performSelector(&window, "hideNotifyWindow", nullptr, 7.0, record("hide"));
    performSelector(&window, "animate", &object, 1.0 / 30, record("frame with object"));
    performSelector(&window, "animate", nullptr, 1.0 / 30, record("frame"));
    performSelector(&other, "hideNotifyWindow", nullptr, 7.0, record("other hide"));
    performSelector(&window, "now", nullptr, 0, record("now"));

    scheduler.advance(0);
    EXPECT_EQ(calls, (std::vector<std::string>{"now"}));
    cancelPreviousPerformRequestsWithTarget(&window, "animate", &object);
    scheduler.advance(34);
    EXPECT_EQ(calls, (std::vector<std::string>{"now", "frame"}));

    // A second notice within the 7 seconds: the old hide goes, the new one keeps its full time.
    scheduler.advance(3000);
    cancelPreviousPerformRequestsWithTarget(&window, "hideNotifyWindow", nullptr);
    performSelector(&window, "hideNotifyWindow", nullptr, 7.0, record("hide"));
    scheduler.advance(7000 - 3034);
    EXPECT_EQ(calls, (std::vector<std::string>{"now", "frame", "other hide"}));
    scheduler.advance(3033);
    EXPECT_EQ(calls.size(), 3u);
    scheduler.advance(1);  // 7 s after the second notice
    EXPECT_EQ(calls, (std::vector<std::string>{"now", "frame", "other hide", "hide"}));

    performSelector(&window, "a", nullptr, 1, record("a"));
    performSelector(&window, "b", nullptr, 1, record("b"));
    cancelPreviousPerformRequestsWithTarget(&window);
    scheduler.advance(5000);
    EXPECT_EQ(calls.size(), 4u);
}

TEST_F(RunLoop, EqualDueTimesKeepTheirOrderAndTasksMayScheduleWithinTheWindow) {
    int target = 0;
    performSelector(&target, "first", nullptr, 0.5, [&] {
        calls.push_back("first at " + std::to_string(scheduler.now()));
        performSelector(&target, "chained", nullptr, 0.25,
                        [&] { calls.push_back("chained at " + std::to_string(scheduler.now())); });
    });
    performSelector(&target, "second", nullptr, 0.5, record("second"));
    scheduler.advance(1000);
    EXPECT_EQ(calls, (std::vector<std::string>{"first at 500", "second", "chained at 750"}));
    EXPECT_EQ(scheduler.now(), 1000);
}

TEST_F(RunLoop, MainThreadPerformsKeepOrderFromAnyThread) {
    performSelectorOnMainThread(record("waited on main runs at once"), true);
    EXPECT_EQ(calls.size(), 1u);

    std::thread worker([&] {
        performSelectorOnMainThread(record("one"), false);
        performSelectorOnMainThread(record("two"), false);
        performSelectorOnMainThread(record("three, waited"), true);
        performSelectorOnMainThread(record("four"), false);
    });
    // Drain on the main thread until the worker has come back from its wait.
    while (calls.size() < 4) scheduler.runPending();
    worker.join();
    scheduler.runPending();
    EXPECT_EQ(calls, (std::vector<std::string>{"waited on main runs at once", "one", "two", "three, waited",
                                               "four"}));
}

TEST_F(RunLoop, TimersFireOnceCanMoveAndBeInvalidated) {
    int fired = 0;
    auto timer = NSTimer::scheduledTimerWithTimeInterval(2.0, [&](NSTimer&) { ++fired; });
    EXPECT_EQ(timer->fireDate(), 2000);
    timer->setFireDate(5000);
    scheduler.advance(4999);
    EXPECT_EQ(fired, 0);
    scheduler.advance(1);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(timer->isValid());
    scheduler.advance(10000);
    EXPECT_EQ(fired, 1);

    auto cancelled = NSTimer::scheduledTimerWithTimeInterval(1.0, [&](NSTimer&) { ++fired; });
    cancelled->invalidate();
    cancelled->setFireDate(0);  // no effect once invalid
    // Nobody holds this one; it still fires, as a scheduled timer does.
    NSTimer::scheduledTimerWithTimeInterval(1.0, [&](NSTimer& t) {
        ++fired;
        t.invalidate();
    });
    scheduler.advance(1000);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(scheduler.scheduledCount(), 0u);
}

TEST(QtScheduler, RunsOnTheQtEventLoop) {
    int argc = 1;
    char name[] = "foundation_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QtScheduler scheduler;
    std::vector<std::string> calls;
    EXPECT_TRUE(scheduler.isMainThread());

    const auto cancelled = scheduler.scheduleAfter(0, [&] { calls.push_back("cancelled"); });
    scheduler.scheduleAfter(0, [&] { calls.push_back("timer"); });
    EXPECT_TRUE(scheduler.cancel(cancelled));
    EXPECT_FALSE(scheduler.cancel(cancelled));
    scheduler.postAndWait([&] { calls.push_back("at once"); });

    QEventLoop loop;
    std::thread worker([&] {
        EXPECT_FALSE(scheduler.isMainThread());
        scheduler.post([&] { calls.push_back("posted"); });
        scheduler.postAndWait([&] { calls.push_back("waited"); });
        scheduler.post([&] { loop.quit(); });
    });
    loop.exec();
    worker.join();
    // The zero-delay timer may come before or after the posts; the posts keep their order.
    std::erase(calls, "timer");
    EXPECT_EQ(calls, (std::vector<std::string>{"at once", "posted", "waited"}));
}
