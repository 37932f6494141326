// The clock playback runs on: the monotonic clock, or one that tests and the stand-in's own
// driver move by hand.
#pragma once

#include <atomic>
#include <cstdint>

namespace player {

class PlaybackClock {
public:
    virtual ~PlaybackClock() = default;
    // Milliseconds since an arbitrary start; never decreases. May be called from any thread.
    virtual int64_t milliseconds() const = 0;
};

class SteadyPlaybackClock : public PlaybackClock {
public:
    int64_t milliseconds() const override;
};

class ManualPlaybackClock : public PlaybackClock {
public:
    int64_t milliseconds() const override { return fNow.load(); }
    void advance(int64_t by) { fNow += by > 0 ? by : 0; }

private:
    std::atomic<int64_t> fNow{0};
};

}  // namespace player
