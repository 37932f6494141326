// The 36-point square in the tap area that shows the beat: a pendulum that swings from one extreme
// to the other in one beat, a line that flips sides every beat when the tempo is too fast to swing,
// or an LED that flashes and fades in 0.2 s. The style is the "MetronomeStyle" setting (0 pendulum,
// 1 LED). Main thread only.
#pragma once

#include "Source/IntegerDefaultLookup.h"
#include "platform/AppKit/View.h"

class ImageView;

class MetronomeView : public View {
    Q_OBJECT
public:
    static constexpr int kPendulumStyle = 0;
    static constexpr int kLEDStyle = 1;
    // Beats shorter than this (faster than 500 BPM) draw the flipping line instead of swinging.
    static constexpr double kShortestSwing = 0.12;
    static constexpr double kSwingDegrees = 25.0;

    MetronomeView(const NSRect& frame, QWidget* parent, IntegerDefaultLookup defaults = {});

    // A live resize stands the arm at 0° until it ends.
    void viewWillStartLiveResize() override;
    void viewDidEndLiveResize() override;
    // Takes a changed "MetronomeStyle" setting.
    void updateStyle();
    // One call per beat of `secondsPerBeat`.
    void animate(double secondsPerBeat);
    void animateArmToOppositeExtreme(double duration);
    void rotateArmToDegree(double degrees);
    void stopArm();
    // The beat without a swing: the LED's flash, or the fast-tempo line's change of side.
    void toggle();

    bool drawLeft() const { return mDrawLeft; }
    void setDrawLeft(bool drawLeft) { mDrawLeft = drawLeft; }
    int metronomeStyle() const { return mMetronomeStyle; }
    bool isAnimating() const { return mIsAnimating; }
    bool isToggling() const { return mIsToggling; }
    bool isAtRightExtreme() const { return mIsAtRightExtreme; }
    ImageView& pendulum() { return *mPendulum; }
    ImageView& ledOn() { return *mLedOn; }
    ImageView& ledOff() { return *mLedOff; }

    void drawRect(const NSRect& dirtyRect) override;

private:
    IntegerDefaultLookup mDefaults;
    bool mDrawLeft{false};
    bool mSuppressAnimation{false};
    bool mIsToggling{false};
    bool mIsLEDing{false};
    int mMetronomeStyle{kPendulumStyle};
    ImageView* mPendulum;  // owned as a child widget
    bool mIsAnimating{false};
    bool mIsAtRightExtreme{false};
    ImageView* mLedOn;   // owned as a child widget
    ImageView* mLedOff;  // owned as a child widget
};
