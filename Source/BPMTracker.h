// The tap-tempo tracker: turns tap time stamps into a tempo and an accuracy figure.
//
// Every tap of the current run is kept, newest first; the tempo is the average over the whole
// run, the spread of the newest tap tempos decides when the user has changed tempo (the run then
// starts over), a single one-BPM change is held back on the display, and the metronome is
// scheduled to start two beats after each analysed tap. The tracker also holds the tempo shown
// for the current track: a loaded track's BPM and the halve, double, plus and minus edits.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class BPMTrackerHost;
class MetronomeControl;

// One recorded tap; owned by the tracker's list.
struct TapTime {
    uint64_t time{0};    // ms since 1970
    int32_t instBPM{0};  // 60000 / gap to the previous tap; 0 for the first tap of a run
    int32_t runBPM{0};   // the run's average at this tap; 0 for the first tap
    int32_t sdLast{0};
    int32_t sdAvg{0};
    std::unique_ptr<TapTime> next;  // the next older tap
};

// Called on the main thread only, except displayBPM (see there).
class BPMTracker {
public:
    // The controller is not owned and must outlive the tracker; the metronome is owned (it may be
    // null, then the metronome operations do nothing).
    BPMTracker(BPMTrackerHost& controller, std::unique_ptr<MetronomeControl> metronome);
    ~BPMTracker();
    BPMTracker(const BPMTracker&) = delete;
    BPMTracker& operator=(const BPMTracker&) = delete;

    void reset();
    void trackLoaded(int bpm, int accuracy);

    int bpm() const { return mBPM; }
    int accuracy() const { return mAccuracy; }
    int totaltaps() const { return mTotalTaps.load(std::memory_order_relaxed); }
    // 0 until four taps are recorded. May be called from any thread (the metronome's driver
    // reads it without a lock).
    int displayBPM() const;

    void halveBPM();
    void doubleBPM();
    void plusBPM();
    void minusBPM();

    // A tap at the given time stamp (ms since 1970).
    void tap(uint64_t time);
    bool done() const { return totaltaps() > 6; }

    void startStopMetronome();
    void stopMetronome();
    bool metronomeIsPlaying() const;

    int avgBPM_AVG() const { return positiveMean(mTapHead.get(), &TapTime::runBPM); }
    int lastBPM_AVG() const { return positiveMean(mTapHead.get(), &TapTime::instBPM); }
    int sdLast() const { return spread(mTapHead.get(), &TapTime::instBPM); }
    int sdAvg() const { return spread(mTapHead.get(), &TapTime::runBPM); }
    // time minus the newest tap's time, wrapping; 0 when no tap is recorded.
    uint64_t msSinceLastTap(uint64_t time) const;

    // The restart rule on the run's average, the newest spread and the previous tap's spread.
    static bool shouldStartOver(int bpm, int sdLast, int lastBPMSD);
    // Mean of the field over a list: the non-negative values summed, divided by the count of
    // positive ones; 0 when none is positive.
    static int positiveMean(const TapTime* head, int32_t TapTime::*field);
    // Root mean square distance from positiveMean of the newest four positive values.
    static int spread(const TapTime* head, int32_t TapTime::*field);

private:
    void analyze();
    bool startOver();
    void freeTaps();

    std::unique_ptr<TapTime> mTapHead;
    TapTime* mTapStart{nullptr};  // the oldest tap of the run, owned through mTapHead
    bool mSeenFirstClick{false};
    std::atomic<int32_t> mTotalTaps{0};
    int32_t mBPM{0};
    int32_t mLastBPM{0};
    int32_t mLastBPMSD{0};
    std::atomic<int32_t> mDisplayBPM{0};
    int32_t mLastDisplayBPM{0};
    int32_t mSuppressDisplayCount{0};
    int32_t mAccuracy{0};
    bool mAutoLoaded{false};
    BPMTrackerHost& mController;
    std::unique_ptr<MetronomeControl> mMetronome;
};
