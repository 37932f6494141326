#include "Source/PlayerBridge/PlayerBridge.h"

#include "Source/PlayerBridge/PBLog.h"
#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBPlaylistCache.h"
#include "Source/PlayerBridge/PBPlaylistEnumerator.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PersistentID.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AETextEncoding.h"

namespace {

constexpr AEEventClass kPlayerEventClass = fourCC("hook");
constexpr AEEventID kPlay = fourCC("Play");
constexpr AEEventID kSearch = fourCC("Srch");
constexpr AEEventID kAdd = fourCC("Add ");
constexpr AESendMode kCommandSendMode = kAENoReply | kAENeverInteract;  // 0x11
constexpr OSType kPlaylistClass = fourCC("cPly");
constexpr OSType kLibraryPlaylistClass = fourCC("cLiP");
constexpr OSType kPersistentID = fourCC("pPID");

std::shared_ptr<PBTrack> trackOfReply(const AppleEvent* reply) {
    std::optional<AEDesc> direct = PBDirectObjectOfReply(reply);
    if (!direct) return nullptr;
    return PBTrack::create(std::move(*direct));
}

std::shared_ptr<PBPlaylist> playlistOfReply(const AppleEvent* reply) {
    std::optional<AEDesc> direct = PBDirectObjectOfReply(reply);
    if (!direct) return nullptr;
    return PBPlaylist::create(std::move(*direct));
}

// The integer value of a version part's leading digits, 0 when it has none.
UInt32 versionPart(std::string_view part) {
    UInt32 value = 0;
    for (const char c : part) {
        if (c < '0' || c > '9') break;
        value = (value * 10 + static_cast<UInt32>(c - '0')) & 0xFFFFFFF;  // keeps the low 8 bits exact
    }
    return value;
}

}  // namespace

std::optional<std::string> PlayerBridge::cachedVersion;
UInt32 PlayerBridge::cachedVersionInt = 0;

PlayerBridge& PlayerBridge::sharedInstance() {
    static PlayerBridge sharedObject;
    return sharedObject;
}

std::unique_ptr<AppleEvent> PlayerBridge::newCommandEvent(AEEventID eventID) const {
    auto event = std::make_unique<AppleEvent>();
    if (buildEvent(kPlayerEventClass, eventID, event.get(), "'----':'null'()") != noErr) return nullptr;
    return event;
}

void PlayerBridge::sendCommand(const AppleEvent& event) const {
    sendWithoutReply(event, kCommandSendMode);
}

void PlayerBridge::command(AEEventID eventID) const {
    if (const auto event = newCommandEvent(eventID)) sendCommand(*event);
}

void PlayerBridge::playTrack(const PBTrack& track) const {
    AppleEvent event;
    if (buildEvent(kPlayerEventClass, kPlay, &event, "'----':@", track.descriptor()) != noErr) return;
    sendWithoutReply(event, kCommandSendMode);
}

void PlayerBridge::playTrackWithPath(const std::string& path) const {
    UniqueHandle alias = newAliasHandleWithPath(path);
    if (!alias) {
        NullLog("Unable to resolve path to alias");
        return;
    }
    AppleEvent event;
    const OSStatus err = buildEvent(kPlayerEventClass, kPlay, &event, "'----':alis(@@)", alias);
    alias.reset();
    if (err == noErr) sendWithoutReply(event, kCommandSendMode);
}

std::shared_ptr<PBTrack> PlayerBridge::currentTrack() const {
    const auto reply = request(kCoreEventClass, kAEGetData,
                               "'----':obj { form:prop, want:type(prop), seld:type(pTrk), from:'null'() }");
    return trackOfReply(reply.get());
}

std::shared_ptr<PBPlaylist> PlayerBridge::currentPlaylist() const {
    const auto reply = request(kCoreEventClass, kAEGetData,
                               "'----':obj { form:prop, want:type(prop), seld:type(pPla), from:null() }");
    return playlistOfReply(reply.get());
}

std::optional<PBTrackList> PlayerBridge::selectedTracks() const {
    const auto reply = request(kCoreEventClass, kAEGetData,
                               "'----':obj { form:prop, want:type(prop), seld:type(sele), from:'null'() }");
    return PBTracksOfReplyList(reply.get());
}

std::shared_ptr<PBPlaylist> PlayerBridge::libraryPlaylist() const {
    return playlistOfReply(getElementOfClass(kLibraryPlaylistClass, 0).get());
}

std::optional<PBTrackList> PlayerBridge::search(const PBPlaylist& playlist, const std::string& text,
                                                OSType field) const {
    const std::vector<uint8_t> utf16 = UTF16BytesFromUTF8(text);
    std::string format = "'----':@, pTrm:'utxt'(@)";
    if (field != 0) format += ", pAre:" + stringForOSType(field);
    const auto reply = request(kPlayerEventClass, kSearch, format, playlist.descriptor(),
                               static_cast<Size>(utf16.size()), utf16.data());
    return PBTracksOfReplyList(reply.get());
}

SInt16 PlayerBridge::addTrackPath(const std::string& path, const PBPlaylist* playlist) const {
    UniqueHandle alias = newAliasHandleWithPath(path);
    if (!alias) {
        // Nothing reaches the player: that is a failure, not an add.
        NullLog("Unable to resolve path to alias");
        return fnfErr;
    }
    AppleEvent event;
    OSStatus err = playlist ? buildEvent(kPlayerEventClass, kAdd, &event, "'----':alis(@@), insh:(@)", alias,
                                         playlist->descriptor())
                            : buildEvent(kPlayerEventClass, kAdd, &event, "'----':alis(@@)", alias);
    alias.reset();
    if (err != noErr) return static_cast<SInt16>(err);
    AppleEvent reply;
    if (err = awaitReply(event, &reply); err != noErr) {
        NullLog("Error sending AppleEvent: %d", err);
        return static_cast<SInt16>(err);
    }
    AEDescList list;
    if (err = AEGetParamDesc(&reply, keyDirectObject, typeAEList, &list); err != noErr) {
        NullLog("Error extracting from reply event: %d", err);
        return static_cast<SInt16>(err);
    }
    long count = 0;
    if (err = AECountItems(&list, &count); err != noErr) {
        NullLog("Unable to access Reply List: %d", err);
        return static_cast<SInt16>(err);
    }
    return 0;
}

std::optional<PBTrackList> PlayerBridge::addTrack(const PBTrack& track, const PBPlaylist* playlist) const {
    const std::optional<std::string> path = track.path();
    if (!path) return std::nullopt;
    UniqueHandle alias = newAliasHandleWithPath(*path);
    if (!alias) {
        NullLog("Unable to resolve path to alias");
        return std::nullopt;
    }
    AppleEvent event;
    const OSStatus err = playlist ? buildEvent(kPlayerEventClass, kAdd, &event, "'----':alis(@@), insh:(@)",
                                               alias, playlist->descriptor())
                                  : buildEvent(kPlayerEventClass, kAdd, &event, "'----':alis(@@)", alias);
    alias.reset();
    if (err != noErr) return std::nullopt;
    const auto reply = sendAwaitingReply(event);
    return PBTracksOfReplyList(reply.get());
}

void PlayerBridge::removeTrack(const PBTrack& track, const PBPlaylist* playlist) const {
    if (playlist)
        request(kCoreEventClass, kAEDelete, "'----':@, insh:(@)", track.descriptor(), playlist->descriptor());
    else
        request(kCoreEventClass, kAEDelete, "'----':@", track.descriptor());
}

std::unique_ptr<PBPlaylistEnumerator> PlayerBridge::playlistEnumerator() const {
    return std::make_unique<PBPlaylistEnumerator>();
}

std::unique_ptr<PBUserPlaylistEnumerator> PlayerBridge::userPlaylistEnumerator() const {
    return std::make_unique<PBUserPlaylistEnumerator>();
}

PBPlaylistList PlayerBridge::playlists() const {
    return playlistEnumerator()->allObjects();
}

PBPlaylistList PlayerBridge::userPlaylists() const {
    return userPlaylistEnumerator()->allObjects();
}

SInt32 PlayerBridge::userPlaylistCount() const {
    return static_cast<SInt32>(userPlaylists().size());
}

std::shared_ptr<PBPlaylist> PlayerBridge::rootPlaylist() const {
    return PBPlaylistCache::sharedInstance().playlistForPersistentId(0);
}

std::shared_ptr<PBPlaylist> PlayerBridge::rootUserPlaylist() const {
    return PBPlaylistCache::sharedInstance().userPlaylistForPersistentId(0);
}

std::shared_ptr<PBPlaylist> PlayerBridge::playlistWithPersistentId(SInt64 persistentId) const {
    const UInt32 v = versionNumber();
    if (v <= 0x600) return nullptr;
    if (v >= 0x720 && v <= 0x721)
        return playlistOfReply(getElementOfClassByKeyWithStringValue(kPlaylistClass, kPersistentID,
                                                                     PBPersistentIdString(persistentId))
                                   .get());
    return playlistOfReply(
        getElementOfClassByKeyWithLongIntValue(kPlaylistClass, kPersistentID, persistentId).get());
}

std::shared_ptr<PBTrack> PlayerBridge::trackWithPersistentId(SInt64 persistentId) const {
    const auto library = libraryPlaylist();
    if (!library) {
        NullLog("Unable to get Library Playlist");
        return nullptr;
    }
    return library->trackWithPersistentId(persistentId);
}

std::shared_ptr<PBTrack> PlayerBridge::trackWithPersistentIdString(const std::string& persistentId) const {
    const auto library = libraryPlaylist();
    if (!library) {
        NullLog("Unable to get Library Playlist");
        return nullptr;
    }
    return library->trackWithPersistentIdString(persistentId);
}

std::optional<std::string> PlayerBridge::versionString() const {
    if (cachedVersion) return cachedVersion;
    std::optional<std::string> version = getPropertyAsVersionForDesc(typeVersion);
    if (version) cachedVersion = version;
    return version;
}

UInt32 PlayerBridge::versionNumber() const {
    if (cachedVersionInt != 0) return cachedVersionInt;
    const std::optional<std::string> version = versionString();
    if (!version) return 0;
    cachedVersionInt = packedVersion(*version);
    return cachedVersionInt;
}

UInt32 PlayerBridge::packedVersion(std::string_view version) {
    constexpr unsigned kShifts[] = {8, 4, 0};
    UInt32 packed = 0;
    for (const unsigned shift : kShifts) {
        const size_t dot = version.find('.');
        packed |= (versionPart(version.substr(0, dot)) & 0xFF) << shift;
        if (dot == std::string_view::npos) break;
        version.remove_prefix(dot + 1);
    }
    return packed;
}

void PlayerBridge::forgetCachedVersion() {
    cachedVersion.reset();
    cachedVersionInt = 0;
}

std::optional<PBTrackList> PBTracksOfReplyList(const AppleEvent* reply) {
    if (!reply) return std::nullopt;
    AEDescList list;
    if (OSErr err = AEGetParamDesc(reply, keyDirectObject, typeAEList, &list); err != noErr) {
        NullLog("Error extracting from reply event: %d", err);
        return std::nullopt;
    }
    long count = 0;
    if (OSErr err = AECountItems(&list, &count); err != noErr) {
        NullLog("Unable to access Reply List: %d", err);
        return std::nullopt;
    }
    PBTrackList tracks;
    for (long index = 1; index <= count; ++index) {
        AEDesc item;
        if (OSErr err = AEGetNthDesc(&list, index, typeWildCard, nullptr, &item); err != noErr) {
            NullLog("Error rextracting from List: %d", err);
            break;
        }
        tracks.push_back(PBTrack::create(std::move(item)));
    }
    return tracks;
}
