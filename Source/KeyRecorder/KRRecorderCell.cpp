#include "Source/KeyRecorder/KRRecorderCell.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetricsF>
#include <QPalette>
#include <QString>
#include <algorithm>
#include <cmath>
#include <limits>

#include "Source/KeyRecorder/KRSharedImageProvider.h"
#include "Source/KeyRecorder/KeyComboText.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Gradient.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/RunLoop.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

constexpr uint64_t kModifierFlagsMask =
    NSShiftKeyMask | NSControlKeyMask | NSAlternateKeyMask | NSCommandKeyMask | NSFunctionKeyMask;
constexpr double kTransitionDone = 0.998;
constexpr CGFloat kButtonSize = 14;
constexpr CGFloat kTextInset = 6;
constexpr CGFloat kLabelFontSize = 10;
constexpr CGFloat kSmallFontSize = 11;
constexpr const char* kTickSelector = "transitionTick";
constexpr int kKeyCodeForwardDelete = 117;

constexpr NSColor kWindowFrameColor = NSColor::colorWithCalibratedWhite(0.6, 1.0);
constexpr NSColor kDisabledTextColor = NSColor::colorWithCalibratedWhite(0.5, 1.0);

NSColor highlightWithLevel(const NSColor& c, double level) {
    return {c.redComponent() + (1 - c.redComponent()) * level,
            c.greenComponent() + (1 - c.greenComponent()) * level,
            c.blueComponent() + (1 - c.blueComponent()) * level, c.alphaComponent()};
}

// Text on the recording background must reach the contrast that the accessibility guidelines ask
// of body text, with relative luminance and contrast ratio as they define them.
constexpr double kLegibleContrast = 4.5;

double luminance(const NSColor& c) {
    const auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redComponent()) + 0.7152 * linear(c.greenComponent()) +
           0.0722 * linear(c.blueComponent());
}

double contrast(const NSColor& a, const NSColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

NSColor over(const NSColor& top, const NSColor& bottom) {
    const double a = top.alphaComponent();
    const auto mix = [a](double t, double b) { return t * a + b * (1 - a); };
    return {mix(top.redComponent(), bottom.redComponent()),
            mix(top.greenComponent(), bottom.greenComponent()),
            mix(top.blueComponent(), bottom.blueComponent()), 1};
}

struct RecordingLook {
    NSGradient background;
    NSColor text;
};

// The recording background as it shows (the gradient over the window, darkened by the snapback
// button's overlay) with the text colour, black or white, that reads best on it; where even that
// one falls short, the gradient moves away from it until the text is legible at both its ends.
RecordingLook legibleRecordingLook(const NSGradient& gradient, const NSColor& window, double overlay) {
    const NSColor stops[] = {gradient.interpolatedColorAtLocation(0),
                             gradient.interpolatedColorAtLocation(1)};
    const auto moved = [](const NSColor& stop, const NSColor& text, double level) {
        return text == NSColor::blackColor() ? highlightWithLevel(stop, level) : stop.shadowWithLevel(level);
    };
    const auto weakest = [&](const NSColor& text, double level) {
        double least = std::numeric_limits<double>::max();
        for (const NSColor& stop : stops) {
            const NSColor shown = over(NSColor::blackColor().colorWithAlphaComponent(overlay),
                                       over(moved(stop, text, level), window));
            least = std::min(least, contrast(shown, text));
        }
        return least;
    };
    const NSColor text = weakest(NSColor::blackColor(), 0) >= weakest(NSColor::whiteColor(), 0)
                             ? NSColor::blackColor()
                             : NSColor::whiteColor();
    double level = 0;
    while (level < 1 && weakest(text, level) < kLegibleContrast) level = std::min(1.0, level + 0.05);
    return {NSGradient(moved(stops[0], text, level), moved(stops[1], text, level)), text};
}

std::shared_ptr<const NSGradient> makeRecordingGradient() {
    const QColor selected = QApplication::palette().color(QPalette::Highlight);
    const NSColor base(selected.redF(), selected.greenF(), selected.blueF(), 0.9);
    return std::make_shared<NSGradient>(base.shadowWithLevel(0.2), highlightWithLevel(base, 0.2));
}

std::shared_ptr<const std::set<int>> defaultCancelSet() {
    static const auto keys = std::make_shared<const std::set<int>>(
        std::set<int>{kKeyCodeEscape, kKeyCodeBackspace, kKeyCodeForwardDelete});
    return keys;
}

std::string upperCased(const std::string& text) {
    return QString::fromStdString(text).toUpper().toStdString();
}

std::optional<std::string> stringValue(const PropertyList::Dictionary& d, const char* key) {
    const auto found = d.find(key);
    if (found == d.end() || !found->second.string()) return std::nullopt;
    return *found->second.string();
}

std::optional<int64_t> integerValue(const PropertyList::Dictionary& d, const char* key) {
    const auto found = d.find(key);
    if (found == d.end() || !found->second.isNumber()) return std::nullopt;
    return found->second.integer();
}

}  // namespace

KRRecorderCell::KRRecorderCell()
    : mValidator(this),
      mCancelCharacterSet(defaultCancelSet()),
      mRecordingGradient(makeRecordingGradient()) {}

KRRecorderCell::KRRecorderCell(const KRRecorderCell& other)
    : KRValidatorDelegate(),
      mControlView(other.mControlView),
      mDelegate(other.mDelegate),
      mValidator(this),
      mDefaults(other.mDefaults),
      mKeyCombo(other.mKeyCombo),
      mHasKeyChars(other.mHasKeyChars),
      mKeyChars(other.mKeyChars),
      mKeyCharsIgnoringModifiers(other.mKeyCharsIgnoringModifiers),
      mAllowedFlags(other.mAllowedFlags),
      mRequiredFlags(other.mRequiredFlags),
      mRecordingFlags(other.mRecordingFlags),
      mAllowsKeyOnly(other.mAllowsKeyOnly),
      mEscapeKeysRecord(other.mEscapeKeysRecord),
      mCancelCharacterSet(other.mCancelCharacterSet),
      mStyle(other.mStyle),
      mIsAnimating(other.mIsAnimating),
      mEnabled(other.mEnabled),
      mIsRecording(other.mIsRecording),
      mMouseInsideTrackingArea(other.mMouseInsideTrackingArea),
      mMouseDown(other.mMouseDown),
      mTransitionProgress(other.mTransitionProgress),
      mIsAnimatingNow(false),
      mIsAnimatingTowardsRecording(other.mIsAnimatingTowardsRecording),
      mComboJustChanged(other.mComboJustChanged),
      mGlobalHotKeys(other.mGlobalHotKeys),
      // The hot-key mode belongs to the recording that pushed it; a copy must not pop it twice.
      mHotKeyModeToken(0),
      mAutosaveName(other.mAutosaveName),
      mRecordingGradient(other.mRecordingGradient) {}

KRRecorderCell::~KRRecorderCell() {
    cancelPreviousPerformRequestsWithTarget(this);
    // A recorder that goes away while recording must not leave the desktop's shortcuts off.
    if (mHotKeyModeToken) PopSymbolicHotKeyMode(mHotKeyModeToken);
}

// Value

uint64_t KRRecorderCell::filteredCocoaFlags(uint64_t flags) const {
    return (flags & mAllowedFlags) | (mRequiredFlags & kModifierFlagsMask);
}

bool KRRecorderCell::validModifierFlags(uint64_t flags) const {
    return mAllowsKeyOnly || (flags & kModifierFlagsMask) != 0;
}

bool KRRecorderCell::isEmpty() const {
    return !validModifierFlags(mKeyCombo.flags) || !KRStringForKeyCode(mKeyCombo.code);
}

void KRRecorderCell::setKeyCombo(KeyCombo combo) {
    mKeyCombo = {filteredCocoaFlags(combo.flags), combo.code};
    mHasKeyChars = false;
    mKeyChars.clear();
    mKeyCharsIgnoringModifiers.clear();
    changed();
    autosave();
    setNeedsDisplay();
}

std::optional<PropertyList> KRRecorderCell::objectValue() const {
    if (mKeyCombo.code == -1 || mKeyCombo.flags == 0) return std::nullopt;
    PropertyList::Dictionary value;
    value["characters"] = PropertyList(keyCharsIgnoringModifiers().value_or(std::string{}));
    value["keyCode"] = PropertyList(static_cast<long long>(mKeyCombo.code));
    value["modifierFlags"] = PropertyList(static_cast<unsigned long long>(mKeyCombo.flags));
    std::optional<PropertyList> result;
    result.emplace(std::move(value));
    return result;
}

void KRRecorderCell::setObjectValue(const std::optional<PropertyList>& value) {
    const PropertyList::Dictionary* d = value ? value->dictionary() : nullptr;
    const std::optional<int64_t> code = d ? integerValue(*d, "keyCode") : std::nullopt;
    const std::optional<int64_t> flags = d ? integerValue(*d, "modifierFlags") : std::nullopt;
    if (code && flags)
        setKeyCombo({static_cast<uint64_t>(*flags), *code});
    else
        setKeyCombo(kEmptyKeyCombo);
}

std::optional<std::string> KRRecorderCell::keyComboString() const {
    if (isEmpty()) return std::nullopt;
    return KRStringForCocoaModifierFlagsAndKeyCode(static_cast<uint32_t>(mKeyCombo.flags), mKeyCombo.code);
}

std::optional<std::string> KRRecorderCell::keyChars() const {
    if (mHasKeyChars) return mKeyChars;
    return KRStringForKeyCode(mKeyCombo.code);
}

std::optional<std::string> KRRecorderCell::keyCharsIgnoringModifiers() const {
    if (mHasKeyChars) return mKeyCharsIgnoringModifiers;
    return KRCharacterForKeyCodeAndCocoaFlags(mKeyCombo.code, static_cast<uint32_t>(mKeyCombo.flags));
}

void KRRecorderCell::changed() {
    if (mDelegate) mDelegate->shortcutRecorderCellKeyComboDidChange(*this, mKeyCombo);
}

// Settings

void KRRecorderCell::setAllowedFlags(uint64_t flags) {
    mAllowedFlags = flags;
    setRequiredFlags(mRequiredFlags);
}

void KRRecorderCell::setRequiredFlags(uint64_t flags) {
    mRequiredFlags = flags;
    if (mIsRecording) {
        mRecordingFlags = filteredCocoaFlags(Application::sharedApplication().currentModifierFlags());
    } else {
        const uint64_t filtered = filteredCocoaFlags(mKeyCombo.flags);
        if (filtered != mKeyCombo.flags) {
            mKeyCombo.flags = filtered;
            if (mKeyCombo.code >= 0) {
                changed();
                autosave();
            }
        }
    }
    setNeedsDisplay();
}

void KRRecorderCell::setAllowsKeyOnly(bool allows, bool escapeKeysRecord) {
    mAllowsKeyOnly = allows;
    mEscapeKeysRecord = escapeKeysRecord;
    setNeedsDisplay();
}

void KRRecorderCell::setStyle(int style) {
    mStyle = style == static_cast<int>(KRRecorderStyle::Animated) ? KRRecorderStyle::Animated
                                                                  : KRRecorderStyle::Regular;
    setNeedsDisplay();
}

void KRRecorderCell::setEnabled(bool enabled) {
    mEnabled = enabled;
    resetTrackingRects();
    setNeedsDisplay();
}

// Autosave

std::string KRRecorderCell::autosaveKey() const {
    return KRFormat("KeyRecorder %@", {mAutosaveName});
}

NSUserDefaults& KRRecorderCell::defaults() const {
    return mDefaults ? *mDefaults : NSUserDefaults::standardUserDefaults();
}

void KRRecorderCell::setAutosaveName(const std::string& name) {
    mAutosaveName = name;
    loadFromAutosave();
}

void KRRecorderCell::autosave() {
    if (mAutosaveName.empty()) return;
    PropertyList::Dictionary saved{
        {"keyCode", PropertyList(static_cast<int>(static_cast<int16_t>(mKeyCombo.code)))},
        {"modifierFlags", PropertyList(static_cast<unsigned long long>(mKeyCombo.flags))},
        {"modifiers", PropertyList(KRCocoaToCarbonFlags(static_cast<uint32_t>(mKeyCombo.flags)))},
    };
    if (mHasKeyChars) {
        saved.emplace("keyChars", PropertyList(mKeyChars));
        saved.emplace("keyCharsIgnoringModifiers", PropertyList(mKeyCharsIgnoringModifiers));
    }
    defaults().setObject(PropertyList(std::move(saved)), autosaveKey());
}

void KRRecorderCell::loadFromAutosave() {
    if (mAutosaveName.empty()) return;
    const std::optional<PropertyList> saved = defaults().objectForKey(autosaveKey());
    if (!saved) return;
    const PropertyList::Dictionary* d = saved->dictionary();
    const std::optional<int64_t> code = d ? integerValue(*d, "keyCode") : std::nullopt;
    std::optional<int64_t> flags = d ? integerValue(*d, "modifierFlags") : std::nullopt;
    if (!flags && d)
        if (const std::optional<int64_t> carbon = integerValue(*d, "modifiers"))
            flags = KRCarbonToCocoaFlags(static_cast<uint32_t>(*carbon));
    mHasKeyChars = false;
    mKeyChars.clear();
    mKeyCharsIgnoringModifiers.clear();
    if (!code || !flags) {
        mKeyCombo = kEmptyKeyCombo;
    } else {
        mKeyCombo = {filteredCocoaFlags(static_cast<uint64_t>(*flags)), static_cast<int16_t>(*code)};
        const std::optional<std::string> chars = stringValue(*d, "keyChars");
        const std::optional<std::string> ignoring = stringValue(*d, "keyCharsIgnoringModifiers");
        if (chars && ignoring) {
            mHasKeyChars = true;
            mKeyChars = *chars;
            mKeyCharsIgnoringModifiers = *ignoring;
        }
    }
    setNeedsDisplay();
}

// Archive

PropertyList::Dictionary KRRecorderCell::encodeWithCoder() const {
    PropertyList::Dictionary archive{
        {"autosaveName", PropertyList(mAutosaveName)},
        {"keyComboCode", PropertyList(static_cast<int>(static_cast<int16_t>(mKeyCombo.code)))},
        {"keyComboFlags", PropertyList(static_cast<unsigned long long>(mKeyCombo.flags))},
        {"allowedFlags", PropertyList(static_cast<unsigned long long>(mAllowedFlags))},
        {"requiredFlags", PropertyList(static_cast<unsigned long long>(mRequiredFlags))},
        {"allowsKeyOnly", PropertyList(mAllowsKeyOnly)},
        {"escapeKeysRecord", PropertyList(mEscapeKeysRecord)},
        {"isAnimating", PropertyList(mIsAnimating)},
        {"style", PropertyList(static_cast<int>(mStyle))},
    };
    if (mHasKeyChars) {
        archive.emplace("keyChars", PropertyList(mKeyChars));
        archive.emplace("keyCharsIgnoringModifiers", PropertyList(mKeyCharsIgnoringModifiers));
    }
    return archive;
}

void KRRecorderCell::initWithCoder(const PropertyList::Dictionary& archive) {
    const auto flag = [&](const char* key) {
        const auto found = archive.find(key);
        return found != archive.end() && found->second.boolean().value_or(false);
    };
    mAutosaveName = stringValue(archive, "autosaveName").value_or(std::string{});
    mKeyCombo = {static_cast<uint64_t>(integerValue(archive, "keyComboFlags").value_or(0)),
                 static_cast<int16_t>(integerValue(archive, "keyComboCode").value_or(-1))};
    const std::optional<std::string> chars = stringValue(archive, "keyChars");
    const std::optional<std::string> ignoring = stringValue(archive, "keyCharsIgnoringModifiers");
    mHasKeyChars = chars && ignoring;
    mKeyChars = chars.value_or(std::string{});
    mKeyCharsIgnoringModifiers = ignoring.value_or(std::string{});
    mAllowedFlags =
        static_cast<uint64_t>(integerValue(archive, "allowedFlags").value_or(kKRAllowedFlagsDefault)) |
        NSFunctionKeyMask;
    mRequiredFlags = static_cast<uint64_t>(integerValue(archive, "requiredFlags").value_or(0));
    mAllowsKeyOnly = flag("allowsKeyOnly");
    mEscapeKeysRecord = flag("escapeKeysRecord");
    mIsAnimating = flag("isAnimating");
    setStyle(static_cast<int16_t>(integerValue(archive, "style").value_or(0)));
    loadFromAutosave();
}

// Keys

bool KRRecorderCell::performKeyEquivalent(const NSEvent& event) {
    const uint64_t flags = filteredCocoaFlags(event.modifierFlags);
    const bool snapback = mCancelCharacterSet->count(event.keyCode) > 0;
    const bool valid = validModifierFlags(snapback ? event.modifierFlags : flags);

    if (!mIsRecording && event.characters == " ") {
        startRecordingTransition();
        return true;
    }

    if (mIsRecording && (snapback || valid)) {
        const bool cancels =
            snapback &&
            (!valid || ((flags & ~NSFunctionKeyMask) == 0 && mAllowsKeyOnly && !mEscapeKeysRecord));
        if (!cancels) {
            const std::string characters = upperCased(event.charactersIgnoringModifiers);
            // A dead key types nothing yet, and a key without a code could never be shown or
            // registered: neither can become a shortcut.
            if (characters.empty() || event.keyCode == kNoKeyCode) {
                NSBeep();
            } else {
                NSError error;
                if (mValidator.isKeyCodeAndFlagsTaken(
                        event.keyCode, KRCocoaToCarbonFlags(static_cast<uint32_t>(flags)), &error)) {
                    refuse(event, std::move(error));
                    return true;
                }
                mKeyCombo = {flags, event.keyCode};
                mHasKeyChars = true;
                mKeyChars = event.characters;
                mKeyCharsIgnoringModifiers = event.charactersIgnoringModifiers;
                changed();
                autosave();
                mComboJustChanged = true;
            }
        }
        mRecordingFlags = 0;
        endRecordingTransition();
        resetTrackingRects();
        setNeedsDisplay();
        return true;
    }

    if (isFirstResponder() && mEnabled && event.firstCharacter() == u' ') startRecordingTransition();
    return false;
}

void KRRecorderCell::refuse(const NSEvent& event, NSError error) {
    const auto carbon = KRCocoaToCarbonFlags(static_cast<uint32_t>(filteredCocoaFlags(event.modifierFlags)));
    // Some refusals come without a reason (unreadable desktop bindings); an alert must still say
    // what was refused.
    if (error.localizedDescription.empty()) {
        error.domain = NSCocoaErrorDomain;
        error.localizedDescription =
            KRFormat(KRLocalizedString("The key combination %@ can't be used!"),
                     {KRStringForCarbonModifierFlagsAndKeyCode(carbon, event.keyCode)});
        error.localizedRecoverySuggestion =
            KRFormat(KRLocalizedString("The key combination \"%@\" can't be used because %@."),
                     {KRReadableStringForCarbonModifierFlagsAndKeyCode(carbon, event.keyCode),
                      KRLocalizedString("it's already used")});
        error.localizedRecoveryOptions = {KRLocalizedString("OK")};
    }
    NSAlert alert = alertWithNonRecoverableError(error);
    alert.alertStyle = NSAlertStyle::Critical;
    // The alert needs the keyboard that the recording holds.
    const bool grabbing = mHotKeyModeToken != 0;
    if (grabbing) {
        PopSymbolicHotKeyMode(mHotKeyModeToken);
        mHotKeyModeToken = 0;
    }
    alert.runModal();
    // The window's return from the alert may have taken the keyboard again already.
    if (grabbing && mIsRecording && !mHotKeyModeToken)
        mHotKeyModeToken = PushSymbolicHotKeyMode(kHIHotKeyModeAllDisabled, mControlView);
    mRecordingFlags = filteredCocoaFlags(Application::sharedApplication().currentModifierFlags());
    setNeedsDisplay();
}

void KRRecorderCell::flagsChanged(const NSEvent& event) {
    if (!mIsRecording) return;
    mRecordingFlags = filteredCocoaFlags(event.modifierFlags);
    setNeedsDisplay();
}

bool KRRecorderCell::shortcutValidator(KRValidator&, int keyCode, uint32_t cocoaFlags, std::string& reason) {
    return mDelegate &&
           mDelegate->shortcutRecorderCellIsKeyCodeAndFlagsTaken(*this, keyCode, cocoaFlags, reason);
}

// Recording and its transitions

bool KRRecorderCell::animatesTransitions() const {
    return mIsAnimating && mStyle == KRRecorderStyle::Animated;
}

void KRRecorderCell::startRecordingTransition() {
    if (mIsRecording && !mIsAnimatingNow) return;
    if (animatesTransitions())
        beginTransition(true);
    else
        startRecording();
}

void KRRecorderCell::endRecordingTransition() {
    if (animatesTransitions())
        beginTransition(false);
    else
        endRecording();
}

void KRRecorderCell::beginTransition(bool towardsRecording) {
    mIsAnimatingTowardsRecording = towardsRecording;
    mIsAnimatingNow = true;
    mTransitionProgress = 0;
    cancelPreviousPerformRequestsWithTarget(this, kTickSelector, nullptr);
    performSelector(this, kTickSelector, nullptr, kTransitionTickSeconds, [this] { transitionTick(); });
}

void KRRecorderCell::transitionTick() {
    mTransitionProgress += kTransitionStep;
    if (mTransitionProgress >= kTransitionDone) {
        mIsAnimatingNow = false;
        mTransitionProgress = 0;
        if (mIsAnimatingTowardsRecording)
            startRecording();
        else
            endRecording();
        return;
    }
    setNeedsDisplay();
    performSelector(this, kTickSelector, nullptr, kTransitionTickSeconds, [this] { transitionTick(); });
}

void KRRecorderCell::startRecording() {
    // A second start would push a second hot-key mode that no end ever pops.
    if (mIsRecording) return;
    mIsRecording = true;
    mRecordingFlags = filteredCocoaFlags(0);
    if (mGlobalHotKeys) mHotKeyModeToken = PushSymbolicHotKeyMode(kHIHotKeyModeAllDisabled, mControlView);
    resetTrackingRects();
    setNeedsDisplay();
}

void KRRecorderCell::endRecording() {
    mIsRecording = false;
    mComboJustChanged = false;
    if (mHotKeyModeToken) {
        PopSymbolicHotKeyMode(mHotKeyModeToken);
        mHotKeyModeToken = 0;
    }
    resetTrackingRects();
    setNeedsDisplay();
}

void KRRecorderCell::windowActivationChanged(bool active) {
    if (!active && mHotKeyModeToken) {
        PopSymbolicHotKeyMode(mHotKeyModeToken);
        mHotKeyModeToken = 0;
    } else if (active && mIsRecording && mGlobalHotKeys && !mHotKeyModeToken) {
        mHotKeyModeToken = PushSymbolicHotKeyMode(kHIHotKeyModeAllDisabled, mControlView);
    }
}

void KRRecorderCell::resignFirstResponder() {
    if (mIsRecording || (mIsAnimatingNow && mIsAnimatingTowardsRecording)) endRecordingTransition();
}

// Mouse

NSRect KRRecorderCell::removeButtonRectForFrame(const NSRect& frame) const {
    if (isEmpty() || !mEnabled) return NSRect{};
    return NSMakeRect(NSMaxX(frame) - kButtonSize - 4, NSMidY(frame) - kButtonSize / 2, kButtonSize,
                      kButtonSize);
}

NSRect KRRecorderCell::snapbackRectForFrame(const NSRect& frame) const {
    return NSMakeRect(NSMaxX(frame) - kButtonSize - 2, NSMidY(frame) - kButtonSize / 2 - 1, kButtonSize,
                      kButtonSize);
}

void KRRecorderCell::mouseDown(NSPoint local) {
    const NSRect button = mIsRecording ? snapbackRectForFrame(frame()) : removeButtonRectForFrame(frame());
    mMouseInsideTrackingArea = NSPointInRect(local, button);
    if (mMouseInsideTrackingArea) mMouseDown = true;
    setNeedsDisplay();
}

void KRRecorderCell::mouseDragged(NSPoint local) {
    const NSRect button = mIsRecording ? snapbackRectForFrame(frame()) : removeButtonRectForFrame(frame());
    mMouseInsideTrackingArea = NSPointInRect(local, button);
    setNeedsDisplay();
}

void KRRecorderCell::mouseUp(NSPoint local) {
    const NSRect whole = frame();
    const NSRect button = mIsRecording ? snapbackRectForFrame(whole) : removeButtonRectForFrame(whole);
    NSRect rest = whole;
    if (!NSIsEmptyRect(button)) rest.size.width -= button.size.width + 4;
    mMouseDown = false;
    mMouseInsideTrackingArea = NSPointInRect(local, button);
    if (mMouseInsideTrackingArea) {
        if (mIsRecording)
            endRecordingTransition();
        else
            setKeyCombo(kEmptyKeyCombo);
    } else if (NSPointInRect(local, rest) && !mIsRecording && mEnabled) {
        startRecordingTransition();
    }
    if (mEnabled && mControlView) {
        if (Window* window = mControlView->enclosingWindow())
            window->makeFirstResponder(mControlView);
        else
            mControlView->setFocus(Qt::MouseFocusReason);
    }
    resetTrackingRects();
    setNeedsDisplay();
}

void KRRecorderCell::mouseEntered(const std::string&) {
    mMouseInsideTrackingArea = true;
    setNeedsDisplay();
}

void KRRecorderCell::mouseExited(const std::string&) {
    mMouseInsideTrackingArea = false;
    setNeedsDisplay();
}

void KRRecorderCell::resetTrackingRects() {
    if (!mControlView) return;
    mControlView->removeTrackingAreas(kRemoveArea);
    mControlView->removeTrackingAreas(kSnapbackArea);
    if (!mEnabled) return;
    const NSRect button = mIsRecording ? snapbackRectForFrame(frame()) : removeButtonRectForFrame(frame());
    if (NSIsEmptyRect(button)) return;
    const bool inside = NSPointInRect(mouseLocation(), button);
    mControlView->addTrackingArea({button, mIsRecording ? kSnapbackArea : kRemoveArea, inside});
    mMouseInsideTrackingArea = inside;
}

// The view

bool KRRecorderCell::isFirstResponder() const {
    return mControlView && mControlView->hasFocus();
}

NSRect KRRecorderCell::frame() const {
    return mControlView ? mControlView->bounds() : NSRect{};
}

NSPoint KRRecorderCell::mouseLocation() const {
    if (!mControlView || !mControlView->underMouse()) return {-1, -1};
    const QPointF at = mControlView->mapFromGlobal(QCursor::pos());
    return {at.x(), mControlView->height() - at.y()};
}

void KRRecorderCell::setNeedsDisplay() const {
    if (mControlView) mControlView->setNeedsDisplay();
}

// Drawing

std::string KRRecorderCell::displayedText() const {
    return mIsRecording ? recordingText() : idleText();
}

std::string KRRecorderCell::recordingText() const {
    if (validModifierFlags(mRecordingFlags)) {
        const std::string symbols = KRStringForCocoaModifierFlags(static_cast<uint32_t>(mRecordingFlags));
        return symbols.empty() ? KRLocalizedString("Type shortcut") : symbols;
    }
    return KRLocalizedString(mMouseInsideTrackingArea ? "Use old shortcut" : "Type shortcut");
}

std::string KRRecorderCell::idleText() const {
    if (isEmpty()) return KRLocalizedString("Click to record shortcut");
    return keyComboString().value_or(std::string{});
}

void KRRecorderCell::updateRecordingGradient() {
    mRecordingGradient = makeRecordingGradient();
    setNeedsDisplay();
}

void KRRecorderCell::drawText(const std::string& text, const NSRect& rect, CGFloat fontSize,
                              const NSColor& color) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context || rect.size.width <= 0) return;
    TextAttributes attributes;
    attributes.font = NSFont::systemFontOfSize(fontSize);
    attributes.color = color;
    const QFontMetricsF metrics(attributes.font.toQFont());
    const std::string shown =
        metrics.elidedText(QString::fromStdString(text), Qt::ElideRight, rect.size.width).toStdString();
    const NSSize size = sizeWithAttributes(shown, attributes);
    context->drawString(shown,
                        {rect.origin.x + (rect.size.width - size.width) / 2,
                         rect.origin.y + (rect.size.height - size.height) / 2},
                        attributes);
}

void KRRecorderCell::drawWithFrame(const NSRect& frame, bool showsFocusRing) {
    if (!GraphicsContext::currentContext()) return;
    if (mStyle == KRRecorderStyle::Animated)
        drawAnimated(frame, showsFocusRing);
    else
        drawRegular(frame, showsFocusRing);
}

void KRRecorderCell::drawIdleLayer(const NSRect& frame) {
    const NSRect button = removeButtonRectForFrame(frame);
    if (!NSIsEmptyRect(button)) {
        // While recording the mouse state belongs to the snapback button.
        const bool inside = mMouseInsideTrackingArea && !mIsRecording;
        const bool down = mMouseDown && !mIsRecording;
        const char* name = "KRRemoveShortcut";
        if (inside && down)
            name = "KRRemoveShortcutPressed";
        else if (inside || down)
            name = "KRRemoveShortcutRollover";
        if (const auto image = KRSharedImageProvider::supportingImageWithName(name))
            image->drawInRect(button);
    }
    const CGFloat right = NSIsEmptyRect(button) ? NSMaxX(frame) - kTextInset : NSMinX(button) - kTextInset;
    const NSRect text = NSMakeRect(NSMinX(frame) + kTextInset, NSMinY(frame),
                                   right - NSMinX(frame) - kTextInset, frame.size.height);
    const bool empty = isEmpty();
    drawText(idleText(), text, empty ? kLabelFontSize : kSmallFontSize,
             empty || !mEnabled ? kDisabledTextColor : NSColor::blackColor());
}

void KRRecorderCell::drawRecordingLayer(const NSRect& frame, bool panel, const NSColor& textColor) {
    const NSRect button = snapbackRectForFrame(frame);
    if (panel) {
        const CGFloat width = kButtonSize * 1.3;
        const NSRect box =
            NSMakeRect(NSMaxX(frame) - width - 1, NSMinY(frame) + 1, width, frame.size.height - 2);
        const bool pressed = mMouseInsideTrackingArea && mMouseDown;
        NSGradient(NSColor::colorWithCalibratedWhite(pressed ? 0.75 : 0.9, 1),
                   NSColor::colorWithCalibratedWhite(pressed ? 0.6 : 0.75, 1))
            .drawInRect(box, 270);
        kWindowFrameColor.shadowWithLevel(0.2).setStroke();
        NSBezierPath::bezierPathWithRect(NSInsetRect(box, 0.5, 0.5)).stroke();
    }
    if (const auto image = KRSharedImageProvider::supportingImageWithName("KRSnapback"))
        image->drawInRect(button);
    const NSRect text =
        NSMakeRect(NSMinX(frame) + kTextInset, NSMinY(frame),
                   NSMinX(button) - kTextInset - NSMinX(frame) - kTextInset, frame.size.height);
    drawText(recordingText(), text, kLabelFontSize, textColor);
}

void KRRecorderCell::drawRegular(const NSRect& frame, bool showsFocusRing) {
    const NSRect outline = NSInsetRect(frame, 0.5, 0.5);
    const NSBezierPath path =
        NSBezierPath::bezierPathWithRoundedRect(outline, outline.size.height / 2, outline.size.height / 2);
    NSColor recordingText = NSColor::blackColor();
    if (mIsRecording) {
        const double overlay = mMouseInsideTrackingArea ? (mMouseDown ? 0.4 : 0.2) : 0;
        const QColor window = QApplication::palette().color(QPalette::Window);
        const RecordingLook look = legibleRecordingLook(
            *mRecordingGradient, NSColor(window.redF(), window.greenF(), window.blueF()), overlay);
        look.background.drawInBezierPath(path, 90);
        recordingText = look.text;
        if (overlay > 0) {
            NSColor::blackColor().colorWithAlphaComponent(overlay).setFill();
            path.fill();
        }
    } else {
        NSColor::whiteColor().setFill();
        path.fill();
    }
    kWindowFrameColor.setStroke();
    path.stroke();
    if (mIsRecording)
        drawRecordingLayer(frame, false, recordingText);
    else
        drawIdleLayer(frame);
    if (showsFocusRing) {
        const QColor ring = QApplication::palette().color(QPalette::Highlight);
        NSColor(ring.redF(), ring.greenF(), ring.blueF(), 0.8).setStroke();
        NSBezierPath focus = NSBezierPath::bezierPathWithRoundedRect(
            NSInsetRect(frame, 1, 1), (frame.size.height - 2) / 2, (frame.size.height - 2) / 2);
        focus.setLineWidth(2);
        focus.stroke();
    }
}

void KRRecorderCell::drawAnimated(const NSRect& frame, bool showsFocusRing) {
    GraphicsContext& context = *GraphicsContext::currentContext();
    const NSRect outline = NSInsetRect(frame, 0.5, 0.5);
    const NSBezierPath path =
        NSBezierPath::bezierPathWithRoundedRect(outline, outline.size.height / 2, outline.size.height / 2);
    NSColor::whiteColor().setFill();
    path.fill();

    double recordingOpacity = mIsRecording ? 1 : 0;
    if (mIsAnimatingNow) {
        const double e = KRAnimationEaseInOut(mTransitionProgress);
        recordingOpacity = mIsAnimatingTowardsRecording ? e : 1 - e;
    }
    const CGFloat height = frame.size.height;
    context.saveGraphicsState();
    context.clipToPath(path.qtPath());
    QPainter& painter = context.painter();
    const double opacity = painter.opacity();
    {
        // The recording layer lies one height below the idle one; the content slides up by the
        // recording layer's share, so the layers cross over as they cross-fade.
        context.saveGraphicsState();
        context.translate(0, height * recordingOpacity);
        painter.setOpacity(opacity * recordingOpacity);
        // This style records on the white of its frame.
        drawRecordingLayer(NSOffsetRect(frame, 0, -height), true, NSColor::blackColor());
        context.restoreGraphicsState();
    }
    {
        context.saveGraphicsState();
        if (mComboJustChanged) {
            painter.setOpacity(opacity);
        } else {
            context.translate(0, height * recordingOpacity);
            painter.setOpacity(opacity * (1 - recordingOpacity));
        }
        drawIdleLayer(frame);
        context.restoreGraphicsState();
    }
    painter.setOpacity(opacity);
    context.restoreGraphicsState();
    kWindowFrameColor.setStroke();
    path.stroke();
    if (showsFocusRing) {
        const QColor ring = QApplication::palette().color(QPalette::Highlight);
        NSColor(ring.redF(), ring.greenF(), ring.blueF(), 0.8).setStroke();
        NSBezierPath focus = NSBezierPath::bezierPathWithRoundedRect(
            NSInsetRect(frame, 1, 1), (frame.size.height - 2) / 2, (frame.size.height - 2) / 2);
        focus.setLineWidth(2);
        focus.stroke();
    }
}
