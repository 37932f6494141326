#include "platform/AppKit/Layer.h"

#include <QWidget>
#include <cmath>

#include "platform/AppKit/AnimationClock.h"
#include "platform/AppKit/LayerRegistry.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/WidgetFrame.h"

namespace {
constexpr const char* kRotation = "transform.rotation.z";
constexpr const char* kOpacity = "opacity";
}  // namespace

CALayer::CALayer(QWidget& host) : mHost(host) {}

CALayer::~CALayer() {
    LayerRegistry::shared().layerGone(this);
}

void CALayer::setAnchorPoint(NSPoint anchor) {
    if (anchor.x == mAnchor.x && anchor.y == mAnchor.y) return;
    mAnchor = anchor;
    changed();
}

NSPoint CALayer::position() const {
    if (mPosition) return *mPosition;
    const NSRect f = frameOfWidget(mHost);
    return {f.origin.x + mAnchor.x * f.size.width, f.origin.y + mAnchor.y * f.size.height};
}

void CALayer::setPosition(NSPoint position) {
    if (mPosition && mPosition->x == position.x && mPosition->y == position.y) return;
    mPosition = position;
    changed();
}

void CALayer::setTransform(CATransform3D transform) {
    if (transform == mTransform) return;
    mTransform = transform;
    changed();
}

void CALayer::setOpacity(double opacity) {
    const double clamped = std::clamp(opacity, 0.0, 1.0);
    if (clamped == mOpacity) return;
    mOpacity = clamped;
    changed();
}

void CALayer::addAnimation(CABasicAnimation animation, const std::string& key) {
    if (animation.keyPath != kRotation && animation.keyPath != kOpacity) return;
    animation.beginTime = AnimationClock::current().now();
    removeAnimationForKey(key);
    mAnimations.emplace_back(key, std::move(animation));
    LayerRegistry::shared().animationsStarted(this);
    changed();
}

void CALayer::removeAnimationForKey(const std::string& key) {
    if (std::erase_if(mAnimations, [&](const auto& entry) { return entry.first == key; }) == 0) return;
    changed();
}

void CALayer::removeAllAnimations() {
    if (mAnimations.empty()) return;
    mAnimations.clear();
    changed();
}

const CABasicAnimation* CALayer::animationForKey(const std::string& key) const {
    for (const auto& [k, animation] : mAnimations)
        if (k == key) return &animation;
    return nullptr;
}

bool CALayer::hasRunningAnimations() const {
    const double now = AnimationClock::current().now();
    for (const auto& [key, a] : mAnimations) {
        const double repeats = std::max(1.0, a.repeatCount);
        if (now < a.beginTime + a.duration * repeats) return true;
    }
    return false;
}

std::optional<double> CALayer::animatedValue(const std::string& keyPath, double now) const {
    std::optional<double> value;
    // Later animations of a key path are drawn over earlier ones.
    for (const auto& [key, a] : mAnimations) {
        if (a.keyPath != keyPath) continue;
        const double repeats = std::max(1.0, a.repeatCount);
        const double elapsed = now - a.beginTime;
        if (elapsed < 0) {
            if (a.fillMode == CAFillMode::Backwards || a.fillMode == CAFillMode::Both) value = a.fromValue;
            continue;
        }
        if (a.duration <= 0 || elapsed >= a.duration * repeats) {
            if (a.fillMode == CAFillMode::Forwards || a.fillMode == CAFillMode::Both) value = a.toValue;
            continue;
        }
        const double cycle = std::fmod(elapsed, a.duration) / a.duration;
        value = a.fromValue + (a.toValue - a.fromValue) * a.timingFunction.valueAt(cycle);
    }
    return value;
}

double CALayer::presentationRotation() const {
    return animatedValue(kRotation, AnimationClock::current().now()).value_or(mTransform.rotationZ);
}

double CALayer::presentationOpacity() const {
    return animatedValue(kOpacity, AnimationClock::current().now()).value_or(mOpacity);
}

void CALayer::tick(double now) {
    std::erase_if(mAnimations, [now](const auto& entry) {
        const CABasicAnimation& a = entry.second;
        return a.removedOnCompletion && now >= a.beginTime + a.duration * std::max(1.0, a.repeatCount);
    });
    changed();
}

// Only the host is marked; a change made while the host or a view under which it lies draws is
// already in that drawing, and marking it would schedule the same paint again.
void CALayer::changed() {
    if (View::isDrawing(mHost)) return;
    mHost.update();
}
