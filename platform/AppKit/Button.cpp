#include "platform/AppKit/Button.h"

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Image.h"

namespace {
// The modifiers a key equivalent compares; lock and keypad bits never count.
constexpr uint32_t kEquivalentModifiers =
    NSShiftKeyMask | NSControlKeyMask | NSAlternateKeyMask | NSCommandKeyMask;
}  // namespace

Button::Button(QWidget* parent) : View(parent) {}

Button::Button(const NSRect& frame, QWidget* parent) : View(frame, parent) {}

void Button::setTitle(const std::string& title) {
    mTitle = title;
    setNeedsDisplay();
}

void Button::setImage(std::shared_ptr<NSImage> image) {
    mImage = std::move(image);
    setNeedsDisplay();
}

void Button::setAlternateImage(std::shared_ptr<NSImage> image) {
    mAlternateImage = std::move(image);
    setNeedsDisplay();
}

void Button::setKeyEquivalent(const std::string& key) {
    if (key == mKeyEquivalent) return;
    mKeyEquivalent = key;
    // A bezel may show the default button ("\r") differently.
    setNeedsDisplay();
}

void Button::setEnabled(bool enabled) {
    QWidget::setEnabled(enabled);
    setNeedsDisplay();
}

void Button::setHighlighted(bool highlighted) {
    if (highlighted == mHighlighted) return;
    mHighlighted = highlighted;
    setNeedsDisplay();
}

void Button::setBordered(bool bordered) {
    mBordered = bordered;
    setNeedsDisplay();
}

bool Button::sendAction() {
    if (!action || !isEnabled()) return false;
    action();
    return true;
}

void Button::performClick() {
    if (!isEnabled()) return;
    setHighlighted(true);
    display();
    setHighlighted(false);
    sendAction();
}

bool Button::performKeyEquivalent(const NSEvent& event) {
    if (mKeyEquivalent.empty() || !isEnabled() || !isVisible()) return false;
    const bool isReturn = mKeyEquivalent == "\r";
    const char16_t c = event.firstCharacter();
    const bool keyMatches = isReturn ? (c == u'\r' || c == NSEnterCharacter)
                                     : event.charactersIgnoringModifiers == mKeyEquivalent;
    const uint32_t pressed = event.modifierFlags & kEquivalentModifiers;
    // A letter typed with Shift matches an upper-case equivalent without the Shift bit.
    const uint32_t expected = mKeyMask & kEquivalentModifiers;
    if (!keyMatches || (pressed & ~NSShiftKeyMask) != (expected & ~NSShiftKeyMask)) return false;
    performClick();
    return true;
}

void Button::drawRect(const NSRect&) {
    const NSRect b = bounds();
    const std::shared_ptr<NSImage>& shown = mHighlighted && mAlternateImage ? mAlternateImage : mImage;
    if (shown) {
        const NSSize s = shown->size();
        shown->drawInRect(
            NSMakeRect((b.size.width - s.width) / 2, (b.size.height - s.height) / 2, s.width, s.height), {},
            NSCompositingOperation::SourceOver, isEnabled() ? 1.0 : 0.5);
        return;
    }
    if (mBordered) {
        NSBezierPath bezel = NSBezierPath::bezierPathWithRoundedRect(NSInsetRect(b, 1, 1), 4, 4);
        NSColor::colorWithCalibratedWhite(mHighlighted ? 0.7 : 0.92, 1).setFill();
        bezel.fill();
        NSColor::colorWithCalibratedWhite(0.5, 1).setStroke();
        bezel.stroke();
    }
    TextAttributes attributes;
    attributes.color = NSColor::colorWithCalibratedWhite(isEnabled() ? 0.0 : 0.5, 1);
    const NSSize t = sizeWithAttributes(mTitle, attributes);
    if (GraphicsContext* context = GraphicsContext::currentContext())
        context->drawString(mTitle, NSMakePoint((b.size.width - t.width) / 2, (b.size.height - t.height) / 2),
                            attributes);
}

void Button::mouseDown(const NSEvent&) {
    if (!isEnabled()) return;
    setHighlighted(true);
    if (mActionOnMouseDown) sendAction();
}

void Button::mouseDragged(const NSEvent& event) {
    if (isEnabled())
        setHighlighted(NSPointInRect(convertPointFromView(event.locationInWindow, nullptr), bounds()));
}

void Button::mouseUp(const NSEvent& event) {
    const bool inside = NSPointInRect(convertPointFromView(event.locationInWindow, nullptr), bounds());
    setHighlighted(false);
    if (inside && !mActionOnMouseDown) sendAction();
}
