// Frames of widgets in the y-up convention: the origin is the bottom-left corner of the parent.
#pragma once

#include "platform/AppKit/Geometry.h"

class QWidget;

NSRect frameOfWidget(const QWidget& widget);
// The frame's bottom-left origin is kept when the parent's height changes later (keepYUpOrigins).
void setFrameOfWidget(QWidget& widget, const NSRect& frame);
// After the parent's size changed, places the children placed by setFrameOfWidget as their
// autoresizing masks say; a child without one keeps its distance from the bottom left.
void keepYUpOrigins(QWidget& parent);

// Which of a view's margins and sizes take up a change of its superview's size.
enum NSAutoresizingMaskOptions : unsigned {
    NSViewNotSizable = 0,
    NSViewMinXMargin = 1,
    NSViewWidthSizable = 2,
    NSViewMaxXMargin = 4,
    NSViewMinYMargin = 8,
    NSViewHeightSizable = 16,
    NSViewMaxYMargin = 32,
};
void setAutoresizingMask(QWidget& widget, unsigned mask);

inline constexpr const char* kYUpOriginProperty = "beatwickYUpOrigin";
inline constexpr const char* kLaidOutParentSizeProperty = "beatwickLaidOutParentSize";
inline constexpr const char* kAutoresizingMaskProperty = "beatwickAutoresizingMask";
