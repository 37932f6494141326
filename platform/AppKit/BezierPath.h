// A path in y-up coordinates, filled, stroked or clipped to in the current graphics context.
#pragma once

#include <QPainterPath>

#include "platform/AppKit/Geometry.h"

class NSBezierPath {
public:
    NSBezierPath() = default;

    static NSBezierPath bezierPathWithRect(const NSRect& rect);
    static NSBezierPath bezierPathWithOvalInRect(const NSRect& rect);
    static NSBezierPath bezierPathWithRoundedRect(const NSRect& rect, CGFloat xRadius, CGFloat yRadius);

    void moveToPoint(NSPoint p) { mPath.moveTo(p.x, p.y); }
    void lineToPoint(NSPoint p) { mPath.lineTo(p.x, p.y); }
    void curveToPoint(NSPoint end, NSPoint control1, NSPoint control2) {
        mPath.cubicTo(control1.x, control1.y, control2.x, control2.y, end.x, end.y);
    }
    // Angles in degrees, counter-clockwise from the positive x axis unless `clockwise`.
    void appendBezierPathWithArcWithCenter(NSPoint center, CGFloat radius, CGFloat startAngle,
                                           CGFloat endAngle, bool clockwise = false);
    void appendBezierPathWithRect(const NSRect& rect);
    void closePath() { mPath.closeSubpath(); }

    void setLineWidth(CGFloat width) { mLineWidth = width; }
    CGFloat lineWidth() const { return mLineWidth; }
    void setLineJoinStyle(Qt::PenJoinStyle join) { mJoin = join; }
    void setLineCapStyle(Qt::PenCapStyle cap) { mCap = cap; }

    bool isEmpty() const { return mPath.isEmpty(); }
    NSRect bounds() const;
    bool containsPoint(NSPoint p) const { return mPath.contains(QPointF(p.x, p.y)); }

    // With the current context's fill or stroke colour; nothing outside drawing.
    void fill() const;
    void stroke() const;
    void addClip() const;

    const QPainterPath& qtPath() const { return mPath; }

private:
    QPainterPath mPath;
    CGFloat mLineWidth{1.0};
    Qt::PenJoinStyle mJoin{Qt::MiterJoin};
    Qt::PenCapStyle mCap{Qt::FlatCap};
};
