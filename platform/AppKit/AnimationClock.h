// The clock of the layer animations. The system clock drives them from the event loop at about
// 60 frames a second; tests install a manual clock and step it, and each step updates the layers.
// Main thread only.
#pragma once

class AnimationClock {
public:
    virtual ~AnimationClock() = default;
    // Seconds on a monotonic scale.
    virtual double now() const = 0;
    // Whether the event loop should redraw running animations by itself.
    virtual bool drivesFrames() const { return true; }

    // The clock in use; the system clock unless one was installed.
    static AnimationClock& current();
    // Installs a clock (not owned; nullptr restores the system clock).
    static void setCurrent(AnimationClock* clock);
};

// A clock that moves only when told to; each advance redraws the layers with running animations.
class ManualAnimationClock : public AnimationClock {
public:
    double now() const override { return mNow; }
    bool drivesFrames() const override { return false; }
    void advance(double seconds);

private:
    double mNow{0};
};

// Installs a clock for a scope and restores the previous one.
class ScopedAnimationClock {
public:
    explicit ScopedAnimationClock(AnimationClock& clock);
    ~ScopedAnimationClock();
    ScopedAnimationClock(const ScopedAnimationClock&) = delete;
    ScopedAnimationClock& operator=(const ScopedAnimationClock&) = delete;

private:
    AnimationClock* mPrevious;
};
