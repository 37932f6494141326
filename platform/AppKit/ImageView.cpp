#include "platform/AppKit/ImageView.h"

#include <cmath>

#include "platform/AppKit/Image.h"
#include "platform/AppKit/WidgetFrame.h"

ImageView::ImageView(QWidget* parent) : View(parent) {}

ImageView::ImageView(const NSRect& frame, QWidget* parent) : View(frame, parent) {}

void ImageView::setImage(std::shared_ptr<NSImage> image) {
    mImage = std::move(image);
    setNeedsDisplay();
}

void ImageView::setImageScaling(NSImageScaling scaling) {
    mScaling = scaling;
    setNeedsDisplay();
}

NSRect ImageView::imageRect() const {
    const NSRect b = bounds();
    if (!mImage) return {};
    NSSize s = mImage->size();
    if (s.width <= 0 || s.height <= 0) return {};
    const double fit = std::min(b.size.width / s.width, b.size.height / s.height);
    switch (mScaling) {
        case NSImageScaling::AxesIndependently:
            return b;
        case NSImageScaling::None:
            break;
        case NSImageScaling::ProportionallyDown:
            if (fit < 1) s = {s.width * fit, s.height * fit};
            break;
        case NSImageScaling::ProportionallyUpOrDown:
            s = {s.width * fit, s.height * fit};
            break;
    }
    return NSMakeRect((b.size.width - s.width) / 2, (b.size.height - s.height) / 2, s.width, s.height);
}

void ImageView::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    const double opacity = mLayer.presentationOpacity();
    if (!context || !mImage || opacity <= 0) return;
    // The layer maps its bounds into the superview: anchor at the position, turned about it.
    const NSRect f = frameOfWidget(*this);
    const NSPoint p = mLayer.position();
    const NSPoint a = mLayer.anchorPoint();
    context->saveGraphicsState();
    context->translate(p.x - f.origin.x, p.y - f.origin.y);
    context->rotateByDegrees(mLayer.presentationRotation() * 180 / M_PI);
    context->translate(-a.x * f.size.width, -a.y * f.size.height);
    context->setImageInterpolation(NSImageInterpolation::High);
    mImage->drawInRect(imageRect(), {}, NSCompositingOperation::SourceOver, opacity);
    context->restoreGraphicsState();
}
