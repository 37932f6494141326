#include "Source/KeyRecorder/KRRecorderControl.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <algorithm>

#include "Source/KeyRecorder/KeyComboText.h"

namespace {

NSRect fixedFrame(NSRect frame) {
    frame.size.height = KRRecorderControl::kHeight;
    frame.size.width = std::max(frame.size.width, KRRecorderControl::kMinimumWidth);
    return frame;
}

// Focus that moves because the window itself went inactive (an alert over it, another
// application in front) leaves the control the window's first responder.
bool windowDeactivation(const QFocusEvent& event) {
    return event.reason() == Qt::ActiveWindowFocusReason || event.reason() == Qt::PopupFocusReason;
}

}  // namespace

KRRecorderControl::KRRecorderControl(QWidget* parent) : View(parent) {
    mCell.setControlView(this);
    mCell.setDelegate(this);
    setMinimumSize(static_cast<int>(kMinimumWidth), static_cast<int>(kHeight));
    setMaximumHeight(static_cast<int>(kHeight));
    resize(std::max(width(), static_cast<int>(kMinimumWidth)), static_cast<int>(kHeight));
    setAttribute(Qt::WA_Hover);
}

KRRecorderControl::KRRecorderControl(const NSRect& frame, QWidget* parent) : KRRecorderControl(parent) {
    setFrame(frame);
}

KRRecorderControl::~KRRecorderControl() {
    // The cell ends before the view; it must not call back into a view that is going.
    mCell.setDelegate(nullptr);
    mCell.setControlView(nullptr);
}

void KRRecorderControl::setFrame(const NSRect& frame) {
    View::setFrame(fixedFrame(frame));
}

void KRRecorderControl::setFrameSize(NSSize size) {
    const NSRect f = frame();
    setFrame(NSMakeRect(f.origin.x, f.origin.y, size.width, size.height));
}

void KRRecorderControl::setEnabled(bool enabled) {
    mCell.setEnabled(enabled);
    setFocusPolicy(enabled ? Qt::ClickFocus : Qt::NoFocus);
}

uint32_t KRRecorderControl::cocoaToCarbonFlags(uint32_t cocoaFlags) {
    return KRCocoaToCarbonFlags(cocoaFlags);
}

uint32_t KRRecorderControl::carbonToCocoaFlags(uint32_t carbonFlags) {
    return KRCarbonToCocoaFlags(carbonFlags);
}

bool KRRecorderControl::shortcutRecorderCellIsKeyCodeAndFlagsTaken(KRRecorderCell&, long keyCode,
                                                                   uint64_t flags, std::string& reason) {
    return mDelegate && mDelegate->shortcutRecorderIsKeyCodeAndFlagsTaken(*this, keyCode, flags, reason);
}

void KRRecorderControl::shortcutRecorderCellKeyComboDidChange(KRRecorderCell&, KeyCombo combo) {
    if (mDelegate) mDelegate->shortcutRecorderKeyComboDidChange(*this, combo);
}

// Keys

bool KRRecorderControl::performKeyEquivalent(const NSEvent& event) {
    return mCell.performKeyEquivalent(event);
}

bool KRRecorderControl::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride) {
        // While recording every combination is the recorder's; when idle only those that start a
        // recording (Command-Space among them) are kept from the menus.
        auto* key = static_cast<QKeyEvent*>(e);
        if (mCell.isRecording() || (!isModifierOnlyKey(key->key()) &&
                                    NSEvent::keyEvent(*key, NSEventType::KeyDown).characters == " ")) {
            e->accept();
            return true;
        }
    }
    if (e->type() == QEvent::PaletteChange) mCell.updateRecordingGradient();
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate)
        mCell.windowActivationChanged(e->type() == QEvent::WindowActivate);
    return View::event(e);
}

void KRRecorderControl::keyPressEvent(QKeyEvent* event) {
    const NSEvent e = NSEvent::keyEvent(*event, NSEventType::KeyDown);
    if (isModifierOnlyKey(event->key())) {
        mCell.flagsChanged(e);
        event->setAccepted(mCell.isRecording());
        return;
    }
    if (mCell.performKeyEquivalent(e)) {
        event->accept();
        return;
    }
    View::keyPressEvent(event);
}

void KRRecorderControl::keyReleaseEvent(QKeyEvent* event) {
    if (isModifierOnlyKey(event->key())) {
        mCell.flagsChanged(NSEvent::keyEvent(*event, NSEventType::KeyUp));
        event->setAccepted(mCell.isRecording());
        return;
    }
    View::keyReleaseEvent(event);
}

void KRRecorderControl::focusInEvent(QFocusEvent* event) {
    if (windowDeactivation(*event)) {
        QWidget::focusInEvent(event);
        update();
        return;
    }
    View::focusInEvent(event);
}

void KRRecorderControl::focusOutEvent(QFocusEvent* event) {
    if (windowDeactivation(*event)) {
        QWidget::focusOutEvent(event);
        update();
        return;
    }
    View::focusOutEvent(event);
}

void KRRecorderControl::becomeFirstResponder() {
    mCell.resetTrackingRects();
    setNeedsDisplay();
}

void KRRecorderControl::resignFirstResponder() {
    mCell.resignFirstResponder();
    mCell.resetTrackingRects();
    setNeedsDisplay();
}

// Mouse

NSPoint KRRecorderControl::localPoint(const NSEvent& event) const {
    return convertPointFromView(event.locationInWindow, nullptr);
}

void KRRecorderControl::mouseDown(const NSEvent& event) {
    mCell.mouseDown(localPoint(event));
}

void KRRecorderControl::mouseDragged(const NSEvent& event) {
    mCell.mouseDragged(localPoint(event));
}

void KRRecorderControl::mouseUp(const NSEvent& event) {
    mCell.mouseUp(localPoint(event));
}

void KRRecorderControl::mouseEntered(const NSEvent& event) {
    mCell.mouseEntered(event.trackingArea ? event.trackingArea->userInfoKey : std::string{});
}

void KRRecorderControl::mouseExited(const NSEvent& event) {
    mCell.mouseExited(event.trackingArea ? event.trackingArea->userInfoKey : std::string{});
}

void KRRecorderControl::updateTrackingAreas() {
    mCell.resetTrackingRects();
}

void KRRecorderControl::moveEvent(QMoveEvent* event) {
    View::moveEvent(event);
    mCell.resetTrackingRects();
}

void KRRecorderControl::drawRect(const NSRect&) {
    // The ring shows while the control has the keyboard of its window.
    mCell.drawWithFrame(bounds(), hasFocus());
}
