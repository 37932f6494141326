// The player's replies as the bridge reads them: every event the bridge sends is answered with
// the same flattened reply from outside. Whatever it holds, the readers answer their failure
// values and never read past what they were given.
#include <cstdint>
#include <memory>
#include <vector>

#include "Source/PlayerBridge/PBPlaylist.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "platform/AppleEvents/InProcessTransport.h"

namespace {

constexpr SInt32 kPlayerPID = 4242;

void readTrack(const PBTrack& track) {
    (void)track.name();
    (void)track.artist();
    (void)track.genre();
    (void)track.lyrics();
    (void)track.bpm();
    (void)track.duration();
    (void)track.rating();
    (void)track.unplayed();
    (void)track.enabled();
    (void)track.dateAdded();
    (void)track.path();
    (void)track.location();
    (void)track.persistentId();
    (void)track.persistentIdAsString();
    (void)track.artwork();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> reply(data, data + size);
    auto transport = std::make_shared<InProcessTransport>();
    transport->addApplication(kPlayerPID, PBAppleEventObject::iTunesSignature,
                              [&reply](const std::vector<uint8_t>&) { return reply; });
    ScopedAETransport scopedTransport(transport);
    ScopedPlayerProcessLookup lookup([] { return kPlayerPID; });
    PlayerBridge::forgetCachedVersion();

    PlayerBridge& bridge = PlayerBridge::sharedInstance();
    (void)bridge.versionString();
    (void)bridge.playerState();
    (void)bridge.playerVolume();
    (void)bridge.playerPosition();
    (void)bridge.fixedIndexing();
    if (auto track = bridge.currentTrack()) readTrack(*track);
    if (auto tracks = bridge.selectedTracks())
        for (size_t i = 0; i < tracks->size() && i < 4; ++i) readTrack(*(*tracks)[i]);
    if (auto playlist = bridge.currentPlaylist()) {
        (void)playlist->name();
        (void)playlist->persistentIdAsString();
    }
    PlayerBridge::forgetCachedVersion();
    return 0;
}
