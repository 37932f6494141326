// Smooths time-remaining estimates (seconds) over the last ten seconds for display. Times are
// GetCurrentDate_ms milliseconds; the text is refreshed at most every 90 ticks.
//
// Every member may be called from any thread.
#pragma once

#include <deque>
#include <string>

#include "core/TMutex.h"
#include "platform/Carbon/MacTypes.h"

class TRemainingTracker {
public:
    static constexpr size_t kMaxSamples = 500;
    static constexpr UInt64 kSampleLifetime = 10000;
    static constexpr UInt32 kRefreshTicks = 90;

    void AddSample(UInt32 secondsRemaining);
    // Average of the estimates within the window; the newest alone when none is inside it.
    UInt32 GetRemaining(UInt64 windowMs);
    UInt32 GetSecondsRemaining();
    // "2 hr 5 min", "3 min", "12 sec"; at least 1 second.
    std::string GetString();
    const std::string& GetStringRef();

private:
    struct Sample {
        UInt64 time;
        UInt32 seconds;
    };

    UInt32 GetRemaining_nomutex(UInt64 windowMs) const;
    void RefreshText();

    TMutex fMutex;
    // Newest first.
    std::deque<Sample> fSamples;
    std::string fText;
    UInt32 fTextTicks{0};
    bool fHasText{false};
};
