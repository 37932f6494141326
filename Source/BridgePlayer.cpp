#include "Source/BridgePlayer.h"

#include "Source/PlayerBridge/PBRequestBatch.h"
#include "Source/PlayerBridge/PBTrack.h"
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

void BridgePlayer::nextTrack() const {
    PlayerBridge::sharedInstance().nextTrack();
}
void BridgePlayer::setPlayerPosition(SInt32 seconds) const {
    PlayerBridge::sharedInstance().setPlayerPosition(seconds);
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
