#include "platform/AppKit/TimingFunction.h"

#include <algorithm>
#include <cmath>

namespace {
// One coordinate of the curve with end points 0 and 1 and control values a and b, at parameter s.
double bezier(double a, double b, double s) {
    const double u = 1 - s;
    return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
}
double bezierSlope(double a, double b, double s) {
    const double u = 1 - s;
    return 3 * u * u * a + 6 * u * s * (b - a) + 3 * s * s * (1 - b);
}
}  // namespace

double CAMediaTimingFunction::valueAt(double t) const {
    t = std::clamp(t, 0.0, 1.0);
    if (t == 0 || t == 1) return t;
    // x(s) rises monotonically for control x values within 0 ... 1: Newton's steps, and halving
    // the interval where the slope is too flat for them.
    double s = t;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(mX1, mX2, s) - t;
        if (std::abs(error) < 1e-9) return bezier(mY1, mY2, s);
        const double slope = bezierSlope(mX1, mX2, s);
        if (std::abs(slope) < 1e-6) break;
        s = std::clamp(s - error / slope, 0.0, 1.0);
    }
    double lo = 0, hi = 1;
    s = t;
    for (int i = 0; i < 60; ++i) {
        const double x = bezier(mX1, mX2, s);
        if (std::abs(x - t) < 1e-9) break;
        (x < t ? lo : hi) = s;
        s = (lo + hi) / 2;
    }
    return bezier(mY1, mY2, s);
}
