#include "Source/BPMTracker.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "Source/BPMTrackerHost.h"
#include "Source/MetronomeControl.h"

namespace {

constexpr int32_t kMaxBPM = 1000;
constexpr uint64_t kMaxTapGapMs = 6000;
constexpr int kSpreadTaps = 4;

}  // namespace

BPMTracker::BPMTracker(BPMTrackerHost& controller, std::unique_ptr<MetronomeControl> metronome)
    : mController(controller), mMetronome(std::move(metronome)) {}

BPMTracker::~BPMTracker() {
    freeTaps();
}

void BPMTracker::freeTaps() {
    // Unlinked one by one: a long run would otherwise be destroyed recursively.
    while (mTapHead) mTapHead = std::move(mTapHead->next);
    mTapStart = nullptr;
}

void BPMTracker::reset() {
    freeTaps();
    mTotalTaps = 0;
    mBPM = 0;
    mLastBPM = 0;
    mDisplayBPM = 0;
    mLastDisplayBPM = 0;
    mLastBPMSD = 0;
    mAccuracy = 0;
    mSuppressDisplayCount = 0;
    mAutoLoaded = false;
    mSeenFirstClick = false;
    stopMetronome();
    mController.setCurrentTrackAssigned(false);
    mController.updateBPMButtons();
    mController.updateBPM();
}

void BPMTracker::trackLoaded(int bpm, int accuracy) {
    mBPM = bpm;
    mDisplayBPM = bpm;
    if (bpm > 0) {
        mAccuracy = accuracy;
        mTotalTaps = 4;
        mAutoLoaded = true;
    }
}

int BPMTracker::displayBPM() const {
    return mTotalTaps.load(std::memory_order_relaxed) < 4 ? 0 : mDisplayBPM.load(std::memory_order_relaxed);
}

void BPMTracker::halveBPM() {
    if (mBPM > 0) mBPM /= 2;
    if (mDisplayBPM > 0) mDisplayBPM = mDisplayBPM / 2;
}

void BPMTracker::doubleBPM() {
    mBPM = static_cast<int32_t>(std::min<int64_t>(int64_t{mBPM} * 2, kMaxBPM));
    mDisplayBPM = static_cast<int32_t>(std::min<int64_t>(int64_t{mDisplayBPM} * 2, kMaxBPM));
}

void BPMTracker::plusBPM() {
    mBPM = std::min(mBPM, kMaxBPM - 1) + 1;
    mDisplayBPM = std::min(mDisplayBPM.load(), kMaxBPM - 1) + 1;
    if (mMetronome) mMetronome->resetMetronome();
}

void BPMTracker::minusBPM() {
    mBPM -= 1;
    mDisplayBPM = mDisplayBPM - 1;
    if (mMetronome) {
        mMetronome->resetMetronome();
        // The metronome cannot beat at a tempo below 1.
        if (displayBPM() < 1 && mMetronome->isPlaying()) mMetronome->stopMetronome();
    }
}

uint64_t BPMTracker::msSinceLastTap(uint64_t time) const {
    return mTapHead ? time - mTapHead->time : 0;
}

void BPMTracker::tap(uint64_t time) {
    stopMetronome();
    if (!mSeenFirstClick) {
        if (mAutoLoaded) reset();
        mSeenFirstClick = true;
        mController.setBeatNum(1);
        return;
    }
    // A clock that went backwards wraps to a huge gap and counts as a pause.
    if (msSinceLastTap(time) > kMaxTapGapMs) {
        reset();
        mSeenFirstClick = true;
        mAccuracy = 1;
        mController.setBeatNum(1);
        return;
    }
    std::unique_ptr<TapTime> tap(new (std::nothrow) TapTime);
    if (!tap) return;
    tap->time = time;
    if (mTapHead) {
        // Two taps in one millisecond would make a zero interval: the second is dropped.
        if (mTapHead->time == time) return;
        if (mTapHead->time != 0) tap->instBPM = static_cast<int32_t>(60000 / (time - mTapHead->time));
    }
    tap->next = std::move(mTapHead);
    mTapHead = std::move(tap);
    analyze();
}

void BPMTracker::analyze() {
    const int32_t n = ++mTotalTaps;
    TapTime& head = *mTapHead;
    if (!mTapStart) {
        mTapStart = &head;
        mAccuracy = 1;
        return;
    }
    if (mBPM == 0) {
        mBPM = head.instBPM;
        head.runBPM = head.instBPM;
        mController.updateBPM();
        return;
    }

    mLastBPM = mBPM;
    const uint64_t intervals = static_cast<uint64_t>(int64_t{n} * 60000 - 60000);
    mBPM = static_cast<int32_t>(intervals / (head.time - mTapStart->time));
    head.runBPM = mBPM;
    head.sdLast = sdLast();
    head.sdAvg = sdAvg();
    if (startOver()) return;
    mLastBPMSD = head.sdLast;

    int32_t accuracy = mAccuracy;
    if (mLastBPM == mBPM) {
        accuracy += 20;
    } else if (mLastBPM - mBPM == 1 || mBPM - mLastBPM == 1) {
        accuracy += 10;
    }
    accuracy = std::min(accuracy, 90);
    if (done()) accuracy = 100;

    mBPM = std::min(mBPM, kMaxBPM);
    mDisplayBPM = mBPM;
    if (mDisplayBPM > 0) {
        if (mMetronome) mMetronome->scheduleMetronomeStart(60.0 / mDisplayBPM * 2);
    }

    // Of successive one-BPM changes the first is held back and the next shown.
    if (mDisplayBPM == mLastBPM + 1 || mDisplayBPM == mLastBPM - 1) {
        if (mSuppressDisplayCount <= 0) {
            mDisplayBPM = mLastBPM;
            mSuppressDisplayCount = 1;
            if (mAccuracy == 100 && accuracy < 100) accuracy = 100;
        } else {
            mSuppressDisplayCount = 0;
        }
    }

    const int32_t oldAccuracy = mAccuracy;
    mAccuracy = accuracy;
    mController.updateBPM();
    const bool appeared = displayBPM() > 0 && mLastDisplayBPM == 0;
    const bool settledChanged = (oldAccuracy >= 100) != (accuracy >= 100);
    if (appeared || settledChanged) mController.updateBPMButtons();
    mLastDisplayBPM = displayBPM();
}

bool BPMTracker::shouldStartOver(int bpm, int sdLast, int lastBPMSD) {
    if (bpm > 200) return sdLast >= 30;
    if (sdLast >= 20) return true;
    return sdLast >= 10 && bpm <= 109 && int64_t{sdLast} >= int64_t{lastBPMSD} + 5;
}

bool BPMTracker::startOver() {
    if (!shouldStartOver(mBPM, mTapHead->sdLast, mLastBPMSD)) return false;
    reset();
    mAccuracy = 1;
    mSeenFirstClick = true;
    mController.setBeatNum(1);
    return true;
}

int BPMTracker::positiveMean(const TapTime* head, int32_t TapTime::*field) {
    int64_t sum = 0;
    int64_t count = 0;
    for (const TapTime* t = head; t; t = t->next.get()) {
        const int32_t value = t->*field;
        if (value >= 0) sum += value;
        if (value > 0) ++count;
    }
    return count == 0 ? 0 : static_cast<int>(sum / count);
}

int BPMTracker::spread(const TapTime* head, int32_t TapTime::*field) {
    const int64_t mean = positiveMean(head, field);
    // 64 bits: a 1 ms gap gives a tap tempo of 60000, whose square overflows 32 bits.
    int64_t sum = 0;
    int k = 0;
    for (const TapTime* t = head; t && k < kSpreadTaps; t = t->next.get()) {
        const int32_t value = t->*field;
        if (value <= 0) continue;
        sum += (mean - value) * (mean - value);
        ++k;
    }
    if (sum == 0) return 0;
    return static_cast<int>(static_cast<float>(std::sqrt(static_cast<double>(sum / k))));
}

void BPMTracker::startStopMetronome() {
    if (!mMetronome) return;
    if (mMetronome->isPlaying()) {
        mMetronome->stopMetronome();
    } else {
        mMetronome->startMetronome(nullptr);
    }
}

void BPMTracker::stopMetronome() {
    if (mMetronome) mMetronome->stopMetronome();
}

bool BPMTracker::metronomeIsPlaying() const {
    return mMetronome && mMetronome->isPlaying();
}
