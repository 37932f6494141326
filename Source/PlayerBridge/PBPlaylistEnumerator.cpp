#include "Source/PlayerBridge/PBPlaylistEnumerator.h"

#include <algorithm>
#include <string>

#include "Source/PlayerBridge/PBLog.h"
#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PlayerBridge.h"

namespace {

constexpr OSType kPlaylistClass = fourCC("cPly");
constexpr OSType kUserPlaylistClass = fourCC("cUPl");
constexpr OSType kSmart = fourCC("pSmt");
constexpr OSType kKindNone = fourCC("kSpN");
constexpr OSType kKindNon = fourCC("kNon");

}  // namespace

PBPlaylistEnumerator::PBPlaylistEnumerator() : PBPlaylistEnumerator(kPlaylistClass) {}

PBPlaylistEnumerator::PBPlaylistEnumerator(OSType appleEventClass)
    : fAppleEventClass(appleEventClass),
      count(PlayerBridge::sharedInstance().getCountOfElementsOfClass(appleEventClass)) {}

PBPlaylistEnumerator::~PBPlaylistEnumerator() = default;

std::shared_ptr<PBPlaylist> PBPlaylistEnumerator::nextObject() {
    if (seq >= count) return nullptr;
    const auto reply = PlayerBridge::sharedInstance().getElementOfClass(fAppleEventClass, seq);
    if (!reply) return nullptr;
    AEDesc direct;
    if (OSErr err = AEGetParamDesc(reply.get(), keyDirectObject, typeWildCard, &direct); err != noErr) {
        PBSystemLog("Unable to exec getParamDesc: " + std::to_string(err));
        return nullptr;
    }
    ++seq;
    return PBPlaylist::create(std::move(direct));
}

std::vector<std::shared_ptr<PBPlaylist>> PBPlaylistEnumerator::allObjects() {
    std::vector<std::shared_ptr<PBPlaylist>> playlists;
    // An unreadable count is -1: nothing to reserve, nothing to walk.
    playlists.reserve(static_cast<size_t>(std::max<SInt32>(count - seq, 0)));
    while (auto playlist = nextObject()) playlists.push_back(std::move(playlist));
    return playlists;
}

PBUserPlaylistEnumerator::PBUserPlaylistEnumerator() : PBPlaylistEnumerator(kUserPlaylistClass) {}

std::shared_ptr<PBPlaylist> PBUserPlaylistEnumerator::nextObject() {
    while (auto playlist = PBPlaylistEnumerator::nextObject()) {
        const UInt32 kind = playlist->specialKind();
        if ((kind == kKindNone || kind == kKindNon) &&
            (playlist->getPropertyAsIntegerForDesc(kSmart) & 0xFF) == 0)
            return playlist;
    }
    return nullptr;
}
