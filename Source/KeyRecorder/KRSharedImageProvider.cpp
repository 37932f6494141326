#include "Source/KeyRecorder/KRSharedImageProvider.h"

#include <algorithm>
#include <iterator>
#include <map>

#include "platform/AppKit/Image.h"

namespace {

constexpr const char* kImageNames[] = {"KRSnapback", "KRRemoveShortcut", "KRRemoveShortcutRollover",
                                       "KRRemoveShortcutPressed"};
constexpr NSSize kImageSize{14, 14};

}  // namespace

std::shared_ptr<NSImage> KRSharedImageProvider::supportingImageWithName(const std::string& name) {
    static std::map<std::string, std::shared_ptr<NSImage>> cache;
    if (const auto found = cache.find(name); found != cache.end()) return found->second;
    if (std::none_of(std::begin(kImageNames), std::end(kImageNames),
                     [&](const char* n) { return name == n; }))
        return nullptr;
    const std::shared_ptr<NSImage> resource = NSImage::imageNamed(name + ".png");
    if (!resource) return nullptr;
    // A copy of its own: the recorder sizes it in points whatever the file's pixels.
    auto image = std::make_shared<NSImage>(resource->qtImage());
    image->setSize(kImageSize);
    cache.emplace(name, image);
    return image;
}
