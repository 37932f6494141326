#include "Source/Toolkit/GradientSegmentedCell.h"

#include <cmath>

#include "platform/AppKit/GraphicsContext.h"

namespace {
constexpr int kSegments = 2;
// Narrow labels ("+", "−") sit a point higher to look centred.
constexpr CGFloat kNarrowLabel = 10;
}  // namespace

GradientSegmentedCell::GradientSegmentedCell(QWidget* parent) : SegmentedControl(kSegments, parent) {
    setSendsActionOnMouseDown(true);
}

GradientSegmentedCell::GradientSegmentedCell(const NSRect& frame, QWidget* parent)
    : GradientSegmentedCell(parent) {
    setFrame(frame);
}

NSRect GradientSegmentedCell::shadeRect(int segment) const {
    const NSRect b = bounds();
    const CGFloat half = NSWidth(b) / 2;
    const NSRect r = NSMakeRect(segment == 0 ? 0 : half - 1, 0, half + 1, NSHeight(b));
    return NSInsetRect(r, 1, 1);
}

void GradientSegmentedCell::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    const NSRect frame = bounds();
    const CGFloat half = NSWidth(frame) / 2;
    const CGFloat height = NSHeight(frame);
    mGradients.drawBezel(frame, isEnabled(), false);

    const int pressed = highlightedSegment();
    if (pressed >= 0 && pressed < kSegments) drawGradientCellShade(shadeRect(pressed));

    NSColor::colorWithDeviceWhite(isEnabled() ? 0.12 : 0.32, 1).setFill();
    context->fillRect(NSMakeRect(std::floor(half), 2, 1, height - 4));

    const TextAttributes attributes = gradientCellTextAttributes(isEnabled());
    for (int i = 0; i < kSegments; ++i) {
        const std::string label = labelForSegment(i);
        const NSSize t = sizeWithAttributes(label, attributes);
        const CGFloat x = i == 0 ? (half - t.width) / 2 + 1 : half + (half - t.width) / 2;
        const CGFloat y = (height - t.height) / 2 + (t.width < kNarrowLabel ? 1 : 0);
        context->drawString(label, NSMakePoint(x, y), attributes);
    }
}
