#include "network/TRemainingTracker.h"

#include <cstdio>

#include "core/SMutexLock.h"
#include "core/UDates.h"
#include "platform/Carbon/TickClock.h"

namespace {

std::string FormatRemaining(UInt32 seconds) {
    if (seconds < 1) seconds = 1;
    char text[64];
    if (seconds >= 3600) {
        std::snprintf(text, sizeof text, "%u hr %u min", seconds / 3600, seconds % 3600 / 60);
    } else if (seconds >= 60) {
        std::snprintf(text, sizeof text, "%u min", seconds / 60);
    } else {
        std::snprintf(text, sizeof text, "%u sec", seconds);
    }
    return text;
}

}  // namespace

void TRemainingTracker::AddSample(UInt32 secondsRemaining) {
    SMutexLock lock(fMutex);
    UInt64 now = GetCurrentDate_ms();
    fSamples.push_front(Sample{now, secondsRemaining});
    while (fSamples.size() > kMaxSamples ||
           (now > kSampleLifetime && fSamples.back().time < now - kSampleLifetime)) {
        fSamples.pop_back();
    }
}

UInt32 TRemainingTracker::GetRemaining_nomutex(UInt64 windowMs) const {
    if (fSamples.empty()) return 0;
    UInt64 now = GetCurrentDate_ms();
    UInt64 sum = 0;
    UInt64 count = 0;
    for (const Sample& sample : fSamples) {
        if (sample.time + windowMs < now) break;
        sum += sample.seconds;
        ++count;
    }
    if (count == 0) return fSamples.front().seconds;
    return static_cast<UInt32>(sum / count);
}

UInt32 TRemainingTracker::GetRemaining(UInt64 windowMs) {
    SMutexLock lock(fMutex);
    return GetRemaining_nomutex(windowMs);
}

UInt32 TRemainingTracker::GetSecondsRemaining() {
    return GetRemaining(kSampleLifetime);
}

void TRemainingTracker::RefreshText() {
    UInt32 now = TickCount();
    if (fHasText && now - fTextTicks <= kRefreshTicks) return;
    fText = FormatRemaining(GetRemaining_nomutex(kSampleLifetime));
    fTextTicks = now;
    fHasText = true;
}

std::string TRemainingTracker::GetString() {
    SMutexLock lock(fMutex);
    RefreshText();
    return fText;
}

const std::string& TRemainingTracker::GetStringRef() {
    SMutexLock lock(fMutex);
    RefreshText();
    return fText;
}
