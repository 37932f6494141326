#include "Source/TrackView.h"

#include "platform/AppKit/Image.h"

TrackView::TrackView(const NSRect& frame, QWidget* parent)
    : View(frame, parent),
      background_active(NSImage::imageNamed("TrackBG_active.png")),
      background_inactive(NSImage::imageNamed("TrackBG_inactive.png")) {}

void TrackView::drawRect(const NSRect&) {
    if (!background_active) return;
    NSDrawThreePartImage(bounds(), nullptr, background_active.get(), nullptr, false,
                         NSCompositingOperation::SourceOver, 1.0);
}
