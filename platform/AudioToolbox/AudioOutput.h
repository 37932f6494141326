// An audio output: one stereo stream of 32-bit float frames at a fixed rate, rendered a period
// at a time on the output's own audio thread by mixing every running queue attached to it.
//
// The process plays on one output, chosen on first use by the environment variable
// BEATWICK_AUDIO: "device" (the default; the sound device through SDL2, or the null output
// when there is none), "null", or "file:<path>" (a WAV file, see FileOutput).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "platform/Carbon/MacTypes.h"

class AudioQueue;

class AudioOutput {
public:
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;
    virtual ~AudioOutput();

    // The output queues are created on; nullptr once the process's audio has been shut down.
    // Any thread.
    static std::shared_ptr<AudioOutput> current();
    // Replaces the current output (tests); nullptr makes the next current() choose again.
    static void setCurrent(std::shared_ptr<AudioOutput> output);
    // At quit: stops the current output's audio thread and joins it, whoever still holds the
    // output (its queues play nothing from then on), and makes no other. The output's thread
    // sleeps on a clock that is itself a static object, so it must end before static objects go.
    static void shutdown();

    // Stops rendering for good and joins the audio thread; queues stay attached and silent.
    virtual void stopPlaying() = 0;

    double sampleRate() const { return mSampleRate; }
    UInt32 periodFrames() const { return mPeriodFrames; }
    // The fixed delay between a queue's start and its first sample: one period. A queue started
    // between two periods begins that much after its start time, to the sample, so the period
    // length adds no jitter.
    UInt32 latencyFrames() const { return mPeriodFrames; }
    Clock& clock() const { return mClock; }
    // Frames rendered so far. Any thread.
    SInt64 renderedFrames() const { return mRenderedFrames.load(std::memory_order_acquire); }

    // The sample of this output at which a queue started at the clock time `microseconds` begins:
    // that time plus the latency, and never a sample that has already been rendered. Any thread.
    SInt64 startSampleFor(SInt64 microseconds);

protected:
    AudioOutput(Clock& clock, double sampleRate, UInt32 periodFrames);

    // Mixes the running queues into `out` (frames stereo frames, interleaved) as the period
    // that begins at the next unrendered sample and that is being rendered at the clock time
    // `microseconds`. Called on the audio thread only; runs the queues' callbacks there.
    void renderPeriod(float* out, UInt32 frames, SInt64 microseconds);
    // Before the first period, when the driver grants another period than the one asked for.
    void setPeriodFrames(UInt32 frames) { mPeriodFrames = frames; }
    void setSampleRate(double rate) { mSampleRate = rate; }
    // Whether any attached queue runs (is playing or waiting for its first sample). Any thread.
    bool hasRunningQueue();
    // For an output that stops rendering: a queue started meanwhile begins one latency after
    // the next period, whenever that comes.
    void forgetTiming();
    // A queue of this output started running; on the thread that started it, no lock held.
    virtual void queueStarted() {}

private:
    friend class AudioQueue;
    void attach(AudioQueue* queue);
    void detach(AudioQueue* queue);

    Clock& mClock;
    double mSampleRate;
    UInt32 mPeriodFrames;
    std::atomic<SInt64> mRenderedFrames{0};

    // Held by the audio thread for a whole period; attach and detach wait for it.
    std::mutex mQueuesLock;
    std::vector<AudioQueue*> mQueues;

    // The last period's first sample and clock time, for startSampleFor.
    std::mutex mTimingLock;
    bool mTimed{false};
    SInt64 mPeriodSample{0};
    SInt64 mPeriodTime{0};
};

// Shuts the process's audio down when it goes. Made first in main, so that it goes after
// everything that plays and before static objects.
class ScopedAudioShutdown {
public:
    ScopedAudioShutdown() = default;
    ~ScopedAudioShutdown() { AudioOutput::shutdown(); }
    ScopedAudioShutdown(const ScopedAudioShutdown&) = delete;
    ScopedAudioShutdown& operator=(const ScopedAudioShutdown&) = delete;
};
