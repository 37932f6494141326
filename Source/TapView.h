// The large white tap area of the main window. Each mouse press and each key press (repeats
// included) is one tap: it is stamped in milliseconds since 1970, counted as a beat of the bar so
// the tap click can be accented, and handed to the window's tracker. It draws the tempo state:
// a prompt before any tap, a prompt to keep tapping while measuring, and the BPM in large digits
// with a check mark when settled and a runner in the running-cadence range. It hosts the metronome
// view. Main thread only.
#pragma once

#include <cstdint>
#include <string>

#include "Source/IntegerDefaultLookup.h"
#include "Source/TapClock.h"
#include "platform/AppKit/Gradient.h"
#include "platform/AppKit/View.h"

class LEDView;
class MetronomeView;
class SegmentedControl;
class TapViewHost;

class TapView : public View {
    Q_OBJECT
public:
    static constexpr int kDefaultMinRunningBPM = 178;
    static constexpr int kDefaultMaxRunningBPM = 185;

    TapView(const NSRect& frame, QWidget* parent, IntegerDefaultLookup defaults = {});

    // The controller; not owned. Without one, presses and keys are no taps.
    void setController(TapViewHost* controller) { fController = controller; }
    // Where tap time stamps come from; the time of day unless replaced.
    void setClock(TapClock clock) { mClock = std::move(clock); }
    void setMetronomeControl(SegmentedControl* control) { metronomeControl = control; }
    void setLedView(LEDView* view) { ledView = view; }

    // Once the layout is wired: a fresh bar, the running range from the settings.
    void awakeFromNib();
    // Takes "MinRunningBPM" and "MaxRunningBPM" when they are set, else 178 to 185.
    void updateMinMaxBPM();

    void initMetronome();
    void hideMetronome();
    void updateMetronomeStyle();
    MetronomeView* metronomeView() const { return mMetronomeView; }

    // The shown tempo changed: redrawn at the next paint.
    void updateBPM();
    void pulseBPM();
    // One beat of the running metronome; beat lengths that are not positive and finite are ignored.
    void animateBPM(double secondsPerBeat);
    void stopAnimation();

    bool playMetronomeClick() const { return mPlayMetronomeClick; }
    void setPlayMetronomeClick(bool play) { mPlayMetronomeClick = play; }
    int beatNum() const { return mBeatNum; }
    void setBeatNum(int beat) { mBeatNum = beat; }
    bool userIsClicking() const { return mUserIsClicking; }
    int minRunningBPM() const { return mMinRunningBPM; }
    int maxRunningBPM() const { return mMaxRunningBPM; }
    const NSGradient& fillGradient() const { return mFillGradient; }

    bool acceptsFirstResponder() const override { return true; }
    void mouseDown(const NSEvent& event) override;
    void keyDown(const NSEvent& event) override;
    void drawRect(const NSRect& dirtyRect) override;

private:
    void tap(uint64_t milliseconds, bool byMouse);

    TapViewHost* fController{nullptr};
    NSGradient mFillGradient;
    bool mPlayMetronomeClick{false};
    bool mUserIsClicking{false};
    int mMinRunningBPM{kDefaultMinRunningBPM};
    int mMaxRunningBPM{kDefaultMaxRunningBPM};
    int mBeatNum{0};
    SegmentedControl* metronomeControl{nullptr};  // not owned
    MetronomeView* mMetronomeView{nullptr};       // owned as a child widget
    LEDView* ledView{nullptr};                    // not owned
    IntegerDefaultLookup mDefaults;
    TapClock mClock{timeOfDayMilliseconds};
};
