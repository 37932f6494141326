#include "Source/Toolkit/ClickAndHoldButtonCell.h"

ClickAndHoldButtonCell::ClickAndHoldButtonCell(QWidget* parent) : Button(parent) {}

ClickAndHoldButtonCell::ClickAndHoldButtonCell(const NSRect& frame, QWidget* parent)
    : Button(frame, parent) {}

ClickAndHoldButtonCell::~ClickAndHoldButtonCell() {
    cancelHoldTimer();
}

bool ClickAndHoldButtonCell::inside(const NSEvent& event) const {
    return NSPointInRect(convertPointFromView(event.locationInWindow, nullptr), bounds());
}

void ClickAndHoldButtonCell::startHoldTimer() {
    cancelHoldTimer();
    mHoldTask = Scheduler::current().scheduleAfter(kHoldDelayMs, [this] {
        mHoldTask = 0;
        holdElapsed();
    });
}

void ClickAndHoldButtonCell::cancelHoldTimer() {
    if (mHoldTask) Scheduler::current().cancel(mHoldTask);
    mHoldTask = 0;
}

void ClickAndHoldButtonCell::holdElapsed() {
    if (!mTracking || mHasDownMouseDownAction) return;
    mHasDownMouseDownAction = true;
    if (mouseDownAction && isEnabled()) mouseDownAction();
}

void ClickAndHoldButtonCell::sendMouseUpAction() {
    mHasDownMouseDownAction = false;
    mTracking = false;
    cancelHoldTimer();
    setHighlighted(false);
    if (mouseUpAction) mouseUpAction();
}

void ClickAndHoldButtonCell::mouseDown(const NSEvent&) {
    mHasDownMouseDownAction = false;
    if (!isEnabled()) return;
    mTracking = true;
    setHighlighted(true);
    startHoldTimer();
}

void ClickAndHoldButtonCell::mouseDragged(const NSEvent& event) {
    if (!mTracking) return;
    const bool in = inside(event);
    if (mHasDownMouseDownAction) {
        // The player must not stay fast-forwarding once the pointer has left the button.
        if (!in) sendMouseUpAction();
        return;
    }
    setHighlighted(in);
    // The hold waits for 0.4 s without an event, so a moving press starts the wait again.
    startHoldTimer();
}

void ClickAndHoldButtonCell::mouseUp(const NSEvent& event) {
    if (!mTracking) return;
    if (mHasDownMouseDownAction) {
        sendMouseUpAction();
        return;
    }
    mTracking = false;
    cancelHoldTimer();
    setHighlighted(false);
    if (inside(event)) sendAction();
}
