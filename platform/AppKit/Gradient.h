// A linear gradient of colour stops, drawn at an angle over a rectangle or a path.
#pragma once

#include <vector>

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Geometry.h"

class NSGradient {
public:
    // Evenly spaced stops when no locations are given; locations run from 0 to 1.
    NSGradient(std::vector<NSColor> colors, std::vector<CGFloat> locations = {});
    NSGradient(const NSColor& start, const NSColor& end) : NSGradient(std::vector<NSColor>{start, end}) {}

    // Angle in degrees: 0 runs left to right, 90 bottom to top, 270 top to bottom.
    void drawInRect(const NSRect& rect, CGFloat angle) const;
    void drawInBezierPath(const NSBezierPath& path, CGFloat angle) const;

    NSColor interpolatedColorAtLocation(CGFloat location) const;
    int numberOfColorStops() const { return static_cast<int>(mColors.size()); }

private:
    void fill(const QPainterPath& path, const NSRect& over, CGFloat angle) const;

    std::vector<NSColor> mColors;
    std::vector<CGFloat> mLocations;
};
