// The animatable geometry of a view: an anchor point, a position in the superview, a rotation
// about the z axis and an opacity, with basic animations of "transform.rotation.z" and "opacity".
// The presentation values are what the view draws at the animation clock's time. Main thread only.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/AppKit/Geometry.h"
#include "platform/AppKit/TimingFunction.h"

class QWidget;

// The views turn layers about the z axis only, so a transform is that one angle (radians).
struct CATransform3D {
    double rotationZ{0};
    friend bool operator==(const CATransform3D&, const CATransform3D&) = default;
};
inline constexpr CATransform3D CATransform3DIdentity{};
// Rotates about the z axis (x and y must be 0, which is all the views ask for).
inline CATransform3D CATransform3DRotate(CATransform3D t, double angle, double, double, double z) {
    return {t.rotationZ + (z < 0 ? -angle : angle)};
}
inline CATransform3D CATransform3DMakeRotation(double angle, double x, double y, double z) {
    return CATransform3DRotate(CATransform3DIdentity, angle, x, y, z);
}

enum class CAFillMode { Removed, Forwards, Backwards, Both };

struct CABasicAnimation {
    std::string keyPath;  // "transform.rotation.z" or "opacity"
    double fromValue{0};
    double toValue{0};
    double duration{0.25};
    CAMediaTimingFunction timingFunction = CAMediaTimingFunction::linear();
    bool removedOnCompletion{true};
    CAFillMode fillMode{CAFillMode::Removed};
    double repeatCount{0};  // 0 and 1 both play once
    double beginTime{0};    // set from the clock when added
};

class CALayer {
public:
    CALayer(const CALayer&) = delete;
    CALayer& operator=(const CALayer&) = delete;

    // Redraws the host when its presentation changes.
    explicit CALayer(QWidget& host);
    ~CALayer();

    NSPoint anchorPoint() const { return mAnchor; }
    void setAnchorPoint(NSPoint anchor);
    // In the superview's y-up coordinates; unset, it is the host frame's anchor point.
    NSPoint position() const;
    void setPosition(NSPoint position);
    CATransform3D transform() const { return mTransform; }
    void setTransform(CATransform3D transform);
    double opacity() const { return mOpacity; }
    void setOpacity(double opacity);

    // Replaces the animation under the same key; it starts at the clock's present time.
    void addAnimation(CABasicAnimation animation, const std::string& key);
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    const CABasicAnimation* animationForKey(const std::string& key) const;
    bool hasRunningAnimations() const;

    double presentationRotation() const;
    double presentationOpacity() const;

    // Drops finished animations that are removed on completion and redraws the host.
    void tick(double now);

private:
    std::optional<double> animatedValue(const std::string& keyPath, double now) const;
    void changed();

    QWidget& mHost;
    NSPoint mAnchor{0.5, 0.5};
    std::optional<NSPoint> mPosition;
    CATransform3D mTransform;
    double mOpacity{1};
    std::vector<std::pair<std::string, CABasicAnimation>> mAnimations;
};
