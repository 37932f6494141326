#include "Source/MetronomeSegmentedCell.h"

#include <cmath>

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"

namespace {
constexpr CGFloat kImageSide = 10;
constexpr CGFloat kImageTopOffset = 5;
}  // namespace

MetronomeSegmentedCell::MetronomeSegmentedCell(QWidget* parent) : SegmentedControl(kSegments, parent) {}

MetronomeSegmentedCell::MetronomeSegmentedCell(const NSRect& frame, QWidget* parent)
    : MetronomeSegmentedCell(parent) {
    setFrame(frame);
}

NSRect MetronomeSegmentedCell::quarterRect(int segment) const {
    const NSRect b = bounds();
    const CGFloat quarter = NSWidth(b) / 4;
    return NSMakeRect(quarter * segment, 0, quarter, NSHeight(b));
}

NSRect MetronomeSegmentedCell::imageRect(int segment) const {
    const NSRect q = quarterRect(segment);
    return NSMakeRect(NSMinX(q) + (NSWidth(q) - kImageSide) / 2, NSMaxY(q) - kImageTopOffset - kImageSide,
                      kImageSide, kImageSide);
}

void MetronomeSegmentedCell::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    const NSRect b = bounds();
    NSColor::colorWithCalibratedWhite(0.82, 1).setFill();
    NSBezierPath::bezierPathWithRoundedRect(b, 10, 10).fill();

    const int pressed = highlightedSegment();
    if (pressed >= 0 && pressed < kSegments) {
        const NSRect q = quarterRect(pressed);
        const NSRect shade = NSInsetRect(NSMakeRect(NSMinX(q), NSMinY(q), NSWidth(q) + 1, NSHeight(q)), 1, 1);
        context->saveGraphicsState();
        NSBezierPath::bezierPathWithRoundedRect(shade, 3, 3).addClip();
        NSColor::colorWithCalibratedWhite(0, 0.35).setFill();
        context->fillRect(shade);
        context->restoreGraphicsState();
    }

    context->saveGraphicsState();
    context->setShouldAntialias(false);
    NSColor::colorWithCalibratedWhite(0.5, 1).setStroke();
    for (int i = 1; i < kSegments; ++i) {
        const CGFloat x = std::floor(NSMinX(quarterRect(i))) + 0.5;
        NSBezierPath line;
        line.moveToPoint({x, NSMinY(b)});
        line.lineToPoint({x, NSMaxY(b)});
        line.setLineWidth(0);
        line.stroke();
    }
    context->restoreGraphicsState();

    for (int i = 0; i < kSegments; ++i)
        if (const auto image = imageForSegment(i)) image->drawInRect(imageRect(i));
}
