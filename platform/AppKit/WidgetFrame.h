// Frames of widgets in the y-up convention: the origin is the bottom-left corner of the parent.
#pragma once

#include "platform/AppKit/Geometry.h"

class QWidget;

NSRect frameOfWidget(const QWidget& widget);
// The frame's bottom-left origin is kept when the parent's height changes later (keepYUpOrigins).
void setFrameOfWidget(QWidget& widget, const NSRect& frame);
// Moves the children placed by setFrameOfWidget back to their y-up origins after the parent's
// height changed, as views without autoresizing keep their distance from the bottom.
void keepYUpOrigins(QWidget& parent);

inline constexpr const char* kYUpOriginProperty = "beatwickYUpOrigin";
