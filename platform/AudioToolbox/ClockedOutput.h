// An output with no sound device behind it: a thread of its own renders one period whenever
// its clock reaches the period's time, so queues play in real time (or in virtual time, on a
// virtual clock). The null output throws the samples away, and its thread sleeps while no queue
// runs, so a silent program is not woken hundreds of times a second; FileOutput keeps every
// period, silent ones included.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/AudioToolbox/AudioOutput.h"

class ClockedOutput : public AudioOutput {
public:
    ~ClockedOutput() override;

    static constexpr double kSampleRate = 44100.0;
    static constexpr UInt32 kPeriodFrames = 256;

    void stopPlaying() override { stopRendering(); }

protected:
    enum class Silence { rendered, skipped };
    ClockedOutput(Clock& clock, double sampleRate, UInt32 periodFrames, Silence silence = Silence::rendered);
    // Starts the thread; called by the most derived constructor.
    void startRendering();
    // Stops and joins the thread; the most derived destructor calls it before its members go.
    // Main thread (the thread that owns the output), once or more.
    void stopRendering();
    // Takes one rendered period (stereo, interleaved) and the clock time it was rendered at.
    // Runs on the output's thread.
    virtual void consume(const float* samples, UInt32 frames, SInt64 microseconds) = 0;

private:
    void run();
    void queueStarted() override;
    // With silence skipped and no queue running: waits, off the clock, for a queue to start or
    // for the stop; true when it waited.
    bool waitForAQueue();
    // Wakes the waiting thread, announcing it on the clock again; mIdleLock held.
    void wakeLocked();

    const Silence mSilence;
    std::vector<float> mPeriod;
    std::atomic<bool> mStop{false};
    std::atomic<bool> mFinished{false};

    std::mutex mIdleLock;
    std::condition_variable mIdleWake;
    bool mWaiting{false};      // asleep in waitForAQueue, left the clock
    bool mWakePending{false};  // a queue started or the stop came since the last look

    std::thread mThread;
};

// Plays to nowhere, in real time: the output when there is no sound device (CI).
class NullOutput : public ClockedOutput {
public:
    static std::shared_ptr<NullOutput> create(Clock& clock = Clock::system(), double sampleRate = kSampleRate,
                                              UInt32 periodFrames = kPeriodFrames);
    ~NullOutput() override;

protected:
    NullOutput(Clock& clock, double sampleRate, UInt32 periodFrames);
    void consume(const float*, UInt32, SInt64) override {}
};
