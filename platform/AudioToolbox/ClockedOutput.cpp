#include "platform/AudioToolbox/ClockedOutput.h"

#include "platform/Carbon/ThreadPriority.h"

ClockedOutput::ClockedOutput(Clock& clock, double sampleRate, UInt32 periodFrames, Silence silence)
    : AudioOutput(clock, sampleRate, periodFrames), mSilence(silence), mPeriod(size_t{periodFrames} * 2) {}

ClockedOutput::~ClockedOutput() {
    stopRendering();
}

void ClockedOutput::startRendering() {
    ClockThreadToken token(clock());
    mThread = std::thread([this, token = std::move(token)]() mutable {
        run();
        mFinished.store(true);
        token.leave();
    });
}

// The thread may be asleep on a virtual clock: let time run, in periods, until it has seen the
// request, and only then join.
void ClockedOutput::stopRendering() {
    if (!mThread.joinable()) return;
    mStop.store(true);
    {
        std::lock_guard lock(mIdleLock);
        wakeLocked();
    }
    const SInt64 period = static_cast<SInt64>(periodFrames() * 1e6 / sampleRate()) + 1;
    while (!mFinished.load()) clock().sleepFor(period);
    mThread.join();
}

void ClockedOutput::queueStarted() {
    std::lock_guard lock(mIdleLock);
    wakeLocked();
}

void ClockedOutput::wakeLocked() {
    // The waker announces the thread, so that a virtual clock cannot move on before it runs.
    if (mWaiting && !mWakePending) clock().threadStarting();
    mWakePending = true;
    mIdleWake.notify_one();
}

bool ClockedOutput::waitForAQueue() {
    if (mSilence == Silence::rendered || hasRunningQueue()) return false;
    std::unique_lock lock(mIdleLock);
    const bool waits = !mWakePending && !mStop.load();
    if (waits) {
        forgetTiming();
        mWaiting = true;
        clock().threadEnded();
        mIdleWake.wait(lock, [this] { return mWakePending; });
        mWaiting = false;
    }
    mWakePending = false;
    return waits;
}

void ClockedOutput::run() {
    RaiseCurrentThreadPriority(1.0);
    const UInt32 frames = periodFrames();
    const double rate = sampleRate();
    SInt64 origin = clock().now();
    for (SInt64 period = 0; !mStop.load(); ++period) {
        if (waitForAQueue()) {
            // Periods start again from the queue's start.
            origin = clock().now();
            period = 0;
        }
        if (mStop.load()) break;
        const SInt64 due = origin + static_cast<SInt64>(static_cast<double>(period) * frames * 1e6 / rate);
        clock().sleepUntil(due);
        if (mStop.load()) break;
        const SInt64 now = clock().now();
        renderPeriod(mPeriod.data(), frames, now);
        consume(mPeriod.data(), frames, now);
    }
}

std::shared_ptr<NullOutput> NullOutput::create(Clock& clock, double sampleRate, UInt32 periodFrames) {
    std::shared_ptr<NullOutput> output(new NullOutput(clock, sampleRate, periodFrames));
    output->startRendering();
    return output;
}

NullOutput::NullOutput(Clock& clock, double sampleRate, UInt32 periodFrames)
    : ClockedOutput(clock, sampleRate, periodFrames, Silence::skipped) {}

NullOutput::~NullOutput() {
    stopRendering();
}
