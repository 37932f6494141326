// The key recorder's button images by name: "KRSnapback", "KRRemoveShortcut",
// "KRRemoveShortcutRollover" and "KRRemoveShortcutPressed", each 14 by 14 points, found in the
// bundle's resources and kept for the life of the process. Main thread only.
#pragma once

#include <memory>
#include <string>

class NSImage;

class KRSharedImageProvider {
public:
    KRSharedImageProvider() = delete;

    // nullptr for a name that is none of the four, or when the resources lack the image.
    static std::shared_ptr<NSImage> supportingImageWithName(const std::string& name);
};
