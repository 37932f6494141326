#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "core/UDates.h"
#include "network/TRateTracker.h"
#include "network/TRemainingTracker.h"
#include "network/TSpeedTracker.h"
#include "platform/Carbon/TickClock.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/VirtualScheduler.h"

namespace {

// Milliseconds since 1970 of the injected time of day.
UInt64 gNowMs = 0;
// When set, the time of day follows this scheduler's clock from gNowMs on.
const VirtualScheduler* gScheduler = nullptr;
int64_t gSchedulerStart = 0;

timeval FakeTimeOfDay() {
    UInt64 ms = gNowMs + (gScheduler ? static_cast<UInt64>(gScheduler->now() - gSchedulerStart) : 0);
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(ms / 1000);
    tv.tv_usec = static_cast<suseconds_t>(ms % 1000 * 1000);
    return tv;
}

class RateTrackerTest : public testing::Test {
protected:
    void SetUp() override {
        gNowMs = 1'700'000'000'000;
        SetTimeOfDaySource(FakeTimeOfDay);
    }
    void TearDown() override {
        gScheduler = nullptr;
        SetTimeOfDaySource(nullptr);
    }
    void At(UInt64 ms) { gNowMs = ms; }
    // A sample of `bytes` recorded `ago` milliseconds before `now`.
    void Sample(TRateTracker& tracker, UInt64 now, UInt64 ago, UInt32 bytes) {
        At(now - ago);
        tracker.Transferred(bytes);
    }
};

}  // namespace

TEST_F(RateTrackerTest, SmallTransfersAddUpToOneSample) {
    TRateTracker tracker;
    for (int i = 0; i < 9; ++i) tracker.Transferred(10);
    EXPECT_EQ(tracker.GetSampleCount(), 0u);
    EXPECT_EQ(tracker.GetCurrentRate(1000), 0.0f);
    tracker.Transferred(10);
    EXPECT_EQ(tracker.GetSampleCount(), 1u);
    EXPECT_FLOAT_EQ(tracker.GetCurrentRate(1000), 100.0f / 1024.0f);
}

TEST_F(RateTrackerTest, RatesOverTheirWindows) {
    struct Case {
        const char* name;
        std::vector<std::pair<UInt64, UInt32>> samples;  // age in ms, bytes; oldest first
        UInt32 window;
        float rate;
    };
    const Case cases[] = {
        {"young only sample: window stays 1000", {{200, 2048}}, 1000, 2.0f},
        {"all inside: window shrinks to the oldest age", {{800, 1024}, {100, 1024}}, 3000, 2.5f},
        {"older sample outside the window", {{1500, 4096}, {100, 1024}}, 1000, 1.0f},
        {"3 s after the last transfer", {{3000, 4096}}, 3000, 0.0f},
        {"zero window", {{100, 4096}}, 0, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRateTracker tracker;
        const UInt64 now = 1'700'000'010'000;
        for (auto [ago, bytes] : c.samples) Sample(tracker, now, ago, bytes);
        At(now);
        EXPECT_FLOAT_EQ(tracker.GetCurrentRate(c.window), c.rate);
    }
    TRateTracker none;
    EXPECT_EQ(none.GetRateAverage(), 0.0f);
}

TEST_F(RateTrackerTest, OldSamplesGoWhenTheNextIsRecorded) {
    TRateTracker tracker;
    const UInt64 start = gNowMs;
    tracker.Transferred(500);
    At(start + 1000);
    tracker.Transferred(500);
    At(start + 3500);
    EXPECT_EQ(tracker.GetSampleCount(), 2u) << "nothing is freed before the next sample";
    tracker.Transferred(500);
    EXPECT_EQ(tracker.GetSampleCount(), 2u);
    At(start + 10000);
    tracker.Transferred(500);
    EXPECT_EQ(tracker.GetSampleCount(), 1u);

    TRateTracker capped;
    for (int i = 0; i < 2100; ++i) capped.Transferred(100);
    EXPECT_EQ(capped.GetSampleCount(), TRateTracker::kSampleCap);
    capped.SetLongHistory(true);
    for (int i = 0; i < 6000; ++i) capped.Transferred(100);
    EXPECT_EQ(capped.GetSampleCount(), TRateTracker::kLongHistorySampleCap);
}

TEST_F(RateTrackerTest, LimitsAllowDataBelowTheRate) {
    TRateTracker tracker;
    EXPECT_TRUE(tracker.AllowData());
    tracker.SetLimit(0);
    EXPECT_TRUE(tracker.AllowData()) << "no sample yet";
    tracker.Transferred(2048);  // 2 KB/s over the 1000 ms window
    EXPECT_FALSE(tracker.AllowData());
    tracker.SetLimit(2);
    EXPECT_FALSE(tracker.AllowData()) << "at the limit is not below it";
    tracker.SetLimit(3);
    EXPECT_TRUE(tracker.AllowData());
    tracker.SetLimit(TRateTracker::kNoLimit);
    EXPECT_TRUE(tracker.AllowData());
}

TEST_F(RateTrackerTest, TheScheduleLimitsOnlyInsideItsPeriodAndSwitchesAtItsEdges) {
    // Hours of the day in the local zone, whatever the machine's zone is.
    auto localDate = [](int hour, int minute) {
        tm day{};
        day.tm_year = 2026 - 1900;
        day.tm_mon = 0;
        day.tm_mday = 5;
        day.tm_hour = hour;
        day.tm_min = minute;
        day.tm_isdst = -1;
        return static_cast<UInt64>(mktime(&day));
    };
    const std::filesystem::path home =
        std::filesystem::temp_directory_path() / ("netbase-" + std::to_string(getpid()));
    std::filesystem::create_directories(home);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);

    VirtualScheduler scheduler;
    ScopedScheduler installed(scheduler);
    gScheduler = &scheduler;
    gSchedulerStart = scheduler.now();
    At(localDate(8, 30) * 1000);
    int menuUpdates = 0;
    auto token = NSNotificationCenter::defaultCenter().addObserver(
        nullptr, "UpdateBandwidthMenu", nullptr, [&](const NSNotification&) { ++menuUpdates; });

    const UInt32 begin = static_cast<UInt32>(localDate(9, 0) - kUnixTo2001);
    const UInt32 end = static_cast<UInt32>(localDate(17, 0) - kUnixTo2001);
    TRateTracker tracker;
    tracker.SetLimit(0);
    tracker.Transferred(2048);
    TRateTracker::InitSchedule(true, begin, end);
    EXPECT_FALSE(TRateTracker::IsLimitNow());
    EXPECT_TRUE(tracker.AllowData()) << "before the period";

    NSUserDefaults::standardUserDefaults().setBool(true, "BWOverridden");
    scheduler.advance(30 * 60 * 1000);  // 9:00
    EXPECT_EQ(menuUpdates, 1);
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults().boolForKey("BWOverridden"))
        << "a boundary ends the override";
    EXPECT_TRUE(TRateTracker::IsLimitNow());
    tracker.Transferred(2048);
    EXPECT_FALSE(tracker.AllowData());

    scheduler.advance(8 * 3600 * 1000);  // 17:00
    EXPECT_EQ(menuUpdates, 2);
    EXPECT_FALSE(TRateTracker::IsLimitNow());

    // Across midnight: 22:00 to 6:00 holds at 23:00.
    At(localDate(23, 0) * 1000);
    gSchedulerStart = scheduler.now();
    TRateTracker::InitSchedule(true, static_cast<UInt32>(localDate(22, 0) - kUnixTo2001),
                               static_cast<UInt32>(localDate(6, 0) - kUnixTo2001));
    EXPECT_TRUE(TRateTracker::IsLimitNow());

    TRateTracker::InitSchedule(false, 0, 0);
    EXPECT_FALSE(TRateTracker::IsLimitNow());
    NSNotificationCenter::defaultCenter().removeObserver(token);
    std::filesystem::remove_all(home);
}

TEST(SpeedTrackerTest, BytesPerSecondOverItsSlots) {
    ManualTickSource ticks;
    ScopedTickSource installed(ticks);
    TSpeedTracker tracker;
    EXPECT_EQ(tracker.GetSpeed(), 0u);
    tracker.ReceivedBytes(1000);
    EXPECT_FALSE(tracker.NeedUpdate());
    ticks.advance(31);
    tracker.ReceivedBytes(1000);  // the slot is over half a second old: the next one begins
    EXPECT_EQ(tracker.GetSpeed(), 2000u * 60 / 31);
    ticks.advance(600);  // paused: not counted
    tracker.Pause();
    EXPECT_TRUE(tracker.NeedUpdate());
    tracker.UpdatedDisplay();
    EXPECT_FALSE(tracker.NeedUpdate());
}

TEST_F(RateTrackerTest, RemainingTimeAveragesRecentEstimates) {
    ManualTickSource ticks;
    ScopedTickSource installed(ticks);
    TRemainingTracker tracker;
    const UInt64 start = gNowMs;
    tracker.AddSample(100);
    At(start + 4000);
    tracker.AddSample(50);
    EXPECT_EQ(tracker.GetSecondsRemaining(), 75u);
    EXPECT_EQ(tracker.GetRemaining(1000), 50u);
    At(start + 9000);
    EXPECT_EQ(tracker.GetRemaining(1000), 50u) << "none inside: the newest alone";
    EXPECT_EQ(tracker.GetString(), "1 min");

    tracker.AddSample(0);
    EXPECT_EQ(tracker.GetString(), "1 min") << "the text waits 90 ticks";
    ticks.advance(91);
    At(start + 20000);
    tracker.AddSample(7300);
    ticks.advance(91);
    EXPECT_EQ(tracker.GetString(), "2 hr 1 min");
}
