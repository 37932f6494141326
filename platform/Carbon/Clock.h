// The clock that timing logic reads and sleeps on: the system's wall clock in normal runs, a
// virtual clock in tests, so that threads which wait for beats or audio periods run on virtual
// time and finish at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

#include "platform/Carbon/MacTypes.h"

class Clock {
public:
    virtual ~Clock() = default;

    // Microseconds since 1970. May be called from any thread.
    virtual SInt64 now() = 0;
    // Returns once now() has reached the given time. May be called from any thread.
    virtual void sleepUntil(SInt64 microseconds) = 0;
    void sleepFor(SInt64 microseconds) { sleepUntil(now() + microseconds); }
    // Milliseconds since 1970, truncated.
    UInt64 milliseconds() { return static_cast<UInt64>(now() / 1000); }

    // Every thread that sleeps on a clock is announced before it starts (called by the thread
    // that creates it) and leaves when it ends (its last call). The wall clock ignores both.
    virtual void threadStarting() {}
    virtual void threadEnded() {}

    // The wall clock, shared by the process.
    static Clock& system();
};

// Announces a thread on a clock at construction (on the creating thread); the thread itself
// calls leave() as its last act.
class ClockThreadToken {
public:
    explicit ClockThreadToken(Clock& clock) : mClock(&clock) { mClock->threadStarting(); }
    ClockThreadToken(const ClockThreadToken&) = delete;
    ClockThreadToken& operator=(const ClockThreadToken&) = delete;
    ClockThreadToken(ClockThreadToken&& other) noexcept : mClock(other.mClock) { other.mClock = nullptr; }
    ~ClockThreadToken() { leave(); }
    void leave() {
        if (mClock) mClock->threadEnded();
        mClock = nullptr;
    }

private:
    Clock* mClock;
};

// Virtual time for tests. Time stands still while any thread that uses the clock is running
// and moves, when all of them sleep, straight to the earliest wake-up time. The thread that
// creates the clock counts as one user; other threads are announced with threadStarting().
// So a test that sleeps 20 s runs the metronome and the audio output through 20 s of work in
// their real threads, deterministically and without waiting.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(SInt64 start = kDefaultStart);
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;

    SInt64 now() override;
    void sleepUntil(SInt64 microseconds) override;
    void threadStarting() override;
    void threadEnded() override;

    // 2023-11-14 22:13:20 UTC: far from 0, so no time stamp reads as "none".
    static constexpr SInt64 kDefaultStart = 1'700'000'000'000'000;

private:
    struct Sleeper {
        SInt64 until;
        bool woken;
    };
    void advanceIfIdle();

    std::mutex mLock;
    std::condition_variable mWake;
    SInt64 mNow;
    int mRunning{1};
    std::list<Sleeper*> mSleepers;
};
