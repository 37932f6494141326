// Images by name from the bundle's resources, or from files and data, drawn in y-up rectangles.
#pragma once

#include <QImage>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppKit/Geometry.h"
#include "platform/AppKit/GraphicsContext.h"

// The name under which the application's own icon is found (the bundle's "CFBundleIconFile").
inline constexpr const char* NSImageNameApplicationIcon = "NSApplicationIcon";

class NSImage {
public:
    // The image of that name in the resources folder, loaded once and shared; nullptr when there is
    // none. A name without an extension, or one whose file is missing, is also looked for as PNG.
    static std::shared_ptr<NSImage> imageNamed(const std::string& name);
    // The file of imageNamed's lookup, or empty when none exists.
    static std::string pathForImageResource(const std::string& name);
    // nullptr when the file or data is not an image.
    static std::shared_ptr<NSImage> imageWithContentsOfFile(const std::string& path);
    static std::shared_ptr<NSImage> imageWithData(const std::vector<uint8_t>& data);

    explicit NSImage(QImage image);

    // Size in points; setting it scales the drawing, not the pixels.
    NSSize size() const { return mSize; }
    void setSize(NSSize size) { mSize = size; }
    const QImage& qtImage() const { return mImage; }

    // Into the current context; `from` empty draws the whole image.
    void drawInRect(const NSRect& rect, const NSRect& from = {},
                    NSCompositingOperation operation = NSCompositingOperation::SourceOver,
                    CGFloat fraction = 1.0) const;
    void drawAtPoint(NSPoint point, const NSRect& from = {},
                     NSCompositingOperation operation = NSCompositingOperation::SourceOver,
                     CGFloat fraction = 1.0) const;

private:
    QImage mImage;
    NSSize mSize;
};

// Caps at their own widths (heights when vertical, the start cap on top), the centre stretched
// between them; missing parts are skipped.
void NSDrawThreePartImage(const NSRect& frame, const NSImage* startCap, const NSImage* centerFill,
                          const NSImage* endCap, bool vertical, NSCompositingOperation operation,
                          CGFloat fraction);
