#include "Source/NoBPMView.h"

#include "platform/AppKit/Image.h"

void NoBPMView::drawRect(const NSRect&) {
    if (auto icon = NSImage::imageNamed(NSImageNameApplicationIcon))
        icon->drawInRect(bounds(), {}, NSCompositingOperation::SourceOver, 1.0);
}
