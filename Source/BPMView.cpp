#include "Source/BPMView.h"

#include "platform/AppKit/Image.h"
#include "platform/AppKit/Window.h"

BPMView::BPMView(const NSRect& frame, QWidget* parent)
    : View(frame, parent),
      background_active(NSImage::imageNamed("bpmGradient_active.png")),
      background_inactive(NSImage::imageNamed("bpmGradient_inactive.png")) {}

void BPMView::awakeFromNib() {
    disconnect(mBecameKey);
    disconnect(mResignedKey);
    Window* window = enclosingWindow();
    if (!window) return;
    mBecameKey = connect(window, &Window::didBecomeKey, this, [this] { setNeedsDisplay(); });
    mResignedKey = connect(window, &Window::didResignKey, this, [this] { setNeedsDisplay(); });
}

void BPMView::drawRect(const NSRect&) {
    const Window* window = enclosingWindow();
    const auto& image = window && window->isKeyWindow() ? background_active : background_inactive;
    if (!image) return;
    NSDrawThreePartImage(bounds(), nullptr, image.get(), nullptr, false, NSCompositingOperation::SourceOver,
                         1.0);
}
