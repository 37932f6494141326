#include "Source/BridgePlayer.h"

#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBRequestBatch.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PBTrackEnumerator.h"
#include "Source/PlayerBridge/PlayerBridge.h"

UInt32 BridgePlayer::playerState() const {
    return PlayerBridge::sharedInstance().playerState();
}
SInt32 BridgePlayer::playerVolume() const {
    return PlayerBridge::sharedInstance().playerVolume();
}

std::shared_ptr<PlayerTrack> BridgePlayer::currentTrack() const {
    auto track = PlayerBridge::sharedInstance().currentTrack();
    if (!track) return nullptr;
    return std::make_shared<BridgeTrack>(std::move(track));
}

std::shared_ptr<PlayerPlaylist> BridgePlayer::currentPlaylist() const {
    auto playlist = PlayerBridge::sharedInstance().currentPlaylist();
    if (!playlist) return nullptr;
    return std::make_shared<BridgePlaylist>(std::move(playlist));
}
SInt32 BridgePlayer::playerPosition() const {
    return PlayerBridge::sharedInstance().playerPosition();
}

void BridgePlayer::nextTrack() const {
    PlayerBridge::sharedInstance().nextTrack();
}
void BridgePlayer::backTrack() const {
    PlayerBridge::sharedInstance().backTrack();
}
void BridgePlayer::playPause() const {
    PlayerBridge::sharedInstance().playPause();
}
void BridgePlayer::fastForward() const {
    PlayerBridge::sharedInstance().fastForward();
}
void BridgePlayer::rewind() const {
    PlayerBridge::sharedInstance().rewind();
}
void BridgePlayer::resume() const {
    PlayerBridge::sharedInstance().resume();
}
void BridgePlayer::playTrack(const PlayerTrack& track) const {
    if (auto* bridged = dynamic_cast<const BridgeTrack*>(&track))
        PlayerBridge::sharedInstance().playTrack(*bridged->pbTrack());
}
void BridgePlayer::setPlayerPosition(SInt32 seconds) const {
    PlayerBridge::sharedInstance().setPlayerPosition(seconds);
}
void BridgePlayer::setPlayerVolume(SInt32 volume) const {
    PlayerBridge::sharedInstance().setPlayerVolume(volume);
}

namespace {

std::shared_ptr<PlayerTrack> bridged(std::shared_ptr<PBTrack> track) {
    if (!track) return nullptr;
    return std::make_shared<BridgeTrack>(std::move(track));
}

const PBPlaylist* bridged(const PlayerPlaylist* playlist) {
    auto* own = dynamic_cast<const BridgePlaylist*>(playlist);
    return own ? own->pbPlaylist().get() : nullptr;
}

}  // namespace

std::vector<std::shared_ptr<PlayerPlaylist>> BridgePlayer::userPlaylists() const {
    std::vector<std::shared_ptr<PlayerPlaylist>> lists;
    for (auto& playlist : PlayerBridge::sharedInstance().userPlaylists())
        lists.push_back(std::make_shared<BridgePlaylist>(std::move(playlist)));
    return lists;
}
std::shared_ptr<PlayerPlaylist> BridgePlayer::playlistWithPersistentId(SInt64 persistentId) const {
    auto playlist = PlayerBridge::sharedInstance().playlistWithPersistentId(persistentId);
    if (!playlist) return nullptr;
    return std::make_shared<BridgePlaylist>(std::move(playlist));
}
std::shared_ptr<PlayerTrack> BridgePlayer::trackWithPersistentId(SInt64 persistentId) const {
    return bridged(PlayerBridge::sharedInstance().trackWithPersistentId(persistentId));
}
SInt16 BridgePlayer::addTrackPath(const std::string& path, const PlayerPlaylist* playlist) const {
    // A playlist of another kind than the bridge's would silently mean the library.
    if (playlist && !bridged(playlist)) return paramErr;
    return PlayerBridge::sharedInstance().addTrackPath(path, bridged(playlist));
}
void BridgePlayer::removeTrack(const PlayerTrack& track, const PlayerPlaylist* playlist) const {
    auto* own = dynamic_cast<const BridgeTrack*>(&track);
    if (!own || (playlist && !bridged(playlist))) return;
    PlayerBridge::sharedInstance().removeTrack(*own->pbTrack(), bridged(playlist));
}

namespace {

class BridgeTrackCursor : public PlayerTrackCursor {
public:
    explicit BridgeTrackCursor(std::unique_ptr<PBTrackEnumerator> tracks) : mTracks(std::move(tracks)) {}
    std::shared_ptr<PlayerTrack> nextTrack() override {
        auto track = mTracks->nextObject();
        if (!track) return nullptr;
        return std::make_shared<BridgeTrack>(std::move(track));
    }

private:
    std::unique_ptr<PBTrackEnumerator> mTracks;
};

}  // namespace

SInt64 BridgePlaylist::persistentId() const {
    return mPlaylist->persistentId();
}
std::optional<std::string> BridgePlaylist::name() const {
    return mPlaylist->name();
}
SInt32 BridgePlaylist::trackCount() const {
    return mPlaylist->trackCount();
}
std::shared_ptr<PlayerTrack> BridgePlaylist::trackWithPersistentId(SInt64 persistentId) const {
    return bridged(mPlaylist->trackWithPersistentId(persistentId));
}
std::unique_ptr<PlayerTrackCursor> BridgePlaylist::tracksFromIndex(SInt32 index) const {
    auto tracks = mPlaylist->trackEnumeratorFromIndex(index);
    if (!tracks) return nullptr;
    return std::make_unique<BridgeTrackCursor>(std::move(tracks));
}

bool BridgePlayer::refreshAnswered(const std::function<void()>& refresh) {
    const PBRequestBatch batch;
    refresh();
    return !batch.unanswered();
}

bool BridgePlayer::refreshLeftUnanswered() const {
    const PBRequestBatch* batch = PBRequestBatch::current();
    return batch && batch->unanswered();
}

void BridgePlayer::noteRefreshUnanswered() {
    if (PBRequestBatch* batch = PBRequestBatch::current()) batch->noteUnanswered();
}

std::optional<std::string> BridgeTrack::name() const {
    return mTrack->name();
}
std::optional<std::string> BridgeTrack::artist() const {
    return mTrack->artist();
}
std::optional<std::string> BridgeTrack::album() const {
    return mTrack->album();
}
std::optional<std::string> BridgeTrack::genre() const {
    return mTrack->genre();
}
SInt32 BridgeTrack::trackNumber() const {
    return mTrack->trackNumber();
}
SInt32 BridgeTrack::duration() const {
    return mTrack->duration();
}
SInt32 BridgeTrack::rating() const {
    return mTrack->rating();
}
SInt32 BridgeTrack::bpm() const {
    return mTrack->bpm();
}
void BridgeTrack::setBpm(SInt32 bpm) const {
    mTrack->setBpm(bpm);
}
void BridgeTrack::setRating(SInt32 rating) const {
    mTrack->setRating(rating);
}
SInt64 BridgeTrack::persistentId() const {
    return mTrack->persistentId();
}
std::optional<std::string> BridgeTrack::location() const {
    return mTrack->location();
}
std::optional<std::string> BridgeTrack::path() const {
    return mTrack->path();
}
void BridgeTrack::setGenre(const std::string& genre) const {
    mTrack->setGenre(genre);
}
std::vector<std::shared_ptr<NSImage>> BridgeTrack::artwork() const {
    return mTrack->artwork();
}
SInt32 BridgeTrack::trackIndex() const {
    return mTrack->trackIndex();
}
