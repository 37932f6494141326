// A clock for single-threaded connection tests: time moves only when the code under test
// sleeps, and a hook may act at each sleep (raise an abort, write to a peer).
#pragma once

#include <algorithm>
#include <functional>

#include "platform/Carbon/Clock.h"

class StepClock : public Clock {
public:
    SInt64 now() override { return fNow; }
    void sleepUntil(SInt64 microseconds) override {
        fLongestSleep = std::max(fLongestSleep, microseconds - fNow);
        if (microseconds > fNow) fNow = microseconds;
        ++fSleeps;
        if (fOnSleep) fOnSleep();
    }
    SInt64 elapsedSeconds() const { return (fNow - kStart) / 1'000'000; }

    static constexpr SInt64 kStart = 1'700'000'000'000'000;
    SInt64 fNow{kStart};
    int fSleeps{0};
    SInt64 fLongestSleep{0};
    std::function<void()> fOnSleep;
};
