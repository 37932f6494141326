#include "Source/Toolkit/CellGradients.h"

#include <vector>

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/GraphicsContext.h"

namespace {
constexpr CGFloat kRadius = 3;
// The cells were laid out in flipped views, where 270° runs bottom to top; in y-up that is 90°,
// so the light end stays on top.
constexpr CGFloat kBezelAngle = 90;
// A disabled title fades into the body, as the desktop dims a disabled button's text.
constexpr CGFloat kDisabledTitleAlpha = 0.4;

const std::vector<CGFloat> kLocations{0.0, 0.12, 0.5, 0.5, 0.98, 1.0};

NSGradient whites(std::initializer_list<double> levels) {
    std::vector<NSColor> colors;
    for (double w : levels) colors.push_back(NSColor::colorWithDeviceWhite(w, 1));
    return NSGradient(std::move(colors), kLocations);
}

NSGradient uniform(const NSColor& color) {
    return NSGradient(std::vector<NSColor>(kLocations.size(), color), kLocations);
}

// Deep enough that the white title reads at 4.5 : 1 wherever it lies on the body.
NSGradient blue() {
    const double stops[6][3] = {{0.18, 0.4, 0.645}, {0.15, 0.37, 0.63},  {0.13, 0.35, 0.62},
                                {0.18, 0.41, 0.67}, {0.27, 0.47, 0.705}, {0.375, 0.54, 0.75}};
    std::vector<NSColor> colors;
    for (const auto& s : stops) colors.push_back(NSColor::colorWithDeviceRed(s[0], s[1], s[2], 1));
    return NSGradient(std::move(colors), kLocations);
}

NSBezierPath rounded(const NSRect& frame, CGFloat inset) {
    return NSBezierPath::bezierPathWithRoundedRect(NSInsetRect(frame, inset, inset), kRadius, kRadius);
}
}  // namespace

CellGradients CellGradients::constructGradients() {
    CellGradients g;
    g.normal_active_Gradient = whites({0.17, 0.2, 0.27, 0.3, 0.42, 0.5});
    g.normal_disabled_Gradient = uniform(NSColor::colorWithDeviceWhite(0.36, 1));
    g.normal_inactive_Gradient = uniform(NSColor::colorWithDeviceRed(0.28, 0.29, 0.3, 1));
    g.default_active_Gradient = blue();
    g.default_inactive_Gradient = blue();
    return g;
}

void CellGradients::drawBezel(const NSRect& frame, bool enabled, bool isDefault) const {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    const std::optional<NSGradient>& body =
        !enabled ? normal_inactive_Gradient : (isDefault ? default_active_Gradient : normal_active_Gradient);
    context->saveGraphicsState();
    rounded(frame, 2).addClip();
    if (body) body->drawInRect(frame, kBezelAngle);
    context->restoreGraphicsState();

    if (enabled) {
        NSColor::colorWithDeviceWhite(0.12, 1).setStroke();
        rounded(frame, 1.5).stroke();
        NSColor::colorWithDeviceWhite(1, 0.05).setStroke();
        rounded(frame, 2.5).stroke();
    } else {
        NSColor::colorWithDeviceWhite(1, 0.06).setStroke();
        rounded(frame, 2.5).stroke();
    }
}

TextAttributes gradientCellTextAttributes(bool enabled) {
    TextAttributes attributes;
    attributes.font = NSFont::systemFontOfSize(12);
    attributes.color = NSColor::colorWithDeviceWhite(1, enabled ? 1 : kDisabledTitleAlpha);
    return attributes;
}

void drawGradientCellShade(const NSRect& rect) {
    NSColor::colorWithDeviceWhite(0, 0.35).setFill();
    rounded(rect, 0).fill();
}
