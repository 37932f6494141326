#include "platform/AudioToolbox/AudioOutput.h"

#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/AudioToolbox/AudioQueue.h"
#include "platform/AudioToolbox/ClockedOutput.h"
#include "platform/AudioToolbox/DeviceOutput.h"
#include "platform/AudioToolbox/FileOutput.h"

namespace {

std::mutex sCurrentLock;
std::shared_ptr<AudioOutput> sCurrent;
bool sShutDown = false;

std::shared_ptr<AudioOutput> chooseOutput() {
    const char* env = std::getenv("BEATWICK_AUDIO");
    std::string choice = env ? env : "device";
    if (choice == "null") return NullOutput::create();
    if (choice.rfind("file:", 0) == 0) {
        if (auto file = FileOutput::create(choice.substr(5))) return file;
        std::fprintf(stderr, "Beatwick: cannot write audio to \"%s\"; playing nothing.\n",
                     choice.c_str() + 5);
        return NullOutput::create();
    }
    if (choice != "device")
        std::fprintf(stderr, "Beatwick: unknown BEATWICK_AUDIO \"%s\"; using the sound device.\n",
                     choice.c_str());
    std::string why;
    if (auto device = DeviceOutput::open(&why)) return device;
    qWarning("Beatwick: sound is off: no sound device could be opened (%s).", why.c_str());
    return NullOutput::create();
}

}  // namespace

AudioOutput::AudioOutput(Clock& clock, double sampleRate, UInt32 periodFrames)
    : mClock(clock), mSampleRate(sampleRate), mPeriodFrames(periodFrames) {
    mQueues.reserve(16);
}

AudioOutput::~AudioOutput() = default;

std::shared_ptr<AudioOutput> AudioOutput::current() {
    std::lock_guard lock(sCurrentLock);
    if (!sCurrent && !sShutDown) {
        sCurrent = chooseOutput();
        // Registered after the output's clock was made, so at exit the output stops and goes
        // before that clock does, in every program, not only where main shuts it down.
        static const bool stopsAtExit = std::atexit([] { AudioOutput::shutdown(); }) == 0;
        (void)stopsAtExit;
    }
    return sCurrent;
}

void AudioOutput::setCurrent(std::shared_ptr<AudioOutput> output) {
    std::shared_ptr<AudioOutput> previous;
    std::lock_guard lock(sCurrentLock);
    sShutDown = false;
    previous = std::exchange(sCurrent, std::move(output));
}

void AudioOutput::shutdown() {
    std::shared_ptr<AudioOutput> last;
    {
        std::lock_guard lock(sCurrentLock);
        sShutDown = true;
        last = std::exchange(sCurrent, nullptr);
    }
    // Outside the lock: a queue callback on the audio thread may ask for the current output.
    if (last) last->stopPlaying();
}

SInt64 AudioOutput::startSampleFor(SInt64 microseconds) {
    std::lock_guard lock(mTimingLock);
    const SInt64 next = mRenderedFrames.load(std::memory_order_relaxed);
    if (!mTimed) return next + mPeriodFrames;
    const double elapsed = static_cast<double>(microseconds - mPeriodTime) * mSampleRate / 1e6;
    const SInt64 sample = mPeriodSample + static_cast<SInt64>(std::llround(elapsed)) + mPeriodFrames;
    return std::max(sample, next);
}

void AudioOutput::renderPeriod(float* out, UInt32 frames, SInt64 microseconds) {
    std::memset(out, 0, size_t{frames} * 2 * sizeof(float));
    const SInt64 first = mRenderedFrames.load(std::memory_order_relaxed);
    {
        std::lock_guard lock(mTimingLock);
        mTimed = true;
        mPeriodSample = first;
        mPeriodTime = microseconds;
    }
    {
        std::lock_guard lock(mQueuesLock);
        for (AudioQueue* queue : mQueues) queue->render(out, frames, first, mSampleRate);
    }
    std::lock_guard lock(mTimingLock);
    mRenderedFrames.store(first + frames, std::memory_order_release);
}

bool AudioOutput::hasRunningQueue() {
    std::lock_guard lock(mQueuesLock);
    return std::any_of(mQueues.begin(), mQueues.end(),
                       [](const AudioQueue* queue) { return queue->isRunning(); });
}

void AudioOutput::forgetTiming() {
    std::lock_guard lock(mTimingLock);
    mTimed = false;
}

void AudioOutput::attach(AudioQueue* queue) {
    std::lock_guard lock(mQueuesLock);
    mQueues.push_back(queue);
}

void AudioOutput::detach(AudioQueue* queue) {
    std::lock_guard lock(mQueuesLock);
    mQueues.erase(std::remove(mQueues.begin(), mQueues.end(), queue), mQueues.end());
}
