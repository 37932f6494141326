// Colours as the drawing code names them: components from 0 to 1 with an opacity.
#pragma once

#include <QColor>

class NSColor {
public:
    constexpr NSColor() = default;
    constexpr NSColor(double r, double g, double b, double a = 1.0)
        : mRed(r), mGreen(g), mBlue(b), mAlpha(a) {}

    static constexpr NSColor colorWithCalibratedWhite(double w, double a) { return {w, w, w, a}; }
    static constexpr NSColor colorWithDeviceWhite(double w, double a) { return {w, w, w, a}; }
    static constexpr NSColor colorWithCalibratedRed(double r, double g, double b, double a) {
        return {r, g, b, a};
    }
    static constexpr NSColor colorWithDeviceRed(double r, double g, double b, double a) {
        return {r, g, b, a};
    }
    static constexpr NSColor whiteColor() { return {1, 1, 1, 1}; }
    static constexpr NSColor blackColor() { return {0, 0, 0, 1}; }
    static constexpr NSColor clearColor() { return {0, 0, 0, 0}; }

    constexpr NSColor colorWithAlphaComponent(double a) const { return {mRed, mGreen, mBlue, a}; }
    // Blends towards black by the fraction, as shadows and pressed states darken a colour.
    constexpr NSColor shadowWithLevel(double level) const {
        return {mRed * (1 - level), mGreen * (1 - level), mBlue * (1 - level), mAlpha};
    }

    constexpr double redComponent() const { return mRed; }
    constexpr double greenComponent() const { return mGreen; }
    constexpr double blueComponent() const { return mBlue; }
    constexpr double alphaComponent() const { return mAlpha; }

    // Make this the fill and stroke colour (or one of them) of the current graphics context.
    void set() const;
    void setFill() const;
    void setStroke() const;

    QColor toQColor() const { return QColor::fromRgbF(mRed, mGreen, mBlue, mAlpha); }

    friend constexpr bool operator==(const NSColor&, const NSColor&) = default;

private:
    double mRed{0};
    double mGreen{0};
    double mBlue{0};
    double mAlpha{1};
};
