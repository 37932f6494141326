#include "platform/AppKit/SegmentedControl.h"

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Image.h"

SegmentedControl::SegmentedControl(int segmentCount, QWidget* parent) : View(parent) {
    setSegmentCount(segmentCount);
}

void SegmentedControl::setSegmentCount(int count) {
    mSegments.resize(static_cast<size_t>(std::max(0, count)));
    if (!valid(mSelected)) mSelected = -1;
    setNeedsDisplay();
}

void SegmentedControl::setWidth(CGFloat width, int segment) {
    if (!valid(segment)) return;
    mSegments[segment].width = std::max(0.0, width);
    setNeedsDisplay();
}

CGFloat SegmentedControl::widthForSegment(int segment) const {
    if (!valid(segment)) return 0;
    if (mSegments[segment].width > 0) return mSegments[segment].width;
    CGFloat fixed = 0;
    int shared = 0;
    for (const Segment& s : mSegments) {
        fixed += s.width;
        if (s.width <= 0) ++shared;
    }
    return std::max(0.0, (bounds().size.width - fixed) / shared);
}

void SegmentedControl::setLabel(const std::string& label, int segment) {
    if (!valid(segment)) return;
    mSegments[segment].label = label;
    setNeedsDisplay();
}

std::string SegmentedControl::labelForSegment(int segment) const {
    return valid(segment) ? mSegments[segment].label : std::string();
}

void SegmentedControl::setImage(std::shared_ptr<NSImage> image, int segment) {
    if (!valid(segment)) return;
    mSegments[segment].image = std::move(image);
    setNeedsDisplay();
}

std::shared_ptr<NSImage> SegmentedControl::imageForSegment(int segment) const {
    return valid(segment) ? mSegments[segment].image : nullptr;
}

void SegmentedControl::setTag(long tag, int segment) {
    if (valid(segment)) mSegments[segment].tag = tag;
}

long SegmentedControl::tagForSegment(int segment) const {
    return valid(segment) ? mSegments[segment].tag : 0;
}

void SegmentedControl::setSelectedSegment(int segment) {
    mSelected = valid(segment) ? segment : -1;
    setNeedsDisplay();
}

int SegmentedControl::segmentAtPoint(NSPoint point) const {
    if (point.y < 0 || point.y >= bounds().size.height) return -1;
    CGFloat left = 0;
    for (int i = 0; i < segmentCount(); ++i) {
        const CGFloat w = widthForSegment(i);
        if (point.x >= left && point.x < left + w) return i;
        left += w;
    }
    return -1;
}

void SegmentedControl::drawRect(const NSRect&) {
    CGFloat left = 0;
    const CGFloat h = bounds().size.height;
    TextAttributes attributes;
    for (int i = 0; i < segmentCount(); ++i) {
        const CGFloat w = widthForSegment(i);
        const NSRect r = NSMakeRect(left, 0, w, h);
        const bool dark = i == mHighlighted || i == mSelected;
        NSColor::colorWithCalibratedWhite(dark ? 0.7 : 0.92, 1).setFill();
        NSBezierPath::bezierPathWithRect(NSInsetRect(r, 0.5, 0.5)).fill();
        NSColor::colorWithCalibratedWhite(0.5, 1).setStroke();
        NSBezierPath::bezierPathWithRect(NSInsetRect(r, 0.5, 0.5)).stroke();
        const Segment& s = mSegments[i];
        if (s.image) {
            const NSSize is = s.image->size();
            s.image->drawInRect(
                NSMakeRect(left + (w - is.width) / 2, (h - is.height) / 2, is.width, is.height));
        } else if (GraphicsContext* context = GraphicsContext::currentContext()) {
            const NSSize t = sizeWithAttributes(s.label, attributes);
            context->drawString(s.label, NSMakePoint(left + (w - t.width) / 2, (h - t.height) / 2),
                                attributes);
        }
        left += w;
    }
}

void SegmentedControl::mouseDown(const NSEvent& event) {
    if (!isEnabled()) return;
    const int segment = segmentAtPoint(convertPointFromView(event.locationInWindow, nullptr));
    mHighlighted = segment;
    setNeedsDisplay();
    if (segment < 0) return;
    mSelected = segment;
    if (mActionOnMouseDown && action) action();
}

void SegmentedControl::mouseDragged(const NSEvent&) {}

void SegmentedControl::mouseUp(const NSEvent& event) {
    const int pressed = mHighlighted;
    mHighlighted = -1;
    setNeedsDisplay();
    if (pressed >= 0 && !mActionOnMouseDown &&
        segmentAtPoint(convertPointFromView(event.locationInWindow, nullptr)) == pressed && action)
        action();
    // Momentary: a press selects its segment for the action only, so none stays dark as a mode.
    if (pressed >= 0) mSelected = -1;
}
