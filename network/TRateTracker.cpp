#include "network/TRateTracker.h"

#include <ctime>
#include <memory>
#include <new>

#include "core/SMutexLock.h"
#include "core/UDates.h"
#include "network/NetworkErrors.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/Timer.h"
#include "platform/Foundation/UserDefaults.h"

std::atomic<bool> TRateTracker::sLimitScheduled{false};
std::atomic<bool> TRateTracker::sLimitNow{false};
UInt32 TRateTracker::sLimitBegin = 0;
UInt32 TRateTracker::sLimitEnd = 0;

namespace {

constexpr const char* kBWOverriddenKey = "BWOverridden";
constexpr const char* kUpdateBandwidthMenu = "UpdateBandwidthMenu";

// The pending timer keeps itself alive; this only lets it be found again.
std::weak_ptr<NSTimer>& ScheduleTimerRef() {
    static std::weak_ptr<NSTimer> timer;
    return timer;
}

// Seconds since local midnight of a date in seconds since 2001.
SInt32 LocalSecondOfDay(UInt32 date) {
    time_t unixTime = static_cast<time_t>(date) + kUnixTo2001;
    tm local{};
    localtime_r(&unixTime, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

SInt32 LocalMinuteOfDay(UInt32 date) {
    return LocalSecondOfDay(date) / 60;
}

}  // namespace

TRateTracker::~TRateTracker() {
    Reset();
}

void TRateTracker::Reset() {
    SMutexLock lock(fMutex);
    Reset_nomutex();
}

void TRateTracker::Reset_nomutex() {
    fSamples.clear();
    fSampleCount = 0;
    fPending = 0;
}

void TRateTracker::SetLimit(SInt16 limit) {
    SMutexLock lock(fMutex);
    fLimit = limit;
}

void TRateTracker::Transferred(UInt32 bytes) {
    UInt32 total = bytes + fPending.exchange(0);
    if (total < kMinSampleBytes) {
        fPending += total;
        return;
    }
    SMutexLock lock(fMutex);
    UInt64 now = GetCurrentDate_ms();
    try {
        fSamples.push_front(Sample{now, total, false});
    } catch (const std::bad_alloc&) {
        throw kMemFullErr;
    }
    ++fSampleCount;
    DropOldSamples(now);
}

void TRateTracker::DropOldSamples(UInt64 now) {
    if (fSamples.empty()) return;
    UInt64 oldest = now > kSampleLifetime ? now - kSampleLifetime : 0;
    if (fSamples.front().time < oldest) {
        Reset_nomutex();
        return;
    }
    UInt32 cap = fLongHistory ? kLongHistorySampleCap : kSampleCap;
    UInt32 kept = 1;
    for (auto previous = fSamples.begin(); std::next(previous) != fSamples.end();) {
        auto sample = std::next(previous);
        if (sample->time < oldest || kept >= cap) {
            fSamples.erase_after(previous);
            --fSampleCount;
        } else {
            ++kept;
            ++previous;
        }
    }
}

float TRateTracker::GetRate(UInt32 windowMs) const {
    if (windowMs == 0 || fSamples.empty()) return 0;
    SInt64 now = static_cast<SInt64>(GetCurrentDate_ms());
    SInt64 since = now - windowMs;
    UInt64 sum = 0;
    bool allInside = true;
    SInt64 oldestTime = now;
    for (const Sample& sample : fSamples) {
        if (static_cast<SInt64>(sample.time) <= since) {
            allInside = false;
            break;
        }
        sum += sample.bytes;
        oldestTime = static_cast<SInt64>(sample.time);
    }
    double window = windowMs;
    if (allInside) {
        SInt64 age = now - oldestTime;
        window = age <= 500 ? 1000.0 : static_cast<double>(age);
    }
    return static_cast<float>((static_cast<double>(sum) / 1024.0) * (1000.0 / window));
}

float TRateTracker::GetRateAverage() {
    SMutexLock lock(fMutex);
    return GetRate(kAverageWindow);
}

float TRateTracker::GetCurrentRate(UInt32 windowMs) {
    SMutexLock lock(fMutex);
    return GetRate(windowMs);
}

bool TRateTracker::AllowData() {
    if (fLimit == kNoLimit) return true;
    if (sLimitScheduled && !sLimitNow) return true;
    SMutexLock lock(fMutex);
    if (fSamples.empty()) return true;
    return GetRate(kCurrentWindow) < fLimit;
}

void TRateTracker::Verify() {
    SMutexLock lock(fMutex);
    UInt32 walked = 0;
    for (auto it = fSamples.begin(); it != fSamples.end(); ++it) ++walked;
    (void)walked;
}

UInt32 TRateTracker::GetSampleCount() {
    SMutexLock lock(fMutex);
    return fSampleCount;
}

void TRateTracker::InitSchedule(bool scheduled, UInt32 begin, UInt32 end) {
    sLimitScheduled = scheduled;
    sLimitBegin = begin;
    sLimitEnd = end;
    StopScheduleTimer();
    if (scheduled) StartScheduleTimer();
}

void TRateTracker::LimitScheduledNow() {
    if (!sLimitScheduled || NSUserDefaults::standardUserDefaults().boolForKey(kBWOverriddenKey)) {
        sLimitNow = false;
        return;
    }
    SInt32 now = LocalMinuteOfDay(GetCurrentDate());
    SInt32 begin = LocalMinuteOfDay(sLimitBegin);
    SInt32 end = LocalMinuteOfDay(sLimitEnd);
    if (end < begin) {
        sLimitNow = now >= begin || now < end;
    } else {
        sLimitNow = now >= begin && now < end;
    }
}

void TRateTracker::StartScheduleTimer() {
    SInt32 now = LocalSecondOfDay(GetCurrentDate());
    auto untilBoundary = [now](UInt32 date) {
        SInt32 delta = LocalMinuteOfDay(date) * 60 - now;
        return delta <= 0 ? delta + static_cast<SInt32>(kSecondsPerDay) : delta;
    };
    SInt32 seconds = std::min(untilBoundary(sLimitBegin), untilBoundary(sLimitEnd));
    auto timer = NSTimer::scheduledTimerWithTimeInterval(seconds, [](NSTimer&) { ScheduleTimer(); });
    if (!timer) throw kMissingObjectErr;
    ScheduleTimerRef() = timer;
}

void TRateTracker::StopScheduleTimer() {
    if (auto timer = ScheduleTimerRef().lock()) timer->invalidate();
    ScheduleTimerRef().reset();
    LimitScheduledNow();
}

void TRateTracker::ScheduleTimer() {
    NSUserDefaults::standardUserDefaults().setInteger(0, kBWOverriddenKey);
    // Restarting recomputes whether the limit holds from this boundary on.
    StopScheduleTimer();
    StartScheduleTimer();
    NSNotificationCenter::defaultCenter().postNotificationName(kUpdateBandwidthMenu);
}
