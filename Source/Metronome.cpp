#include "Source/Metronome.h"

#include "platform/Carbon/ThreadPriority.h"

namespace {

const std::string kMetronomeStateChanged = "MetronomeStateChanged";
const std::string kAutoStartMetronome = "AutoStartMetronome";
constexpr SInt64 kPollMicroseconds = 1000;

}  // namespace

Metronome::Metronome(MetronomeHost& controller, Clock& clock)
    : mController(controller), mClock(clock), mSelf(std::make_shared<Metronome*>(this)) {}

Metronome::~Metronome() {
    // The driver thread reads this object's fields: it ends before any of them changes.
    stopDriverThread();
    mSelf.reset();
    if (mStartTimer) mStartTimer->invalidate();
    mStartTimer.reset();
    stopMetronome();
}

void Metronome::scheduleMetronomeStart(double seconds) {
    stopMetronome();
    if (seconds <= 0) {
        if (mStartTimer && mStartTimer->isValid()) mStartTimer->invalidate();
        mStartTimer.reset();
        return;
    }
    if (!mController.boolForKey(kAutoStartMetronome)) return;
    if (mStartTimer) {
        if (mStartTimer->isValid()) {
            mStartTimer->setFireDate(seconds);
            return;
        }
        mStartTimer.reset();
    }
    std::weak_ptr<Metronome*> self = mSelf;
    mStartTimer = mController.scheduleTimer(seconds, [self] {
        if (auto metronome = self.lock()) (*metronome)->startMetronome((*metronome)->mStartTimer.get());
    });
}

void Metronome::startMetronome(const MetronomeTimer* sender) {
    const int b = mController.currentDisplayBPM();
    if (b <= 0) return;
    // The fields below belong to a running driver until it has ended.
    if (mMetronomeThread) stopDriverThread();
    mController.playMetronomeClickForBeat(1);
    mMetronomeBPM = b;
    mStartTime = now();
    mIntervals = -1;
    mNextTime = mStartTime + static_cast<UInt64>(60000.0 / b);
    // The driver advances the number before the next click: a user start goes on with beat 2,
    // a timed start with beat 3.
    mBeatNum = sender ? 2 : 1;
    startDriverThread();
    swingPendulum();
    // Cancels a start still pending when the user starts the metronome. A timer that has just
    // fired is kept until the next schedule, so that it is not destroyed inside its own call.
    if (mStartTimer.get() != sender) mStartTimer.reset();
    mController.postNotification(kMetronomeStateChanged);
}

void Metronome::stopMetronome() {
    stopDriverThread();
    mController.stopAnimation();
    mController.postNotification(kMetronomeStateChanged);
    mSuppressClick = false;
    mStartTime = 0;
    mLastTime = 0;
    mNextTime = 0;
    mIntervals = 0;
    mMetronomeBPM = 0;
    mMaxDiscrepancy = 0;
    mThirdCount = 0;
}

void Metronome::swingPendulum() {
    const int bpm = mMetronomeBPM;
    if (!isPlaying() || bpm <= 0) return;
    mController.animate(60.0 / bpm);
}

void Metronome::startDriverThread() {
    if (mMetronomeThread) stopDriverThread();
    mCancelled = false;
    mFinished = false;
    ClockThreadToken token(mClock);
    mMetronomeThread = std::make_unique<std::thread>([this, token = std::move(token)]() mutable {
        startDriverTimer();
        mFinished = true;
        token.leave();
    });
}

void Metronome::stopDriverThread() {
    if (!mMetronomeThread) return;
    mCancelled = true;
    waitForDriverThreadToFinish();
    mMetronomeThread->join();
    mMetronomeThread.reset();
}

// Polls on the metronome's clock (the driver sees the cancellation within a millisecond), so
// that a virtual clock lets the driver run on to it.
void Metronome::waitForDriverThreadToFinish() {
    while (mMetronomeThread && !mFinished) mClock.sleepFor(kPollMicroseconds);
}

void Metronome::requestSwing() {
    std::weak_ptr<Metronome*> self = mSelf;
    mController.performOnMainThread([self] {
        if (auto metronome = self.lock()) (*metronome)->swingPendulum();
    });
}

void Metronome::followTempo(int b) {
    if (b <= 0) {
        mStartTime = 0;
        mIntervals = 0;
    }
    if (b != mMetronomeBPM) {
        mStartTime = 0;
        mIntervals = 0;
        mBeatNum = 0;
    }
    mMetronomeBPM = b;
    if (mSuppressClick || b <= 300) mSuppressClick = false;
}

// The driver: each pass plays the click that is due, schedules the next one on the grid and
// waits for it in 1 ms polls. While the tempo is 0 or less it holds, without clicking, until
// the tempo is positive again or it is cancelled.
void Metronome::startDriverTimer() {
    RaiseCurrentThreadPriority(1.0);
    bool firstPass = true;
    bool holding = false;
    for (;;) {
        if (!firstPass && !mSuppressClick && !holding) {
            mController.playMetronomeClickForBeat(mBeatNum);
            requestSwing();
        }
        firstPass = false;

        UInt64 current = now();
        mLastTime = current;
        int b = mController.currentDisplayBPM();
        if (b != mMetronomeBPM && mStartTime != 0) mNextTime = 0;
        followTempo(b);
        holding = b <= 0;

        if (!holding) {
            const double beat = 60000.0 / b;
            if (mStartTime != 0) {
                const SInt32 k = mIntervals;
                mIntervals = k + 1;
                const UInt64 next = mStartTime + static_cast<UInt64>((k + 2) * beat);
                if (next > current) {
                    mNextTime = next;
                } else {
                    // Fallen behind: a new grid from now, so that later beats are not all late.
                    mStartTime = current;
                    mIntervals = 0;
                    mNextTime = current + static_cast<UInt64>(beat);
                }
            } else {
                mStartTime = current;
                mIntervals = 0;
                mNextTime = current + static_cast<UInt64>(beat);
            }
        }

        bool ending = false;
        while (true) {
            if (mCancelled) ending = true;
            if (ending || (!holding && mNextTime <= current)) break;
            mClock.sleepFor(kPollMicroseconds);
            current = now();
            b = mController.currentDisplayBPM();
            if (b != mMetronomeBPM && (mStartTime != 0 || holding)) mNextTime = current;  // click at once
            followTempo(b);
            holding = b <= 0;
        }
        if (ending) break;

        if (mBeatNum >= mController.alternateBeat()) mBeatNum = 0;
        mBeatNum = mBeatNum + 1;
    }
}
