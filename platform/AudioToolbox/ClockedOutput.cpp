#include "platform/AudioToolbox/ClockedOutput.h"

#include "platform/Carbon/ThreadPriority.h"

ClockedOutput::ClockedOutput(Clock& clock, double sampleRate, UInt32 periodFrames)
    : AudioOutput(clock, sampleRate, periodFrames), mPeriod(size_t{periodFrames} * 2) {}

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
    const SInt64 period = static_cast<SInt64>(periodFrames() * 1e6 / sampleRate()) + 1;
    while (!mFinished.load()) clock().sleepFor(period);
    mThread.join();
}

void ClockedOutput::run() {
    RaiseCurrentThreadPriority(1.0);
    const UInt32 frames = periodFrames();
    const double rate = sampleRate();
    const SInt64 origin = clock().now();
    for (SInt64 period = 0; !mStop.load(); ++period) {
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
    : ClockedOutput(clock, sampleRate, periodFrames) {}

NullOutput::~NullOutput() {
    stopRendering();
}
