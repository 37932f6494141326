#include "platform/AppKit/LayerRegistry.h"

#include <algorithm>

#include "platform/AppKit/AnimationClock.h"
#include "platform/AppKit/Layer.h"

LayerRegistry& LayerRegistry::shared() {
    static LayerRegistry registry;
    return registry;
}

LayerRegistry::LayerRegistry() {
    mFrames.setInterval(16);
    connect(&mFrames, &QTimer::timeout, this, [this] { tick(); });
}

void LayerRegistry::animationsStarted(CALayer* layer) {
    if (std::find(mRunning.begin(), mRunning.end(), layer) == mRunning.end()) mRunning.push_back(layer);
    updateTimer();
}

void LayerRegistry::layerGone(CALayer* layer) {
    std::erase(mRunning, layer);
    updateTimer();
}

void LayerRegistry::tick() {
    const double now = AnimationClock::current().now();
    // A tick may end animations, and a redraw may start new ones: work on a copy.
    const std::vector<CALayer*> running = mRunning;
    for (CALayer* layer : running) {
        if (std::find(mRunning.begin(), mRunning.end(), layer) == mRunning.end()) continue;
        layer->tick(now);
        if (!layer->hasRunningAnimations()) std::erase(mRunning, layer);
    }
    updateTimer();
}

void LayerRegistry::clockChanged() {
    updateTimer();
}

void LayerRegistry::updateTimer() {
    const bool wanted = !mRunning.empty() && AnimationClock::current().drivesFrames();
    if (wanted && !mFrames.isActive()) mFrames.start();
    if (!wanted && mFrames.isActive()) mFrames.stop();
}
