// The dark gradient look that the window's buttons and two-part segmented buttons share: seven
// gradients (the two pressed ones never built) and the bezel drawn from them. Main thread only.
#pragma once

#include <optional>

#include "platform/AppKit/Font.h"
#include "platform/AppKit/Gradient.h"

struct CellGradients {
    std::optional<NSGradient> normal_active_Gradient;
    std::optional<NSGradient> normal_inactive_Gradient;
    std::optional<NSGradient> normal_disabled_Gradient;
    std::optional<NSGradient> normal_pressed_Gradient;
    std::optional<NSGradient> default_active_Gradient;
    std::optional<NSGradient> default_inactive_Gradient;
    std::optional<NSGradient> default_pressed_Gradient;

    static CellGradients constructGradients();

    // The rounded gradient body with its two edge lines; the default look is blue.
    void drawBezel(const NSRect& frame, bool enabled, bool isDefault) const;
};

// 12-point system text for titles and segment labels: white, dimmed when the control is disabled.
TextAttributes gradientCellTextAttributes(bool enabled);
// The press shade: black at 0.35 over a rectangle with the bezel's rounded corners.
void drawGradientCellShade(const NSRect& rect);
