// A button with two behaviours: a click sends its action; holding it 0.4 s sends the mouse-down
// action once (the player's fast-forward or rewind) and letting go, or leaving the button, then
// sends the mouse-up action (resume) instead of the click's. The hold is timed on the current
// Scheduler, and the timer lives only while the button is held. Main thread only.
#pragma once

#include <functional>

#include "platform/AppKit/Button.h"
#include "platform/Foundation/Scheduler.h"

class ClickAndHoldButtonCell : public Button {
    Q_OBJECT
public:
    // A press without a move or release for this long is a hold.
    static constexpr int64_t kHoldDelayMs = 400;

    explicit ClickAndHoldButtonCell(QWidget* parent = nullptr);
    ClickAndHoldButtonCell(const NSRect& frame, QWidget* parent);
    ~ClickAndHoldButtonCell() override;

    std::function<void()> mouseDownAction;
    std::function<void()> mouseUpAction;
    // Whether the hold action went out and its release is still owed.
    bool hasDownMouseDownAction() const { return mHasDownMouseDownAction; }

    void mouseDown(const NSEvent& event) override;
    void mouseDragged(const NSEvent& event) override;
    void mouseUp(const NSEvent& event) override;

private:
    void startHoldTimer();
    void cancelHoldTimer();
    void holdElapsed();
    void sendMouseUpAction();
    bool inside(const NSEvent& event) const;

    Scheduler::TaskId mHoldTask{0};
    bool mTracking{false};
    bool mHasDownMouseDownAction{false};
};
