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
SInt32 BridgePlaylist::trackCount() const {
    return mPlaylist->trackCount();
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
std::vector<std::shared_ptr<NSImage>> BridgeTrack::artwork() const {
    return mTrack->artwork();
}
SInt32 BridgeTrack::trackIndex() const {
    return mTrack->trackIndex();
}
