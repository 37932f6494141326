// Measures a transfer rate over a sliding window of time-stamped byte counts and answers whether
// more data may move under a rate limit. Rates are kilobytes (1024 bytes) per second; times are
// milliseconds of GetCurrentDate_ms, so tests run it on an injected clock.
//
// Every member may be called from any thread: the mutex guards the samples and the limit, the
// pending count is atomic. The schedule (class-wide) is set up and fired on the main thread.
#pragma once

#include <atomic>
#include <forward_list>

#include "core/TMutex.h"
#include "platform/Carbon/MacTypes.h"

class TRateTracker {
public:
    static constexpr SInt16 kNoLimit = -1;
    static constexpr UInt64 kSampleLifetime = 3000;
    static constexpr UInt32 kSampleCap = 2000;
    static constexpr UInt32 kLongHistorySampleCap = 7000;
    // Smaller transfers are summed before they make a sample.
    static constexpr UInt32 kMinSampleBytes = 100;
    static constexpr UInt32 kAverageWindow = 3000;
    static constexpr UInt32 kCurrentWindow = 1000;

    TRateTracker() = default;
    virtual ~TRateTracker();
    TRateTracker(const TRateTracker&) = delete;
    TRateTracker& operator=(const TRateTracker&) = delete;

    void Reset();
    // Kilobytes per second; kNoLimit lifts the limit.
    void SetLimit(SInt16 limit);
    SInt16 GetLimit() const { return fLimit; }
    void SetLongHistory(bool longHistory) { fLongHistory = longHistory; }
    void SetUpload(bool upload) { fUpload = upload; }
    bool IsUpload() const { return fUpload; }

    // Called after every send and read. A sample that cannot be allocated throws -108.
    void Transferred(UInt32 bytes);
    float GetRateAverage();
    float GetCurrentRate(UInt32 windowMs);
    bool AllowData();
    void Verify();
    UInt32 GetSampleCount();

    // The bandwidth schedule: the limit holds only in [begin, end) of each day (begin and end
    // are dates in seconds since 2001; their local hours and minutes count). A period whose end
    // lies before its begin runs across midnight. Main thread only.
    static void InitSchedule(bool scheduled, UInt32 begin, UInt32 end);
    static void LimitScheduledNow();
    static void StartScheduleTimer();
    static void StopScheduleTimer();
    static bool IsLimitScheduled() { return sLimitScheduled; }
    static bool IsLimitNow() { return sLimitNow; }

private:
    struct Sample {
        UInt64 time;
        UInt32 bytes;
        bool dropped;
    };

    void Reset_nomutex();
    // The caller holds the lock.
    float GetRate(UInt32 windowMs) const;
    void DropOldSamples(UInt64 now);
    static void ScheduleTimer();

    std::atomic<UInt32> fPending{0};
    TMutex fMutex;
    std::atomic<SInt16> fLimit{kNoLimit};
    std::atomic<bool> fLongHistory{false};
    std::atomic<bool> fUpload{false};
    // Newest first.
    std::forward_list<Sample> fSamples;
    UInt32 fSampleCount{0};

    static std::atomic<bool> sLimitScheduled;
    static std::atomic<bool> sLimitNow;
    static UInt32 sLimitBegin;
    static UInt32 sLimitEnd;
};
