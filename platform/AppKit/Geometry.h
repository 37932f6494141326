// Points, sizes and rectangles in the y-up convention of the views: the origin is the bottom-left
// corner and one point is one logical pixel.
#pragma once

#include <algorithm>

using CGFloat = double;

struct NSPoint {
    CGFloat x{0};
    CGFloat y{0};
    friend bool operator==(const NSPoint&, const NSPoint&) = default;
};

struct NSSize {
    CGFloat width{0};
    CGFloat height{0};
    friend bool operator==(const NSSize&, const NSSize&) = default;
};

struct NSRect {
    NSPoint origin;
    NSSize size;
    friend bool operator==(const NSRect&, const NSRect&) = default;
};

inline NSPoint NSMakePoint(CGFloat x, CGFloat y) {
    return {x, y};
}
inline NSSize NSMakeSize(CGFloat w, CGFloat h) {
    return {w, h};
}
inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    return {{x, y}, {w, h}};
}

inline CGFloat NSMinX(const NSRect& r) {
    return r.origin.x;
}
inline CGFloat NSMinY(const NSRect& r) {
    return r.origin.y;
}
inline CGFloat NSMaxX(const NSRect& r) {
    return r.origin.x + r.size.width;
}
inline CGFloat NSMaxY(const NSRect& r) {
    return r.origin.y + r.size.height;
}
inline CGFloat NSMidX(const NSRect& r) {
    return r.origin.x + r.size.width / 2;
}
inline CGFloat NSMidY(const NSRect& r) {
    return r.origin.y + r.size.height / 2;
}
inline CGFloat NSWidth(const NSRect& r) {
    return r.size.width;
}
inline CGFloat NSHeight(const NSRect& r) {
    return r.size.height;
}

inline NSRect NSInsetRect(const NSRect& r, CGFloat dx, CGFloat dy) {
    return NSMakeRect(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx, r.size.height - 2 * dy);
}
inline NSRect NSOffsetRect(const NSRect& r, CGFloat dx, CGFloat dy) {
    return NSMakeRect(r.origin.x + dx, r.origin.y + dy, r.size.width, r.size.height);
}
inline bool NSIsEmptyRect(const NSRect& r) {
    return r.size.width <= 0 || r.size.height <= 0;
}

// Half-open on the far edges, as the platform tests a point against a rectangle.
inline bool NSPointInRect(const NSPoint& p, const NSRect& r) {
    return p.x >= NSMinX(r) && p.x < NSMaxX(r) && p.y >= NSMinY(r) && p.y < NSMaxY(r);
}

inline NSRect NSIntersectionRect(const NSRect& a, const NSRect& b) {
    const CGFloat x0 = std::max(NSMinX(a), NSMinX(b)), x1 = std::min(NSMaxX(a), NSMaxX(b));
    const CGFloat y0 = std::max(NSMinY(a), NSMinY(b)), y1 = std::min(NSMaxY(a), NSMaxY(b));
    if (x1 <= x0 || y1 <= y0) return {};
    return NSMakeRect(x0, y0, x1 - x0, y1 - y0);
}
