#include "Source/ArtworkImageView.h"

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/Window.h"

ArtworkImageView::ArtworkImageView(const NSRect& frame, QWidget* parent)
    : ImageView(frame, parent),
      frame_active(NSImage::imageNamed("ArtworkFrame_active.png")),
      frame_inactive(NSImage::imageNamed("ArtworkFrame_inactive.png")) {}

void ArtworkImageView::awakeFromNib() {
    disconnect(mBecameKey);
    disconnect(mResignedKey);
    Window* window = enclosingWindow();
    if (!window) return;
    mBecameKey = connect(window, &Window::didBecomeKey, this, [this] { setNeedsDisplay(); });
    mResignedKey = connect(window, &Window::didResignKey, this, [this] { setNeedsDisplay(); });
}

void ArtworkImageView::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    const NSRect b = bounds();
    if (mDrawBorder) {
        const Window* window = enclosingWindow();
        const auto& border = window && window->isKeyWindow() ? frame_active : frame_inactive;
        if (border) border->drawInRect(b);
    }
    const auto artwork = image();
    if (!artwork) return;
    const NSRect inner = NSMakeRect(NSMinX(b) + 3, NSMinY(b) + 3, NSWidth(b) - 6, NSHeight(b) - 6);
    context->saveGraphicsState();
    NSBezierPath::bezierPathWithRoundedRect(inner, 4, 4).addClip();
    context->setImageInterpolation(NSImageInterpolation::High);
    artwork->drawInRect(inner);
    context->restoreGraphicsState();
}
