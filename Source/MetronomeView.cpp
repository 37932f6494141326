#include "Source/MetronomeView.h"

#include <algorithm>
#include <cmath>

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/ImageView.h"
#include "platform/AppKit/TimingFunction.h"

namespace {

constexpr const char* kMetronomeStyleKey = "MetronomeStyle";
constexpr const char* kRotateAnimationKey = "rotateAnimation";
constexpr NSPoint kPendulumAnchor{0.5, 0};
constexpr NSPoint kPendulumPosition{18, 10};
constexpr double kFlashFade = 0.2;
// The grey of the tempo's digits above it: the case and the fast-tempo line show the beat, so they
// stand out from the white tap area at 3 : 1 and more.
constexpr NSColor kCaseGrey = NSColor::colorWithCalibratedWhite(0.42, 1);

double radians(double degrees) {
    return static_cast<float>(degrees * M_PI / 180.0);
}

}  // namespace

MetronomeView::MetronomeView(const NSRect& frame, QWidget* parent, IntegerDefaultLookup defaults)
    : View(frame, parent), mDefaults(std::move(defaults)) {
    mPendulum = new ImageView(NSMakeRect(0, 0, 36, 36), this);
    mPendulum->setImage(NSImage::imageNamed("pendulum36c.png"));
    mPendulum->setImageScaling(NSImageScaling::None);
    mPendulum->layer().setAnchorPoint(kPendulumAnchor);
    mPendulum->layer().setTransform(CATransform3DIdentity);
    mPendulum->hide();

    mLedOff = new ImageView(NSMakeRect(1, 1, 34, 34), this);
    mLedOff->setImage(NSImage::imageNamed("LED_off.png"));
    mLedOff->setImageScaling(NSImageScaling::ProportionallyUpOrDown);
    mLedOff->hide();
    mLedOn = new ImageView(NSMakeRect(1, 1, 34, 34), this);
    mLedOn->setImage(NSImage::imageNamed("LED_on.png"));
    mLedOn->setImageScaling(NSImageScaling::ProportionallyUpOrDown);
    mLedOn->hide();

    if (mDefaults)
        if (const std::optional<long> style = mDefaults(kMetronomeStyleKey))
            mMetronomeStyle = static_cast<int>(*style);
}

void MetronomeView::viewWillStartLiveResize() {
    mSuppressAnimation = true;
    setNeedsDisplay();
}

void MetronomeView::viewDidEndLiveResize() {
    mSuppressAnimation = false;
}

void MetronomeView::updateStyle() {
    const std::optional<long> stored = mDefaults ? mDefaults(kMetronomeStyleKey) : std::nullopt;
    if (!stored || *stored == mMetronomeStyle) return;
    if (mMetronomeStyle == kLEDStyle) {
        mLedOn->hide();
        mLedOff->hide();
        mPendulum->show();
    } else if (mMetronomeStyle == kPendulumStyle) {
        mPendulum->hide();
    }
    mMetronomeStyle = static_cast<int>(*stored);
    setNeedsDisplay();
}

void MetronomeView::animate(double secondsPerBeat) {
    if (mMetronomeStyle == kLEDStyle) {
        mIsLEDing = true;
        toggle();
    } else if (secondsPerBeat < kShortestSwing) {
        mIsAnimating = false;
        mIsToggling = true;
        mPendulum->hide();
        toggle();
    } else {
        if (!mIsAnimating) {
            mIsAnimating = true;
            mPendulum->show();
            setNeedsDisplay();
        }
        mDrawLeft = !mDrawLeft;
        mIsAtRightExtreme = mDrawLeft;
        animateArmToOppositeExtreme(secondsPerBeat);
    }
}

void MetronomeView::animateArmToOppositeExtreme(double duration) {
    if (mMetronomeStyle != kPendulumStyle) return;
    if (mSuppressAnimation) {
        rotateArmToDegree(0);
        return;
    }
    CABasicAnimation swing;
    swing.keyPath = "transform.rotation.z";
    swing.fromValue = radians(mIsAtRightExtreme ? kSwingDegrees : -kSwingDegrees);
    swing.toValue = radians(mIsAtRightExtreme ? -kSwingDegrees : kSwingDegrees);
    swing.duration = duration;
    swing.removedOnCompletion = false;
    swing.fillMode = CAFillMode::Both;
    swing.repeatCount = 0;
    swing.timingFunction = CAMediaTimingFunction::easeInEaseOut();
    CALayer& layer = mPendulum->layer();
    layer.setAnchorPoint(kPendulumAnchor);
    layer.setPosition(kPendulumPosition);
    layer.addAnimation(swing, kRotateAnimationKey);
    mIsAnimating = true;
    mIsToggling = false;
    mIsAtRightExtreme = !mIsAtRightExtreme;
}

void MetronomeView::rotateArmToDegree(double degrees) {
    if (mMetronomeStyle != kPendulumStyle) return;
    CALayer& layer = mPendulum->layer();
    layer.removeAllAnimations();
    const double g = std::clamp(degrees, -kSwingDegrees, kSwingDegrees);
    layer.setAnchorPoint(kPendulumAnchor);
    layer.setPosition(kPendulumPosition);
    layer.setTransform(CATransform3DRotate(CATransform3DIdentity, g * M_PI / 180.0, 0, 0, 1));
    mIsToggling = false;
}

void MetronomeView::stopArm() {
    if (mMetronomeStyle != kPendulumStyle || !mIsAnimating) return;
    rotateArmToDegree(0);
    mIsAnimating = false;
}

void MetronomeView::toggle() {
    if (mMetronomeStyle == kLEDStyle) {
        mLedOff->show();
        mLedOn->show();
        // Lit at once, then faded out; a new beat's flash replaces a fade still under way.
        CABasicAnimation fade;
        fade.keyPath = "opacity";
        fade.fromValue = 1.0;
        fade.toValue = 0.0;
        fade.duration = kFlashFade;
        fade.timingFunction = CAMediaTimingFunction::easeInEaseOut();
        CALayer& layer = mLedOn->layer();
        layer.setOpacity(0.0);
        layer.addAnimation(fade, "opacity");
    } else if (!mIsAnimating) {
        mPendulum->hide();
        mLedOn->hide();
        mLedOff->hide();
        mDrawLeft = !mDrawLeft;
        setNeedsDisplay();
    }
}

void MetronomeView::drawRect(const NSRect&) {
    if (mMetronomeStyle == kLEDStyle) {
        mLedOff->show();
        return;
    }
    const NSRect b = bounds();
    const CGFloat mid = NSMidX(b);
    const CGFloat top = NSMaxY(b);

    // The case: a narrow trapezoid with rounded joins, wide at the foot.
    NSBezierPath outline;
    outline.moveToPoint({mid - 11, 2.5});
    outline.lineToPoint({mid + 11, 2.5});
    outline.lineToPoint({mid + 5, top - 2.5});
    outline.lineToPoint({mid - 5, top - 2.5});
    outline.closePath();
    outline.setLineWidth(1.0);
    outline.setLineJoinStyle(Qt::RoundJoin);
    kCaseGrey.setStroke();
    outline.stroke();

    if (mIsAnimating && !mSuppressAnimation) return;
    if (!mIsToggling) {
        mPendulum->show();
        rotateArmToDegree(0);
        return;
    }
    NSBezierPath arm;
    arm.moveToPoint({mid, top - 26});
    arm.lineToPoint({mDrawLeft ? mid - 7 : mid + 7, top - 8});
    arm.setLineWidth(1.5);
    arm.setLineCapStyle(Qt::RoundCap);
    arm.stroke();
}
