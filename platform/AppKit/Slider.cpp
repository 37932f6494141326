#include "platform/AppKit/Slider.h"

#include <cmath>

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Color.h"

Slider::Slider(QWidget* parent) : View(parent) {}

void Slider::setMinValue(double value) {
    mMin = value;
    if (mMax < mMin) mMax = mMin;
    setDoubleValue(mValue);
}

void Slider::setMaxValue(double value) {
    mMax = value;
    if (mMin > mMax) mMin = mMax;
    setDoubleValue(mValue);
}

int Slider::intValue() const {
    return static_cast<int>(std::lround(mValue));
}

void Slider::setDoubleValue(double value) {
    const double clamped = std::isnan(value) ? mMin : std::clamp(value, mMin, mMax);
    if (clamped == mValue) return;
    mValue = clamped;
    setNeedsDisplay();
}

void Slider::setVertical(bool vertical) {
    mVertical = vertical;
    setNeedsDisplay();
}

void Slider::sendAction() {
    if (action && isEnabled()) action();
}

NSRect Slider::barRect() const {
    return bounds();
}

void Slider::setKnobThickness(CGFloat thickness) {
    mKnobThickness = std::max(1.0, thickness);
    setNeedsDisplay();
}

NSRect Slider::knobRect() const {
    const NSRect bar = barRect();
    const double range = mMax - mMin;
    const double t = range > 0 ? (mValue - mMin) / range : 0;
    if (mVertical) {
        const CGFloat travel = bar.size.height - mKnobThickness;
        return NSMakeRect(bar.origin.x, bar.origin.y + t * travel, bar.size.width, mKnobThickness);
    }
    const CGFloat travel = bar.size.width - mKnobThickness;
    return NSMakeRect(bar.origin.x + t * travel, bar.origin.y, mKnobThickness, bar.size.height);
}

void Slider::drawRect(const NSRect&) {
    const NSRect bar = barRect();
    const NSRect groove = mVertical ? NSMakeRect(NSMidX(bar) - 2, bar.origin.y, 4, bar.size.height)
                                    : NSMakeRect(bar.origin.x, NSMidY(bar) - 2, bar.size.width, 4);
    NSColor::colorWithCalibratedWhite(0.3, isEnabled() ? 1.0 : 0.5).setFill();
    NSBezierPath::bezierPathWithRoundedRect(groove, 2, 2).fill();
    NSColor::colorWithCalibratedWhite(mTracking ? 0.7 : 0.9, 1).setFill();
    NSBezierPath::bezierPathWithOvalInRect(NSInsetRect(knobRect(), 1, 1)).fill();
}

void Slider::track(const NSEvent& event) {
    const NSPoint p = convertPointFromView(event.locationInWindow, nullptr);
    const NSRect bar = barRect();
    const double along = mVertical ? p.y - bar.origin.y : p.x - bar.origin.x;
    const double travel = (mVertical ? bar.size.height : bar.size.width) - mKnobThickness;
    const double t = travel > 0 ? (along - mKnobThickness / 2) / travel : 0;
    setDoubleValue(mMin + std::clamp(t, 0.0, 1.0) * (mMax - mMin));
    if (mContinuous) sendAction();
}

void Slider::mouseDown(const NSEvent& event) {
    if (!isEnabled()) return;
    mTracking = true;
    track(event);
}

void Slider::mouseDragged(const NSEvent& event) {
    if (mTracking) track(event);
}

void Slider::mouseUp(const NSEvent&) {
    if (!mTracking) return;
    mTracking = false;
    setNeedsDisplay();
    if (!mContinuous) sendAction();
}
