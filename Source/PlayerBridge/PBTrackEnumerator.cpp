#include "Source/PlayerBridge/PBTrackEnumerator.h"

#include <algorithm>

#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBTrack.h"

namespace {

constexpr OSType kTrackClass = fourCC("cTrk");

}  // namespace

PBTrackEnumerator::PBTrackEnumerator(std::shared_ptr<PBPlaylist> walked)
    : playlist(std::move(walked)), count(playlist ? playlist->trackCount() : -1) {}

void PBTrackEnumerator::setIndex(SInt32 index) {
    if (index > 0 && index <= count) seq = index - 1;
}

std::shared_ptr<PBTrack> PBTrackEnumerator::nextObject() {
    if (seq >= count) return nullptr;
    const auto reply = playlist->getElementOfClass(kTrackClass, seq);
    std::optional<AEDesc> direct = PBDirectObjectOfReply(reply.get());
    if (!direct) return nullptr;
    ++seq;
    return PBTrack::create(std::move(*direct));
}

std::vector<std::shared_ptr<PBTrack>> PBTrackEnumerator::allObjects() {
    std::vector<std::shared_ptr<PBTrack>> tracks;
    // An unreadable count is -1: nothing to reserve, nothing to walk.
    tracks.reserve(static_cast<size_t>(std::max<SInt32>(count - seq, 0)));
    while (auto track = nextObject()) tracks.push_back(std::move(track));
    return tracks;
}
