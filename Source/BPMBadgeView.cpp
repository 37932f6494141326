#include "Source/BPMBadgeView.h"

#include <cmath>

#include "Source/BPMBadgeViewHost.h"
#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"

namespace {
constexpr CGFloat kTextInset = 5;
constexpr CGFloat kMarkGap = 3;
constexpr CGFloat kPadding = 10;
constexpr CGFloat kRadius = 4;
constexpr CGFloat kAboveName = 4;
constexpr CGFloat kAfterText = 5;
constexpr CGFloat kWithoutText = 12;
}  // namespace

NSPoint BPMBadgeOriginBesideName(const NSRect& nameFrame,
                                 std::optional<std::pair<CGFloat, CGFloat>> drawnText) {
    const CGFloat x = drawnText ? drawnText->second + kAfterText : kWithoutText;
    return NSMakePoint(nameFrame.origin.x + x, nameFrame.origin.y + kAboveName);
}

BPMBadgeView::BPMBadgeView(const NSRect& frame, QWidget* parent)
    : View(frame, parent),
      checkMarkString("✓"),
      backColor(0.25, 0.27, 0.28, 1),
      // Deep enough for the white 10-point digits to read at 4.5 : 1.
      backColorConfident(0.15, 0.42, 0.78, 1),
      bpmAttributes{NSFont::systemFontOfSize(10), NSColor::whiteColor(), 0},
      markAttributes{NSFont::systemFontOfSize(9), NSColor::whiteColor(), 0},
      questionAttributes{NSFont::systemFontOfSize(9), NSColor::whiteColor(), 0},
      questionMark(NSImage::imageNamed("questionmark.png")) {}

void BPMBadgeView::setBpm(int bpm) {
    if (bpm == mBpm) return;
    mBpm = bpm;
    setNeedsDisplay();
}

void BPMBadgeView::setAssigned(bool assigned) {
    if (assigned == mAssigned) return;
    mAssigned = assigned;
    setNeedsDisplay();
}

CGFloat BPMBadgeView::badgeWidth(bool confident) const {
    CGFloat width = sizeWithAttributes(std::to_string(mBpm), bpmAttributes).width;
    if (confident) width += sizeWithAttributes(checkMarkString, markAttributes).width + kMarkGap;
    return std::trunc(width) + kPadding;
}

void BPMBadgeView::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context || !fController || !fController->hasCurrentTrack()) return;
    const NSRect b = bounds();
    if (mBpm == 0) {
        if (!questionMark) return;
        context->saveGraphicsState();
        context->setImageInterpolation(NSImageInterpolation::High);
        questionMark->drawInRect(NSMakeRect(NSMinX(b), NSMinY(b), 16, 16));
        context->restoreGraphicsState();
        return;
    }
    if (mBpm < 0) return;
    const bool confident = fController->currentTrackAssigned() || fController->trackPreviouslyAssigned();
    const std::string text = std::to_string(mBpm);
    const NSRect badge = NSMakeRect(NSMinX(b), NSMinY(b) + 1, badgeWidth(confident), kBadgeHeight);
    (confident ? backColorConfident : backColor).setFill();
    NSBezierPath::bezierPathWithRoundedRect(badge, kRadius, kRadius).fill();

    const NSSize textSize = sizeWithAttributes(text, bpmAttributes);
    const NSPoint textAt{NSMinX(badge) + kTextInset,
                         NSMinY(badge) + (kBadgeHeight - textSize.height) / 2 - 1};
    context->drawString(text, textAt, bpmAttributes);
    if (!confident) return;
    // The mark's baseline on the text's: each line box's bottom lies one descent below its baseline.
    const CGFloat baseline = textAt.y + bpmAttributes.font.descender();
    context->drawString(checkMarkString,
                        {textAt.x + textSize.width + kMarkGap, baseline - markAttributes.font.descender()},
                        markAttributes);
}
