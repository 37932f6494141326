#include "Source/PlayerBridge/PBPlaylist.h"

#include <QString>
#include <algorithm>
#include <array>

#include "Source/PlayerBridge/PBLocalization.h"
#include "Source/PlayerBridge/PBLog.h"
#include "Source/PlayerBridge/PBPlaylistCache.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PBTrackEnumerator.h"
#include "Source/PlayerBridge/PersistentID.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "platform/AppleEvents/AEPrint.h"

namespace {

constexpr OSType kTrackClass = fourCC("cTrk");
constexpr OSType kPersistentID = fourCC("pPID");
constexpr OSType kDatabaseID = fourCC("pDID");
constexpr OSType kName = fourCC("pnam");
constexpr OSType kParent = fourCC("pPlP");

// Name keys of the pseudo-playlists, by persistent ID.
constexpr std::array<const char*, 4> kPseudoPlaylistNames = {"iTunes", "LIBRARY", "STORE", "PLAYLISTS"};

UInt32 packedVersion() {
    return PlayerBridge::sharedInstance().versionNumber();
}

bool textForm(UInt32 v) {
    return v >= 0x720 && v <= 0x721;
}

std::shared_ptr<PBTrack> trackOfReply(const AppleEvent* reply) {
    std::optional<AEDesc> direct = PBDirectObjectOfReply(reply);
    if (!direct) return nullptr;
    return PBTrack::create(std::move(*direct));
}

}  // namespace

std::shared_ptr<PBPlaylist> PBPlaylist::create(AEDesc descriptor) {
    return std::make_shared<PBPlaylist>(std::move(descriptor));
}

std::shared_ptr<PBPlaylist> PBPlaylist::createPseudoPlaylist() {
    return std::make_shared<PBPlaylist>();
}

PBPlaylist::PBPlaylist() : fPersistentId(0), fParentPlaylistId(0) {}

PBPlaylist::PBPlaylist(AEDesc descriptor) : PBAppleEventObject(std::move(descriptor), iTunesSignature) {}

std::shared_ptr<PBPlaylist> PBPlaylist::sharedPlaylist() {
    return std::static_pointer_cast<PBPlaylist>(shared_from_this());
}

std::optional<std::string> PBPlaylist::name() {
    const SInt64 id = persistentId();
    if (id >= 0 && id < static_cast<SInt64>(kPseudoPlaylistNames.size()))
        return PBLocalizedString(kPseudoPlaylistNames[static_cast<size_t>(id)]);
    return getPropertyAsStringForDesc(kName);
}

std::vector<std::shared_ptr<PBTrack>> PBPlaylist::tracks() {
    return trackEnumerator()->allObjects();
}

std::vector<std::shared_ptr<PBTrack>> PBPlaylist::tracksFromIndex(SInt32 index) {
    return trackEnumeratorFromIndex(index)->allObjects();
}

std::unique_ptr<PBTrackEnumerator> PBPlaylist::trackEnumerator() {
    return std::make_unique<PBTrackEnumerator>(sharedPlaylist());
}

std::unique_ptr<PBTrackEnumerator> PBPlaylist::trackEnumeratorFromIndex(SInt32 index) {
    auto enumerator = trackEnumerator();
    enumerator->setIndex(index);
    return enumerator;
}

std::shared_ptr<PBPlaylist> PBPlaylist::parentPlaylist() {
    const auto reply = getPropertyOfType(kParent);
    if (!reply) return nullptr;
    AEDesc direct;
    if (AEGetParamDesc(reply.get(), keyDirectObject, typeWildCard, &direct) == noErr)
        return create(std::move(direct));
    SInt32 error = 0;
    const OSErr err =
        AEGetParamPtr(reply.get(), keyErrorNumber, typeSInt32, nullptr, &error, sizeof error, nullptr);
    if (error != errAENoSuchObject) {
        const std::string printed = AEPrint(*reply);
        NullLog("ERROR in -[PBPlaylist parentplaylist] \"%@\" -- replyEvent: %s (AEGetParamPtr result %d)",
                name(), printed.c_str(), err);
    }
    return nullptr;
}

SInt64 PBPlaylist::parentPlaylistId() {
    if (fParentPlaylistId != -1) return fParentPlaylistId;
    const auto parent = parentPlaylist();
    fParentPlaylistId = parent ? parent->persistentId() : 0;
    return fParentPlaylistId;
}

std::vector<SInt64> PBPlaylist::childPlaylistIds() {
    if (!fAreChildrenSorted) {
        // Each name is read once: names asked again during the sort may change or fail, and a
        // comparison that contradicts itself sends std::sort past the ends of the array.
        struct Entry {
            SInt64 id;
            bool known;
            QString name;
        };
        PBPlaylistCache& cache = PBPlaylistCache::sharedInstance();
        std::vector<Entry> entries;
        entries.reserve(fChildPlaylistIds.size());
        for (SInt64 id : fChildPlaylistIds) {
            const auto playlist = cache.playlistForPersistentId(id);
            entries.push_back(
                {id, playlist != nullptr,
                 playlist ? QString::fromStdString(playlist->name().value_or(std::string())) : QString()});
        }
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            if (a.known != b.known) return a.known;
            if (a.known) {
                const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
                if (byName != 0) return byName < 0;
            }
            return a.id < b.id;
        });
        for (size_t i = 0; i < entries.size(); ++i) fChildPlaylistIds[i] = entries[i].id;
        fAreChildrenSorted = true;
    }
    return fChildPlaylistIds;
}

void PBPlaylist::addChildPlaylistId(SInt64 id) {
    fChildPlaylistIds.push_back(id);
    fAreChildrenSorted = false;
}

SInt64 PBPlaylist::persistentId() {
    if (fPersistentId != -1) return fPersistentId;
    const UInt32 v = packedVersion();
    if (v < 0x600) {
        NullLog("persistentId Unsupported");
        return -1;
    }
    if (!textForm(v)) return getPropertyAsLongIntegerForDesc(kPersistentID);
    const std::optional<std::string> id = getPropertyAsStringForDesc(kPersistentID);
    if (!id) return -1;
    fPersistentId = longlongValue("0x" + *id);
    return fPersistentId;
}

std::optional<std::string> PBPlaylist::persistentIdAsString() const {
    const UInt32 v = packedVersion();
    if (v < 0x600) {
        NullLog("persistentIdAsString Unsupported");
        return std::nullopt;
    }
    if (textForm(v)) return getPropertyAsStringForDesc(kPersistentID);
    // -1 is the failed read, not an ID to hand out as text.
    const SInt64 id = getPropertyAsLongIntegerForDesc(kPersistentID);
    if (id == -1) return std::nullopt;
    return PBPersistentIdString(id);
}

std::shared_ptr<PBTrack> PBPlaylist::trackWithPersistentId(SInt64 id) const {
    const UInt32 v = packedVersion();
    if (v < 0x600) return nullptr;
    if (textForm(v))
        return trackOfReply(
            getElementOfClassByKeyWithStringValue(kTrackClass, kPersistentID, PBPersistentIdString(id))
                .get());
    return trackOfReply(getElementOfClassByKeyWithLongIntValue(kTrackClass, kPersistentID, id).get());
}

std::shared_ptr<PBTrack> PBPlaylist::trackWithPersistentIdString(const std::string& id) const {
    // The text stands unescaped between quotes in the build text: only digits may go there.
    if (!PBIsPersistentIdText(id)) return nullptr;
    const UInt32 v = packedVersion();
    if (v < 0x600) return nullptr;
    if (textForm(v))
        return trackOfReply(getElementOfClassByKeyWithStringValue(kTrackClass, kPersistentID, id).get());
    return trackOfReply(
        getElementOfClassByKeyWithLongIntValue(kTrackClass, kPersistentID, longlongValue(id)).get());
}

std::shared_ptr<PBTrack> PBPlaylist::trackWithDatabaseId(SInt32 databaseId) const {
    return trackOfReply(getElementOfClassByKeyWithIntValue(kTrackClass, kDatabaseID, databaseId).get());
}

bool PBPlaylist::isSpecialKind() const {
    PBSystemLog("WARNING: not yet implemented");
    return false;
}

bool PBPlaylist::isCached() const {
    PBSystemLog("WARNING: not yet implemented");
    return false;
}

int comparePlaylistName(SInt64 persistentId, SInt64 otherPersistentId) {
    PBPlaylistCache& cache = PBPlaylistCache::sharedInstance();
    const auto a = cache.playlistForPersistentId(persistentId);
    const auto b = cache.playlistForPersistentId(otherPersistentId);
    const auto byId = [&] {
        return persistentId < otherPersistentId ? -1 : persistentId > otherPersistentId ? 1 : 0;
    };
    if (!a || !b) {
        if (a) return -1;
        if (b) return 1;
        return byId();
    }
    const QString nameA = QString::fromStdString(a->name().value_or(std::string()));
    const QString nameB = QString::fromStdString(b->name().value_or(std::string()));
    const int byName = QString::compare(nameA, nameB, Qt::CaseInsensitive);
    if (byName != 0) return byName < 0 ? -1 : 1;
    return byId();
}
