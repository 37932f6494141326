#include "platform/AppKit/Image.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/Foundation/Bundle.h"

namespace {

// The bundle's resources folder: $BEATWICK_RESOURCE_DIR, else Resources beside the executable.
bool isFile(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).isFile();
}

}  // namespace

std::string NSImage::pathForImageResource(const std::string& name) {
    if (name == NSImageNameApplicationIcon) {
        const auto icon = NSBundle::mainBundle().objectForInfoDictionaryKey("CFBundleIconFile");
        return icon && *icon != name ? pathForImageResource(*icon) : std::string();
    }
    if (name.empty() || name.find('/') != std::string::npos) return {};
    const std::string folder = NSBundle::mainBundle().resourcePath() + "/";
    if (isFile(folder + name)) return folder + name;
    const size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    if (isFile(folder + base + ".png")) return folder + base + ".png";
    return {};
}

std::shared_ptr<NSImage> NSImage::imageNamed(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<NSImage>> cache;
    const std::string path = pathForImageResource(name);
    if (path.empty()) return nullptr;
    std::lock_guard lock(mutex);
    auto& cached = cache[path];
    if (!cached) cached = imageWithContentsOfFile(path);
    return cached;
}

std::shared_ptr<NSImage> NSImage::imageWithContentsOfFile(const std::string& path) {
    QImage image(QString::fromStdString(path));
    if (image.isNull()) return nullptr;
    return std::make_shared<NSImage>(std::move(image));
}

std::shared_ptr<NSImage> NSImage::imageWithData(const std::vector<uint8_t>& data) {
    QImage image;
    if (data.empty() || !image.loadFromData(data.data(), static_cast<int>(data.size()))) return nullptr;
    return std::make_shared<NSImage>(std::move(image));
}

NSImage::NSImage(QImage image)
    : mImage(std::move(image)),
      mSize{static_cast<CGFloat>(mImage.width()), static_cast<CGFloat>(mImage.height())} {
    if (mImage.format() != QImage::Format_ARGB32_Premultiplied)
        mImage = mImage.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void NSImage::drawInRect(const NSRect& rect, const NSRect& from, NSCompositingOperation operation,
                         CGFloat fraction) const {
    if (GraphicsContext* context = GraphicsContext::currentContext())
        context->drawImage(mImage, mSize, rect, from, operation, fraction);
}

void NSImage::drawAtPoint(NSPoint point, const NSRect& from, NSCompositingOperation operation,
                          CGFloat fraction) const {
    const NSSize size = NSIsEmptyRect(from) ? mSize : from.size;
    drawInRect(NSMakeRect(point.x, point.y, size.width, size.height), from, operation, fraction);
}

void NSDrawThreePartImage(const NSRect& frame, const NSImage* startCap, const NSImage* centerFill,
                          const NSImage* endCap, bool vertical, NSCompositingOperation operation,
                          CGFloat fraction) {
    if (vertical) {
        const CGFloat top = startCap ? startCap->size().height : 0;
        const CGFloat bottom = endCap ? endCap->size().height : 0;
        if (startCap)
            startCap->drawInRect(NSMakeRect(frame.origin.x, NSMaxY(frame) - top, frame.size.width, top), {},
                                 operation, fraction);
        if (centerFill)
            centerFill->drawInRect(NSMakeRect(frame.origin.x, frame.origin.y + bottom, frame.size.width,
                                              frame.size.height - top - bottom),
                                   {}, operation, fraction);
        if (endCap)
            endCap->drawInRect(NSMakeRect(frame.origin.x, frame.origin.y, frame.size.width, bottom), {},
                               operation, fraction);
        return;
    }
    const CGFloat left = startCap ? startCap->size().width : 0;
    const CGFloat right = endCap ? endCap->size().width : 0;
    if (startCap)
        startCap->drawInRect(NSMakeRect(frame.origin.x, frame.origin.y, left, frame.size.height), {},
                             operation, fraction);
    if (centerFill)
        centerFill->drawInRect(NSMakeRect(frame.origin.x + left, frame.origin.y,
                                          frame.size.width - left - right, frame.size.height),
                               {}, operation, fraction);
    if (endCap)
        endCap->drawInRect(NSMakeRect(NSMaxX(frame) - right, frame.origin.y, right, frame.size.height), {},
                           operation, fraction);
}
