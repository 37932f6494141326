// A push button in the platform's terms: a title or an image with its pressed form, a key
// equivalent with its modifier mask ("\r" makes it the window's default button), a tag and an
// action. Subclasses draw their own bezel in drawRect and may track the mouse themselves.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/AppKit/View.h"

class NSImage;

class Button : public View {
    Q_OBJECT
public:
    explicit Button(QWidget* parent = nullptr);
    Button(const NSRect& frame, QWidget* parent);

    const std::string& title() const { return mTitle; }
    void setTitle(const std::string& title);
    std::shared_ptr<NSImage> image() const { return mImage; }
    void setImage(std::shared_ptr<NSImage> image);
    // Shown while the button is pressed.
    std::shared_ptr<NSImage> alternateImage() const { return mAlternateImage; }
    void setAlternateImage(std::shared_ptr<NSImage> image);

    const std::string& keyEquivalent() const { return mKeyEquivalent; }
    void setKeyEquivalent(const std::string& key);
    uint32_t keyEquivalentModifierMask() const { return mKeyMask; }
    void setKeyEquivalentModifierMask(uint32_t mask) { mKeyMask = mask; }

    long tag() const { return mTag; }
    void setTag(long tag) { mTag = tag; }
    bool isEnabled() const { return QWidget::isEnabled(); }
    void setEnabled(bool enabled);
    bool isHighlighted() const { return mHighlighted; }
    void setHighlighted(bool highlighted);
    bool isBordered() const { return mBordered; }
    void setBordered(bool bordered);

    // Sent on a click released inside (on the press when set to), performClick and a matching
    // key equivalent.
    std::function<void()> action;
    void setSendsActionOnMouseDown(bool onDown) { mActionOnMouseDown = onDown; }
    bool sendsActionOnMouseDown() const { return mActionOnMouseDown; }
    // Sends the action; false when there is none or the button is disabled.
    bool sendAction();
    void performClick();
    // Clicks the button when the event is its enabled, visible key equivalent.
    bool performKeyEquivalent(const NSEvent& event);

    void drawRect(const NSRect& dirtyRect) override;
    void mouseDown(const NSEvent& event) override;
    void mouseDragged(const NSEvent& event) override;
    void mouseUp(const NSEvent& event) override;

private:
    std::string mTitle;
    std::shared_ptr<NSImage> mImage;
    std::shared_ptr<NSImage> mAlternateImage;
    std::string mKeyEquivalent;
    uint32_t mKeyMask{0};
    long mTag{0};
    bool mHighlighted{false};
    bool mBordered{true};
    bool mActionOnMouseDown{false};
};
