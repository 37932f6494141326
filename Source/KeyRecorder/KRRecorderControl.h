// The key recorder: the control in which the user records one shortcut. A click or the space bar
// starts recording, the next key with valid modifiers becomes the shortcut once the validator
// accepts it, the small button clears it, and while recording the snapback button cancels. While
// it records it takes every key, Command combinations included, ahead of the menus. The cell
// holds the state; the control forwards to it and relays its delegate calls. Its height is
// always 22 points and its width at least 50. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "Source/KeyRecorder/KRRecorderCell.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/View.h"

class KRRecorderControl;

// The control's delegate; the defaults refuse nothing and ignore changes.
class KRRecorderDelegate {
public:
    virtual ~KRRecorderDelegate() = default;
    // True when the combination (Cocoa mask) must be refused; asked before any other check.
    // `reason` completes "… can't be used because ".
    virtual bool shortcutRecorderIsKeyCodeAndFlagsTaken(KRRecorderControl& /*recorder*/, long /*keyCode*/,
                                                        uint64_t /*flags*/, std::string& /*reason*/) {
        return false;
    }
    // After every change of the value, from the keyboard or from outside.
    virtual void shortcutRecorderKeyComboDidChange(KRRecorderControl& /*recorder*/, KeyCombo /*combo*/) {}
};

class KRRecorderControl : public View, private KRRecorderCellDelegate {
    Q_OBJECT
public:
    static constexpr CGFloat kHeight = 22;
    static constexpr CGFloat kMinimumWidth = 50;

    explicit KRRecorderControl(QWidget* parent = nullptr);
    KRRecorderControl(const NSRect& frame, QWidget* parent);
    ~KRRecorderControl() override;

    KRRecorderCell& cell() { return mCell; }
    const KRRecorderCell& cell() const { return mCell; }

    // Frames keep the fixed height and the least width.
    void setFrame(const NSRect& frame);
    void setFrameSize(NSSize size);

    KRRecorderDelegate* delegate() const { return mDelegate; }
    void setDelegate(KRRecorderDelegate* delegate) { mDelegate = delegate; }

    KeyCombo keyCombo() const { return mCell.keyCombo(); }
    void setKeyCombo(KeyCombo combo) { mCell.setKeyCombo(combo); }
    std::optional<PropertyList> objectValue() const { return mCell.objectValue(); }
    void setObjectValue(const std::optional<PropertyList>& value) { mCell.setObjectValue(value); }
    std::optional<std::string> keyComboString() const { return mCell.keyComboString(); }
    std::optional<std::string> keyChars() const { return mCell.keyChars(); }
    std::optional<std::string> keyCharsIgnoringModifiers() const { return mCell.keyCharsIgnoringModifiers(); }

    uint64_t allowedFlags() const { return mCell.allowedFlags(); }
    void setAllowedFlags(uint64_t flags) { mCell.setAllowedFlags(flags); }
    uint64_t requiredFlags() const { return mCell.requiredFlags(); }
    void setRequiredFlags(uint64_t flags) { mCell.setRequiredFlags(flags); }
    bool allowsKeyOnly() const { return mCell.allowsKeyOnly(); }
    void setAllowsKeyOnly(bool allows) { mCell.setAllowsKeyOnly(allows); }
    bool escapeKeysRecord() const { return mCell.escapeKeysRecord(); }
    void setEscapeKeysRecord(bool records) { mCell.setEscapeKeysRecord(records); }
    void setAllowsKeyOnly(bool allows, bool escapeKeysRecord) {
        mCell.setAllowsKeyOnly(allows, escapeKeysRecord);
    }
    bool canCaptureGlobalHotKeys() const { return mCell.canCaptureGlobalHotKeys(); }
    void setCanCaptureGlobalHotKeys(bool can) { mCell.setCanCaptureGlobalHotKeys(can); }
    KRRecorderStyle style() const { return mCell.style(); }
    void setStyle(int style) { mCell.setStyle(style); }
    bool animates() const { return mCell.animates(); }
    void setAnimates(bool animates) { mCell.setAnimates(animates); }
    const std::string& autosaveName() const { return mCell.autosaveName(); }
    void setAutosaveName(const std::string& name) { mCell.setAutosaveName(name); }
    bool isEnabled() const { return mCell.isEnabled(); }
    void setEnabled(bool enabled);

    static uint32_t cocoaToCarbonFlags(uint32_t cocoaFlags);
    static uint32_t carbonToCocoaFlags(uint32_t carbonFlags);

    // The key handling of the cell, first in line for every key the control receives.
    bool performKeyEquivalent(const NSEvent& event);
    // Clicks on an inactive window reach the control too.
    bool acceptsFirstMouse() const { return true; }

    void drawRect(const NSRect& dirtyRect) override;
    void mouseDown(const NSEvent& event) override;
    void mouseDragged(const NSEvent& event) override;
    void mouseUp(const NSEvent& event) override;
    void mouseEntered(const NSEvent& event) override;
    void mouseExited(const NSEvent& event) override;
    void updateTrackingAreas() override;
    bool acceptsFirstResponder() const override { return true; }
    void becomeFirstResponder() override;
    void resignFirstResponder() override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    bool shortcutRecorderCellIsKeyCodeAndFlagsTaken(KRRecorderCell& cell, long keyCode, uint64_t flags,
                                                    std::string& reason) override;
    void shortcutRecorderCellKeyComboDidChange(KRRecorderCell& cell, KeyCombo combo) override;
    NSPoint localPoint(const NSEvent& event) const;

    KRRecorderCell mCell;
    KRRecorderDelegate* mDelegate{nullptr};
    // The combination's text is the layout's: a new layout redraws it.
    KeyboardLayoutObserver mLayoutObserver{[this] { update(); }};
};
