// A horizontal (or vertical) slider between a minimum and a maximum. Presses and drags move the
// value along the bar; a continuous slider sends its action at every move, else on release.
// Subclasses draw their own bar and knob and may give the bar another rectangle.
#pragma once

#include <functional>

#include "platform/AppKit/View.h"

class Slider : public View {
    Q_OBJECT
public:
    explicit Slider(QWidget* parent = nullptr);

    double minValue() const { return mMin; }
    double maxValue() const { return mMax; }
    void setMinValue(double value);
    void setMaxValue(double value);
    double doubleValue() const { return mValue; }
    float floatValue() const { return static_cast<float>(mValue); }
    int intValue() const;
    // Clamped to the range.
    void setDoubleValue(double value);
    void setFloatValue(float value) { setDoubleValue(value); }
    void setIntValue(int value) { setDoubleValue(value); }

    bool isVertical() const { return mVertical; }
    void setVertical(bool vertical);
    bool isContinuous() const { return mContinuous; }
    void setContinuous(bool continuous) { mContinuous = continuous; }
    bool isTracking() const { return mTracking; }

    std::function<void()> action;
    void sendAction();

    // The rectangle the knob's centre travels, in the view; the bounds by default.
    virtual NSRect barRect() const;
    NSRect knobRect() const;
    void setKnobThickness(CGFloat thickness);

    void drawRect(const NSRect& dirtyRect) override;
    void mouseDown(const NSEvent& event) override;
    void mouseDragged(const NSEvent& event) override;
    void mouseUp(const NSEvent& event) override;

private:
    void track(const NSEvent& event);

    double mMin{0};
    double mMax{1};
    double mValue{0};
    bool mVertical{false};
    bool mContinuous{true};
    bool mTracking{false};
    CGFloat mKnobThickness{12};
};
