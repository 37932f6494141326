// QuickDraw's colour record.
#pragma once

#include "platform/Carbon/MacTypes.h"

// Three 16-bit components; 65535 is full intensity.
struct RGBColor {
    UInt16 red{0};
    UInt16 green{0};
    UInt16 blue{0};
};
