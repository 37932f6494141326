#include "platform/AppKit/BezierPath.h"

#include <cmath>

#include "platform/AppKit/GraphicsContext.h"

NSBezierPath NSBezierPath::bezierPathWithRect(const NSRect& rect) {
    NSBezierPath path;
    path.appendBezierPathWithRect(rect);
    return path;
}

NSBezierPath NSBezierPath::bezierPathWithOvalInRect(const NSRect& rect) {
    NSBezierPath path;
    path.mPath.addEllipse(QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height));
    return path;
}

NSBezierPath NSBezierPath::bezierPathWithRoundedRect(const NSRect& rect, CGFloat xRadius, CGFloat yRadius) {
    NSBezierPath path;
    // Radii are capped at half the sides, so a badge narrower than twice its radius stays a capsule.
    const CGFloat rx = std::clamp(xRadius, 0.0, rect.size.width / 2);
    const CGFloat ry = std::clamp(yRadius, 0.0, rect.size.height / 2);
    path.mPath.addRoundedRect(QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height), rx,
                              ry);
    return path;
}

void NSBezierPath::appendBezierPathWithRect(const NSRect& rect) {
    mPath.addRect(QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height));
}

void NSBezierPath::appendBezierPathWithArcWithCenter(NSPoint center, CGFloat radius, CGFloat startAngle,
                                                     CGFloat endAngle, bool clockwise) {
    // Qt's arcs turn the other way round in y-up coordinates, so its angles are negated.
    CGFloat sweep = endAngle - startAngle;
    if (!clockwise && sweep < 0) sweep += 360 * std::ceil(-sweep / 360);
    if (clockwise && sweep > 0) sweep -= 360 * std::ceil(sweep / 360);
    const QRectF box(center.x - radius, center.y - radius, 2 * radius, 2 * radius);
    const double rad = startAngle * M_PI / 180;
    const QPointF start(center.x + radius * std::cos(rad), center.y + radius * std::sin(rad));
    if (mPath.elementCount() == 0)
        mPath.moveTo(start);
    else
        mPath.lineTo(start);
    mPath.arcTo(box, -startAngle, -sweep);
}

NSRect NSBezierPath::bounds() const {
    const QRectF r = mPath.boundingRect();
    return NSMakeRect(r.x(), r.y(), r.width(), r.height());
}

void NSBezierPath::fill() const {
    if (GraphicsContext* context = GraphicsContext::currentContext()) context->fillPath(mPath);
}

void NSBezierPath::stroke() const {
    if (GraphicsContext* context = GraphicsContext::currentContext())
        context->strokePath(mPath, mLineWidth, mJoin, mCap);
}

void NSBezierPath::addClip() const {
    if (GraphicsContext* context = GraphicsContext::currentContext()) context->clipToPath(mPath);
}
