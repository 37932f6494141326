#include "platform/AppKit/Gradient.h"

#include <QLinearGradient>
#include <cmath>

#include "platform/AppKit/GraphicsContext.h"

NSGradient::NSGradient(std::vector<NSColor> colors, std::vector<CGFloat> locations)
    : mColors(std::move(colors)), mLocations(std::move(locations)) {
    if (mLocations.size() != mColors.size()) {
        mLocations.clear();
        const size_t n = mColors.size();
        for (size_t i = 0; i < n; ++i) mLocations.push_back(n > 1 ? static_cast<CGFloat>(i) / (n - 1) : 0.0);
    }
}

NSColor NSGradient::interpolatedColorAtLocation(CGFloat location) const {
    if (mColors.empty()) return NSColor::clearColor();
    if (location <= mLocations.front()) return mColors.front();
    for (size_t i = 1; i < mColors.size(); ++i) {
        if (location <= mLocations[i]) {
            const CGFloat span = mLocations[i] - mLocations[i - 1];
            const CGFloat t = span > 0 ? (location - mLocations[i - 1]) / span : 1.0;
            const NSColor &a = mColors[i - 1], &b = mColors[i];
            auto mix = [t](double x, double y) { return x + (y - x) * t; };
            return {mix(a.redComponent(), b.redComponent()), mix(a.greenComponent(), b.greenComponent()),
                    mix(a.blueComponent(), b.blueComponent()), mix(a.alphaComponent(), b.alphaComponent())};
        }
    }
    return mColors.back();
}

void NSGradient::drawInRect(const NSRect& rect, CGFloat angle) const {
    QPainterPath path;
    path.addRect(QRectF(rect.origin.x, rect.origin.y, rect.size.width, rect.size.height));
    fill(path, rect, angle);
}

void NSGradient::drawInBezierPath(const NSBezierPath& path, CGFloat angle) const {
    fill(path.qtPath(), path.bounds(), angle);
}

// The gradient spans the rectangle's extent along the angle, so its first and last stops touch
// the corners that lie furthest back and furthest forward.
void NSGradient::fill(const QPainterPath& path, const NSRect& over, CGFloat angle) const {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context || mColors.empty()) return;
    const double rad = angle * M_PI / 180;
    const double dx = std::cos(rad), dy = std::sin(rad);
    const double half = (std::abs(dx) * over.size.width + std::abs(dy) * over.size.height) / 2;
    const QPointF centre(NSMidX(over), NSMidY(over));
    QLinearGradient linear(centre - QPointF(dx * half, dy * half), centre + QPointF(dx * half, dy * half));
    // Two stops at one location make a hard edge; Qt keeps the later one, so it is nudged.
    for (size_t i = 0; i < mColors.size(); ++i) {
        double at = std::clamp(mLocations[i], 0.0, 1.0);
        if (i > 0 && at <= mLocations[i - 1]) at = std::min(1.0, mLocations[i - 1] + 1e-6);
        linear.setColorAt(at, mColors[i].toQColor());
    }
    context->fillPathWithBrush(path, QBrush(linear));
}
