// The metronome: clicks at the displayed tempo on a drift-free grid of beats measured from the
// start of the run, counts the beats of the bar, follows tempo changes, and can start by itself
// a while after a tap. A driver thread of its own, at the highest priority, keeps the time; the
// clicks go through the host, the pendulum is asked of the main thread without waiting.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "Source/MetronomeControl.h"
#include "Source/MetronomeHost.h"
#include "platform/Carbon/Clock.h"
#include "platform/Carbon/MacTypes.h"

class Metronome : public MetronomeControl {
public:
    Metronome(const Metronome&) = delete;
    Metronome& operator=(const Metronome&) = delete;

    // The host is not owned and must outlive the metronome. The clock gives the time stamps
    // and the driver's 1 ms polls.
    explicit Metronome(MetronomeHost& controller, Clock& clock = Clock::system());
    // Cancels a pending start, stops; nothing posted for it earlier can reach it afterwards.
    ~Metronome() override;

    // All on the main thread.
    void scheduleMetronomeStart(double seconds) override;
    void startMetronome(const MetronomeTimer* sender) override;
    // Blocks until the driver thread has ended (within about a millisecond).
    void stopMetronome() override;
    bool isPlaying() const override { return mMetronomeThread != nullptr; }
    void resetMetronome() override {}
    // Animates one beat; nothing unless playing at a tempo above 0.
    void swingPendulum();

private:
    void startDriverThread();
    void stopDriverThread();
    void waitForDriverThreadToFinish();
    void startDriverTimer();
    // The tempo b read by the driver: a change restarts the grid and the bar. Driver thread.
    void followTempo(int b);
    void requestSwing();
    UInt64 now() { return mClock.milliseconds(); }

    MetronomeHost& mController;
    Clock& mClock;
    std::unique_ptr<MetronomeTimer> mStartTimer;
    // Reached by work posted to the main thread; reset first when the metronome goes.
    std::shared_ptr<Metronome*> mSelf;

    // Written by the driver thread while it runs, by the main thread only when it is not running.
    std::atomic<UInt64> mStartTime{0};
    std::atomic<UInt64> mNextTime{0};
    std::atomic<UInt64> mLastTime{0};
    std::atomic<UInt64> mMaxDiscrepancy{0};
    std::atomic<SInt32> mThirdCount{0};
    std::atomic<SInt32> mBeatNum{0};
    std::atomic<bool> mSuppressClick{false};
    std::atomic<SInt32> mIntervals{0};
    std::atomic<SInt32> mMetronomeBPM{0};

    std::unique_ptr<std::thread> mMetronomeThread;
    std::atomic<bool> mCancelled{false};
    std::atomic<bool> mFinished{false};
};
