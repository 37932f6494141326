#include "platform/AppKit/AnimationClock.h"

#include <QElapsedTimer>

#include "platform/AppKit/LayerRegistry.h"

namespace {

class SystemAnimationClock : public AnimationClock {
public:
    SystemAnimationClock() { mTimer.start(); }
    double now() const override { return mTimer.nsecsElapsed() / 1e9; }

private:
    QElapsedTimer mTimer;
};

AnimationClock* gInstalled = nullptr;

}  // namespace

AnimationClock& AnimationClock::current() {
    static SystemAnimationClock system;
    return gInstalled ? *gInstalled : system;
}

void AnimationClock::setCurrent(AnimationClock* clock) {
    gInstalled = clock;
    LayerRegistry::shared().clockChanged();
}

void ManualAnimationClock::advance(double seconds) {
    if (seconds > 0) mNow += seconds;
    LayerRegistry::shared().tick();
}

ScopedAnimationClock::ScopedAnimationClock(AnimationClock& clock) : mPrevious(gInstalled) {
    AnimationClock::setCurrent(&clock);
}

ScopedAnimationClock::~ScopedAnimationClock() {
    AnimationClock::setCurrent(mPrevious);
}
