// The key recorder's state and work: the recorded combination, which modifiers may and must take
// part, the recording state with its animated transitions, key and mouse handling, validation,
// autosaving and drawing. The control (KRRecorderControl) forwards to it and relays its delegate
// calls. Main thread only; the transition ticks are delayed performs on the current scheduler.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "Source/KeyRecorder/KRValidator.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/Geometry.h"
#include "platform/AppKit/SymbolicHotKeyMode.h"
#include "platform/Foundation/PropertyList.h"

class KRRecorderCell;
class NSColor;
class NSGradient;
class NSUserDefaults;
class View;

// A shortcut: a Cocoa modifier mask and a virtual key code, -1 for none.
struct KeyCombo {
    uint64_t flags{0};
    int64_t code{-1};
    friend bool operator==(const KeyCombo&, const KeyCombo&) = default;
};

inline constexpr KeyCombo kEmptyKeyCombo{0, -1};

// The modifiers a recorder allows unless told otherwise: Shift, Control, Option, Command, Function.
inline constexpr uint64_t kKRAllowedFlagsDefault = 0x9E0000;

enum class KRRecorderStyle { Regular = 0, Animated = 1 };

// What the cell asks of its control; the defaults refuse nothing and ignore changes.
class KRRecorderCellDelegate {
public:
    virtual ~KRRecorderCellDelegate() = default;
    // True when the combination (Cocoa mask) must be refused; `reason` completes "… because ".
    virtual bool shortcutRecorderCellIsKeyCodeAndFlagsTaken(KRRecorderCell& /*cell*/, long /*keyCode*/,
                                                            uint64_t /*flags*/, std::string& /*reason*/) {
        return false;
    }
    virtual void shortcutRecorderCellKeyComboDidChange(KRRecorderCell& /*cell*/, KeyCombo /*combo*/) {}
};

class KRRecorderCell : private KRValidatorDelegate {
public:
    // Each transition step is this long, and adds kTransitionStep to the progress.
    static constexpr double kTransitionTickSeconds = 1.0 / 30;
    static constexpr double kTransitionStep = 0.0952381;

    KRRecorderCell();
    ~KRRecorderCell() override;
    // Every setting and state; the pending transition tick is not copied.
    KRRecorderCell(const KRRecorderCell& other);
    KRRecorderCell& operator=(const KRRecorderCell&) = delete;

    // The view the cell draws in, redisplays and takes the keyboard for. Not owned.
    void setControlView(View* view) { mControlView = view; }
    View* controlView() const { return mControlView; }
    KRRecorderCellDelegate* delegate() const { return mDelegate; }
    void setDelegate(KRRecorderCellDelegate* delegate) { mDelegate = delegate; }
    KRValidator& validator() { return mValidator; }
    // Where autosaved values go; the standard user defaults unless set. Not owned.
    void setUserDefaults(NSUserDefaults* defaults) { mDefaults = defaults; }

    KeyCombo keyCombo() const { return mKeyCombo; }
    // Filters the flags, forgets the key's characters, tells the delegate and autosaves.
    void setKeyCombo(KeyCombo combo);
    // Nothing when the combination is empty or has no modifier; else "characters", "keyCode" and
    // "modifierFlags".
    std::optional<PropertyList> objectValue() const;
    // A dictionary with numbers under "keyCode" and "modifierFlags" sets that combination;
    // anything else clears it.
    void setObjectValue(const std::optional<PropertyList>& value);
    // The modifier symbols and the key's name; nullopt for an empty combination.
    std::optional<std::string> keyComboString() const;
    // The characters of the key that was recorded, else the key's name.
    std::optional<std::string> keyChars() const;
    std::optional<std::string> keyCharsIgnoringModifiers() const;
    bool hasKeyChars() const { return mHasKeyChars; }

    uint64_t allowedFlags() const { return mAllowedFlags; }
    void setAllowedFlags(uint64_t flags);
    uint64_t requiredFlags() const { return mRequiredFlags; }
    void setRequiredFlags(uint64_t flags);
    bool allowsKeyOnly() const { return mAllowsKeyOnly; }
    void setAllowsKeyOnly(bool allows) { setAllowsKeyOnly(allows, mEscapeKeysRecord); }
    bool escapeKeysRecord() const { return mEscapeKeysRecord; }
    void setEscapeKeysRecord(bool records) { setAllowsKeyOnly(mAllowsKeyOnly, records); }
    void setAllowsKeyOnly(bool allows, bool escapeKeysRecord);
    bool canCaptureGlobalHotKeys() const { return mGlobalHotKeys; }
    void setCanCaptureGlobalHotKeys(bool can) { mGlobalHotKeys = can; }
    KRRecorderStyle style() const { return mStyle; }
    // Values other than the two styles count as the regular one.
    void setStyle(int style);
    bool animates() const { return mIsAnimating; }
    void setAnimates(bool animates) { mIsAnimating = animates; }
    const std::string& autosaveName() const { return mAutosaveName; }
    // A non-empty name loads the value kept under "KeyRecorder <name>", if any.
    void setAutosaveName(const std::string& name);
    bool isEnabled() const { return mEnabled; }
    void setEnabled(bool enabled);

    bool isRecording() const { return mIsRecording; }
    bool isAnimatingNow() const { return mIsAnimatingNow; }
    bool isAnimatingTowardsRecording() const { return mIsAnimatingTowardsRecording; }
    double transitionProgress() const { return mTransitionProgress; }
    bool comboJustChanged() const { return mComboJustChanged; }
    uint64_t recordingFlags() const { return mRecordingFlags; }
    bool mouseInsideTrackingArea() const { return mMouseInsideTrackingArea; }
    bool isMouseDown() const { return mMouseDown; }
    SymbolicHotKeyModeToken hotKeyModeToken() const { return mHotKeyModeToken; }

    // Keys: true when the event was consumed.
    bool performKeyEquivalent(const NSEvent& event);
    void flagsChanged(const NSEvent& event);
    // The mouse-button tracking of one click, fed event by event by the control.
    void mouseDown(NSPoint local);
    void mouseDragged(NSPoint local);
    void mouseUp(NSPoint local);
    void mouseEntered(const std::string& area);
    void mouseExited(const std::string& area);
    void resetTrackingRects();
    // The control lost the keyboard: a recording under way ends.
    void resignFirstResponder();
    // Its window went inactive or active again. A recording with global capture lets the keyboard
    // go to the application in front meanwhile, and takes it again on its return.
    void windowActivationChanged(bool active);

    // Start or end recording, through the transition in the animated style.
    void startRecordingTransition();
    void endRecordingTransition();

    // The button in use: snapback while recording, else remove (empty when there is none).
    NSRect removeButtonRectForFrame(const NSRect& frame) const;
    NSRect snapbackRectForFrame(const NSRect& frame) const;
    // The text the cell shows now.
    std::string displayedText() const;
    void drawWithFrame(const NSRect& frame, bool showsFocusRing);
    // The system colours changed.
    void updateRecordingGradient();

    // The keyed archive: "autosaveName", "keyComboCode", "keyComboFlags", "keyChars" and
    // "keyCharsIgnoringModifiers" when held, "allowedFlags", "requiredFlags", "allowsKeyOnly",
    // "escapeKeysRecord", "isAnimating", "style".
    PropertyList::Dictionary encodeWithCoder() const;
    // Decoding always allows the Function modifier and then loads the autosaved value.
    void initWithCoder(const PropertyList::Dictionary& archive);

private:
    static constexpr const char* kRemoveArea = "remove";
    static constexpr const char* kSnapbackArea = "snapback";

    bool shortcutValidator(KRValidator& validator, int keyCode, uint32_t cocoaFlags,
                           std::string& reason) override;

    uint64_t filteredCocoaFlags(uint64_t flags) const;
    bool validModifierFlags(uint64_t flags) const;
    bool isEmpty() const;
    bool animatesTransitions() const;
    void startRecording();
    void endRecording();
    void beginTransition(bool towardsRecording);
    void transitionTick();
    void refuse(const NSEvent& event, NSError error);
    void changed();
    void autosave();
    void loadFromAutosave();
    std::string autosaveKey() const;
    NSUserDefaults& defaults() const;
    bool isFirstResponder() const;
    NSRect frame() const;
    NSPoint mouseLocation() const;
    void setNeedsDisplay() const;
    void drawRegular(const NSRect& frame, bool showsFocusRing);
    void drawAnimated(const NSRect& frame, bool showsFocusRing);
    void drawIdleLayer(const NSRect& frame);
    void drawRecordingLayer(const NSRect& frame, bool panel, const NSColor& textColor);
    // Centred and cut at the tail to fit the rectangle.
    void drawText(const std::string& text, const NSRect& rect, CGFloat fontSize, const NSColor& color);
    std::string recordingText() const;
    std::string idleText() const;

    View* mControlView{nullptr};
    KRRecorderCellDelegate* mDelegate{nullptr};
    KRValidator mValidator;
    NSUserDefaults* mDefaults{nullptr};

    KeyCombo mKeyCombo;
    bool mHasKeyChars{false};
    std::string mKeyChars;
    std::string mKeyCharsIgnoringModifiers;
    uint64_t mAllowedFlags{kKRAllowedFlagsDefault};
    uint64_t mRequiredFlags{0};
    uint64_t mRecordingFlags{0};
    bool mAllowsKeyOnly{false};
    bool mEscapeKeysRecord{false};
    std::shared_ptr<const std::set<int>> mCancelCharacterSet;
    KRRecorderStyle mStyle{KRRecorderStyle::Regular};
    bool mIsAnimating{false};
    bool mEnabled{true};

    bool mIsRecording{false};
    bool mMouseInsideTrackingArea{false};
    bool mMouseDown{false};
    double mTransitionProgress{0};
    bool mIsAnimatingNow{false};
    bool mIsAnimatingTowardsRecording{false};
    bool mComboJustChanged{false};

    bool mGlobalHotKeys{false};
    SymbolicHotKeyModeToken mHotKeyModeToken{0};
    std::string mAutosaveName;
    std::shared_ptr<const NSGradient> mRecordingGradient;
};
