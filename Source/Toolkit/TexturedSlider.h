// The window's textured slider: a dark three-part bar and an image knob, optionally flanked by
// two indicator buttons that jump to the minimum and the maximum (speakers for a volume, photos
// for a size). The layer's slider is cell and control in one, so this class is both. The buttons
// are placed when the frame or the indicator changes, never while drawing. Main thread only.
#pragma once

#include <memory>

#include "platform/AppKit/Slider.h"

class Button;
class NSImage;

class TexturedSlider : public Slider {
    Q_OBJECT
public:
    enum Indicator : int { kNoIndicator = 0, kPhotoIndicator = 2, kSpeakerIndicator = 3 };
    // The room each indicator button takes beside the bar.
    static constexpr CGFloat kIndicatorWidth = 25;

    explicit TexturedSlider(QWidget* parent = nullptr);
    ~TexturedSlider() override;

    int indicatorIndex() const { return mIndicatorIndex; }
    // Adding an indicator to a slider without one widens its frame by 50 and moves it 25 left,
    // so the bar stays where it was; removing it narrows the frame back.
    void setIndicatorIndex(int index);
    Button* minButton() const { return mMinButton.get(); }
    Button* maxButton() const { return mMaxButton.get(); }

    // 0 or 1: one pixel more of bar height.
    int trackHeight() const { return mTrackHeight; }
    void setTrackHeight(int height);
    // The knob shows pressed while the slider tracks the mouse.
    bool isPressed() const { return isTracking(); }

    // The rectangle the bar and knob are drawn in: the bounds, less the indicator buttons.
    NSRect sliderCellRect() const;
    NSRect barRect() const override { return sliderCellRect(); }
    // Where the bar's three-part image goes.
    NSRect trackRect() const;

    void setEnabled(bool enabled);
    void setSliderToMinimum();
    void setSliderToMaximum();

    void drawRect(const NSRect& dirtyRect) override;
    void mouseDown(const NSEvent& event) override;
    void scrollWheel(const NSEvent& event) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeIndicatorButtons();
    std::unique_ptr<Button> makeIndicatorButton(const char* image, void (TexturedSlider::*action)());

    int mIndicatorIndex{kNoIndicator};
    int mTrackHeight{0};
    std::unique_ptr<Button> mMinButton;
    std::unique_ptr<Button> mMaxButton;
    std::shared_ptr<NSImage> mTrackLeft, mTrackFill, mTrackRight, mKnobPressed, mKnobNormal;
};
