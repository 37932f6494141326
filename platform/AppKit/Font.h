// Fonts and text attributes. Fonts are sized in pixels and are always DejaVu Sans, so a text
// measures the same on every machine and in every test.
#pragma once

#include <QFont>
#include <string>

#include "platform/AppKit/Color.h"
#include "platform/AppKit/Geometry.h"

class NSFont {
public:
    static NSFont systemFontOfSize(CGFloat pixels) { return NSFont(pixels, false); }
    static NSFont boldSystemFontOfSize(CGFloat pixels) { return NSFont(pixels, true); }
    // A named face falls back to the pinned family when it is not installed.
    static NSFont fontWithName(const std::string& family, CGFloat pixels);

    CGFloat pointSize() const { return mPixels; }
    bool isBold() const { return mBold; }
    const std::string& familyName() const { return mFamily; }

    // The Qt font, with the kern added after every character.
    QFont toQFont(CGFloat kern = 0) const;
    CGFloat ascender() const;
    CGFloat descender() const;  // positive: the depth below the baseline

private:
    NSFont(CGFloat pixels, bool bold, std::string family = kFamily)
        : mPixels(pixels), mBold(bold), mFamily(std::move(family)) {}
    static constexpr const char* kFamily = "DejaVu Sans";

    CGFloat mPixels;
    bool mBold;
    std::string mFamily;
};

// What an attributed string carries: font, colour and the kern after each character.
struct TextAttributes {
    NSFont font = NSFont::systemFontOfSize(12);
    NSColor color = NSColor::blackColor();
    CGFloat kern{0};
};

// Width of the text's advances (kern included) and height of its line box (ascent plus descent).
NSSize sizeWithAttributes(const std::string& text, const TextAttributes& attributes);
