// Colour records as the drawing code takes them.
#pragma once

#include "platform/Carbon/QuickDraw.h"

// The three components as fractions of 65535, from 0 to 1.
constexpr void GetComponentsFromRGBColor(const RGBColor& color, double& red, double& green, double& blue) {
    red = color.red / 65535.0;
    green = color.green / 65535.0;
    blue = color.blue / 65535.0;
}
