// Artwork bytes from the player made into an image: anything that is not an image is refused,
// and what is taken can be drawn.
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/AppKit/Image.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // Image formats beyond the built-in ones are plug-ins, found through the application.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::shared_ptr<NSImage> image = NSImage::imageWithData(std::vector<uint8_t>(data, data + size));
    if (!image) return 0;
    if (image->qtImage().isNull() || image->size().width < 0 || image->size().height < 0) std::abort();
    return 0;
}
