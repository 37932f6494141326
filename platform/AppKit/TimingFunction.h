// Timing of an animation: a cubic Bezier from (0, 0) to (1, 1) through two control points, mapping
// the elapsed fraction of the duration to the fraction of the change.
#pragma once

class CAMediaTimingFunction {
public:
    constexpr CAMediaTimingFunction(double x1, double y1, double x2, double y2)
        : mX1(x1), mY1(y1), mX2(x2), mY2(y2) {}

    static constexpr CAMediaTimingFunction linear() { return {0, 0, 1, 1}; }
    static constexpr CAMediaTimingFunction easeIn() { return {0.42, 0, 1, 1}; }
    static constexpr CAMediaTimingFunction easeOut() { return {0, 0, 0.58, 1}; }
    static constexpr CAMediaTimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }

    // The eased fraction at the elapsed fraction t, which is clamped to 0 ... 1.
    double valueAt(double t) const;

private:
    double mX1, mY1, mX2, mY2;
};
