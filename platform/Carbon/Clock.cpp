#include "platform/Carbon/Clock.h"

#include <time.h>

#include <algorithm>
#include <cerrno>

namespace {

class SystemClock : public Clock {
public:
    SInt64 now() override {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        return static_cast<SInt64>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
    }

    void sleepUntil(SInt64 microseconds) override {
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(microseconds / 1'000'000);
        ts.tv_nsec = static_cast<long>(microseconds % 1'000'000) * 1000;
        while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
};

}  // namespace

Clock& Clock::system() {
    static SystemClock clock;
    return clock;
}

VirtualClock::VirtualClock(SInt64 start) : mNow(start) {}

SInt64 VirtualClock::now() {
    std::lock_guard lock(mLock);
    return mNow;
}

void VirtualClock::sleepUntil(SInt64 microseconds) {
    std::unique_lock lock(mLock);
    if (microseconds <= mNow) return;
    Sleeper self{microseconds, false};
    mSleepers.push_back(&self);
    --mRunning;
    advanceIfIdle();
    mWake.wait(lock, [&] { return self.woken; });
    mSleepers.remove(&self);
}

void VirtualClock::threadStarting() {
    std::lock_guard lock(mLock);
    ++mRunning;
}

void VirtualClock::threadEnded() {
    std::lock_guard lock(mLock);
    --mRunning;
    advanceIfIdle();
}

// Called with the lock held. A sleeper counts as running again from the moment it is woken,
// so time cannot move on before it has had its turn.
void VirtualClock::advanceIfIdle() {
    if (mRunning > 0) return;
    SInt64 earliest = INT64_MAX;
    for (const Sleeper* s : mSleepers)
        if (!s->woken) earliest = std::min(earliest, s->until);
    if (earliest == INT64_MAX) return;
    mNow = earliest;
    for (Sleeper* s : mSleepers) {
        if (!s->woken && s->until <= mNow) {
            s->woken = true;
            ++mRunning;
        }
    }
    mWake.notify_all();
}
