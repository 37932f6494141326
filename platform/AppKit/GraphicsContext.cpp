#include "platform/AppKit/GraphicsContext.h"

#include <QFontMetricsF>
#include <QImage>

namespace {
thread_local GraphicsContext* gCurrent = nullptr;

QPainter::CompositionMode compositionMode(NSCompositingOperation operation) {
    return operation == NSCompositingOperation::Copy ? QPainter::CompositionMode_Source
                                                     : QPainter::CompositionMode_SourceOver;
}
}  // namespace

GraphicsContext::GraphicsContext(QPainter& painter, CGFloat height)
    : mPainter(painter), mHeight(height), mOuter(gCurrent) {
    mPainter.save();
    mPainter.translate(0, height);
    mPainter.scale(1, -1);
    mPainter.setRenderHint(QPainter::Antialiasing, true);
    mPainter.setRenderHint(QPainter::TextAntialiasing, true);
    gCurrent = this;
}

GraphicsContext::~GraphicsContext() {
    while (!mSaved.empty()) restoreGraphicsState();
    mPainter.restore();
    gCurrent = mOuter;
}

GraphicsContext* GraphicsContext::currentContext() {
    return gCurrent;
}

void GraphicsContext::saveGraphicsState() {
    mSaved.push_back(mState);
    mPainter.save();
}

void GraphicsContext::restoreGraphicsState() {
    if (mSaved.empty()) return;
    mState = mSaved.back();
    mSaved.pop_back();
    mPainter.restore();
}

void GraphicsContext::setShouldAntialias(bool on) {
    mPainter.setRenderHint(QPainter::Antialiasing, on);
}

void GraphicsContext::setImageInterpolation(NSImageInterpolation interpolation) {
    mState.interpolation = interpolation;
}

void GraphicsContext::setCompositingOperation(NSCompositingOperation operation) {
    mPainter.setCompositionMode(compositionMode(operation));
}

void GraphicsContext::translate(CGFloat dx, CGFloat dy) {
    mPainter.translate(dx, dy);
}

void GraphicsContext::rotateByDegrees(CGFloat degrees) {
    mPainter.rotate(degrees);
}

void GraphicsContext::fillRect(const NSRect& rect) {
    mPainter.fillRect(QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height),
                      mState.fill.toQColor());
}

void GraphicsContext::fillPath(const QPainterPath& path) {
    mPainter.fillPath(path, mState.fill.toQColor());
}

void GraphicsContext::fillPathWithBrush(const QPainterPath& path, const QBrush& brush) {
    mPainter.fillPath(path, brush);
}

void GraphicsContext::strokePath(const QPainterPath& path, CGFloat lineWidth, Qt::PenJoinStyle join,
                                 Qt::PenCapStyle cap) {
    QPen pen(mState.stroke.toQColor());
    // A zero width is the thinnest line the device can show, as a hairline is.
    pen.setWidthF(lineWidth > 0 ? lineWidth : 1.0);
    pen.setCosmetic(lineWidth <= 0);
    pen.setJoinStyle(join);
    pen.setCapStyle(cap);
    mPainter.strokePath(path, pen);
}

void GraphicsContext::clipToPath(const QPainterPath& path) {
    mPainter.setClipPath(path, Qt::IntersectClip);
}

void GraphicsContext::clipToRect(const NSRect& rect) {
    mPainter.setClipRect(QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height),
                         Qt::IntersectClip);
}

void GraphicsContext::drawImage(const QImage& image, NSSize imageSize, const NSRect& rect, const NSRect& from,
                                NSCompositingOperation operation, CGFloat fraction) {
    if (image.isNull() || NSIsEmptyRect(rect) || imageSize.width <= 0 || imageSize.height <= 0) return;
    const NSRect part = NSIsEmptyRect(from) ? NSMakeRect(0, 0, imageSize.width, imageSize.height) : from;
    const double sx = image.width() / imageSize.width, sy = image.height() / imageSize.height;
    const QRectF source(part.origin.x * sx, (imageSize.height - NSMaxY(part)) * sy, part.size.width * sx,
                        part.size.height * sy);
    mPainter.save();
    mPainter.translate(rect.origin.x, NSMaxY(rect));
    mPainter.scale(1, -1);
    mPainter.setOpacity(mPainter.opacity() * std::clamp(fraction, 0.0, 1.0));
    mPainter.setCompositionMode(compositionMode(operation));
    mPainter.setRenderHint(QPainter::SmoothPixmapTransform,
                           mState.interpolation != NSImageInterpolation::None);
    mPainter.drawImage(QRectF(0, 0, rect.size.width, rect.size.height), image, source);
    mPainter.restore();
}

void GraphicsContext::drawString(const std::string& text, NSPoint point, const TextAttributes& attributes) {
    const QFont font = attributes.font.toQFont(attributes.kern);
    const QFontMetricsF metrics(font);
    mPainter.save();
    mPainter.translate(point.x, point.y);
    mPainter.scale(1, -1);
    mPainter.setFont(font);
    mPainter.setPen(attributes.color.toQColor());
    mPainter.drawText(QPointF(0, -metrics.descent()), QString::fromStdString(text));
    mPainter.restore();
}

void GraphicsContext::drawStringInRect(const std::string& text, const NSRect& rect,
                                       const TextAttributes& attributes) {
    const NSSize size = sizeWithAttributes(text, attributes);
    saveGraphicsState();
    clipToRect(rect);
    drawString(text, NSMakePoint(rect.origin.x, NSMaxY(rect) - size.height), attributes);
    restoreGraphicsState();
}

void NSColor::set() const {
    setFill();
    setStroke();
}

void NSColor::setFill() const {
    if (GraphicsContext* context = GraphicsContext::currentContext()) context->setFillColor(*this);
}

void NSColor::setStroke() const {
    if (GraphicsContext* context = GraphicsContext::currentContext()) context->setStrokeColor(*this);
}

void NSRectFill(const NSRect& rect) {
    NSRectFillUsingOperation(rect, NSCompositingOperation::Copy);
}

void NSRectFillUsingOperation(const NSRect& rect, NSCompositingOperation operation) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    context->saveGraphicsState();
    context->setCompositingOperation(operation);
    context->fillRect(rect);
    context->restoreGraphicsState();
}

void NSFrameRectWithWidth(const NSRect& rect, CGFloat width) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    context->saveGraphicsState();
    context->fillRect(NSMakeRect(rect.origin.x, rect.origin.y, rect.size.width, width));
    context->fillRect(NSMakeRect(rect.origin.x, NSMaxY(rect) - width, rect.size.width, width));
    context->fillRect(NSMakeRect(rect.origin.x, rect.origin.y, width, rect.size.height));
    context->fillRect(NSMakeRect(NSMaxX(rect) - width, rect.origin.y, width, rect.size.height));
    context->restoreGraphicsState();
}
