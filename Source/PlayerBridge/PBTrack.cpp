#include "Source/PlayerBridge/PBTrack.h"

#include <algorithm>

#include "Source/PlayerBridge/PBLog.h"
#include "Source/PlayerBridge/PersistentID.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "platform/AppKit/Image.h"

namespace {

constexpr OSType kPersistentID = fourCC("pPID");
constexpr OSType kPersistentIDString = fourCC("pPIS");
constexpr OSType kLongDescription = fourCC("pLds");
constexpr OSType kLyrics = fourCC("pLyr");
constexpr OSType kArtworkClass = fourCC("cArt");
constexpr OSType kPictureData = fourCC("pPCT");

UInt32 packedVersion() {
    return PlayerBridge::sharedInstance().versionNumber();
}

AEDesc firstItemOfList(AEDesc descriptor) {
    if (descriptor.descriptorType != typeAEList) return descriptor;
    AEDesc first;
    if (AEGetNthDesc(&descriptor, 1, typeWildCard, nullptr, &first) != noErr) return descriptor;
    return first;
}

}  // namespace

std::shared_ptr<PBTrack> PBTrack::create(AEDesc descriptor) {
    return std::make_shared<PBTrack>(std::move(descriptor));
}

PBTrack::PBTrack(AEDesc descriptor)
    : PBAppleEventObject(firstItemOfList(std::move(descriptor)), iTunesSignature) {}

std::optional<std::string> PBTrack::longDescription() const {
    if (packedVersion() < 0x602) return std::nullopt;
    return text(kLongDescription);
}

void PBTrack::setLongDescription(const std::string& v) const {
    if (packedVersion() >= 0x601) setPropertyWithString(v, kLongDescription);
}

std::optional<std::string> PBTrack::lyrics() const {
    if (packedVersion() < 0x601) return std::nullopt;
    return text(kLyrics);
}

void PBTrack::setLyrics(const std::string& v) const {
    if (packedVersion() >= 0x601) setPropertyWithString(v, kLyrics);
}

SInt64 PBTrack::persistentId() const {
    const UInt32 v = packedVersion();
    if (v < 0x600) {
        NullLog("persistentId Unsupported");
        return -1;
    }
    if (v > 0x721 || v < 0x720) return getPropertyAsLongIntegerForDesc(kPersistentID);
    const std::optional<std::string> id = text(kPersistentID);
    if (!id) return -1;
    return longlongValue("0x" + *id);
}

std::optional<std::string> PBTrack::persistentIdAsString() const {
    const UInt32 v = packedVersion();
    if (v < 0x600) {
        NullLog("persistentIdAsString Unsupported");
        return std::nullopt;
    }
    if (v < 0x720) {
        // -1 is the failed read, not an ID to hand out as text.
        const SInt64 id = getPropertyAsLongIntegerForDesc(kPersistentID);
        if (id == -1) return std::nullopt;
        return PBPersistentIdString(id);
    }
    if (v < 0x730) return text(kPersistentID);
    return text(kPersistentIDString);
}

std::vector<std::shared_ptr<NSImage>> PBTrack::artwork() const {
    std::vector<std::shared_ptr<NSImage>> images;
    // The count is the player's word: a player that claims millions would hold the caller in
    // this loop for as many round trips. No track carries anywhere near this many.
    constexpr SInt32 kMostArtworks = 100;
    const SInt32 count = std::min(getCountOfElementsOfClass(kArtworkClass), kMostArtworks);
    for (SInt32 index = 0; index < count; ++index) {
        const auto element = getElementOfClass(kArtworkClass, index);
        if (!element) {
            NullLog("Failed to retrieve artwork number: %d", index);
            break;
        }
        AEDesc reference;
        if (OSErr err = AEGetParamDesc(element.get(), keyDirectObject, typeWildCard, &reference);
            err != noErr) {
            NullLog("Failed to get reference to artwork: %d", err);
            break;
        }
        const auto data = getPropertyOfTypeForObject(kPictureData, reference);
        if (!data) {
            NullLog("Failed to get data Reply Event: %d", index);
            break;
        }
        DescType type = 0;
        Size size = 0;
        if (OSErr err = AESizeOfParam(data.get(), keyDirectObject, &type, &size); err != noErr) {
            NullLog("Failed to get size and type of data returned: %d", err);
            break;
        }
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        if (OSErr err =
                AEGetParamPtr(data.get(), keyDirectObject, type, nullptr, bytes.data(), size, nullptr);
            err != noErr) {
            NullLog("Failed to extract PICT data to buffer: %d", err);
            break;
        }
        // Data that makes no image is skipped; the next artwork may.
        if (auto image = NSImage::imageWithData(bytes)) images.push_back(std::move(image));
    }
    return images;
}

void PBTrack::setArtwork(const std::optional<std::vector<std::shared_ptr<NSImage>>>& images) const {
    if (!images) {
        deleteAllElementsOfClass(kArtworkClass);
        return;
    }
    for (size_t index = 0; index < images->size(); ++index)
        setArtworkAtIndex((*images)[index], static_cast<int>(index));
}

bool PBTrack::setArtworkAtIndex(const std::shared_ptr<NSImage>&, int) const {
    return false;
}
