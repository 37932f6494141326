#include "Source/RatingView.h"

#include <QCursor>
#include <array>

#include "Source/RatingViewHost.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"

namespace {

constexpr const char* kFiveStars = "★★★★★";
constexpr const char* kOneStar = "★";
constexpr CGFloat kKern = 4.0;
constexpr int kSmallFont = 12;

// Right edges of the stars' click zones: the zones are fixed for stars 16 points apart.
struct StarZone {
    float lastX;
    int star;
};
constexpr std::array<StarZone, 4> kStarZones{{{14, 1}, {30, 2}, {46, 3}, {62, 4}}};

}  // namespace

RatingView::RatingView(const NSRect& frame, QWidget* parent)
    : View(frame, parent),
      nostars(NSImage::imageNamed("nostars.png")),
      nostars_small(NSImage::imageNamed("nostars_small.png")) {}

void RatingView::setRating(int rating) {
    if (rating == mRating) return;
    mRating = rating;
    setNeedsDisplay();
}

void RatingView::setReadOnly(bool readOnly) {
    mReadOnly = readOnly;
    updateTrackingAreas();
}

float RatingView::clipWidthForRating(int rating) const {
    if (rating == 0) return 0;
    if (rating == 100) return static_cast<float>(NSWidth(bounds()));
    const int n = rating / 20;
    const float s = mStarWidth;
    float w = static_cast<float>(n - 1) * 4 + static_cast<float>(n) * s;
    if (rating % 20 != 0 && mHalfStars) w += s + 4 - (mFontSize < kSmallFont ? 5 : 6);
    return w;
}

int RatingView::starClicked(float x) const {
    if (x < 2) return 0;
    for (const StarZone& zone : kStarZones)
        if (x <= zone.lastX) return zone.star;
    return 5;
}

void RatingView::mouseDown(const NSEvent& event) {
    if (!mReadOnly) rateAt(event);
}

void RatingView::mouseDragged(const NSEvent& event) {
    if (!mReadOnly) rateAt(event);
}

void RatingView::rateAt(const NSEvent& event) {
    float x = static_cast<float>(convertPointFromView(event.locationInWindow, nullptr).x);
    const int k = starClicked(x);
    if (k >= 2) x -= (mStarWidth + 4) * static_cast<float>(k - 1);
    int rating = k * 20;
    // The first 4 points of a star give the half star before it.
    if (k > 0 && x < 4 && mHalfStars) rating -= 10;
    setRating(rating);
    if (fController) {
        fController->rateCurrentTrack(rating);
        fController->ratingChanged(rating);
    }
}

void RatingView::mouseEntered(const NSEvent& event) {
    if (!event.trackingArea || event.trackingArea->userInfoKey != kTrackingKey) return;
    if (mRating == 0) {
        mHovering = true;
        setNeedsDisplay();
    } else {
        mHovering = false;
    }
}

void RatingView::mouseExited(const NSEvent&) {
    if (!mHovering) return;
    mHovering = false;
    setNeedsDisplay();
}

void RatingView::updateTrackingAreas() {
    removeTrackingAreas(kTrackingKey);
    if (mReadOnly) return;
    TrackingArea area{bounds(), kTrackingKey, false};
    if (isVisible()) {
        const QPoint mouse = mapFromGlobal(QCursor::pos());
        area.inside = rect().contains(mouse);
    }
    addTrackingArea(area);
    if (area.inside) setNeedsDisplay();
}

void RatingView::drawRect(const NSRect& dirtyRect) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    if (mRating == 0 && !mHovering) {
        const auto& image = mFontSize < kSmallFont ? nostars_small : nostars;
        if (image) image->drawInRect(dirtyRect);
        return;
    }
    const NSFont font = NSFont::systemFontOfSize(mFontSize);
    const TextAttributes grey{font, NSColor::colorWithCalibratedRed(0.76, 0.76, 0.76, 0.8), kKern};
    const TextAttributes white{font, NSColor::whiteColor(), kKern};
    const NSRect b = bounds();
    context->drawString(kFiveStars, b.origin, grey);
    if (mRating <= 0) return;
    mStarWidth = static_cast<float>(sizeWithAttributes(kOneStar, grey).width - kKern);
    const float clip = clipWidthForRating(mRating);
    if (clip <= 0) return;
    context->saveGraphicsState();
    context->clipToRect(NSMakeRect(NSMinX(b), NSMinY(b), clip, NSHeight(b)));
    context->drawString(kFiveStars, b.origin, white);
    context->restoreGraphicsState();
}
