// A distributed notification's user info from another process, read as the notification centre
// reads it and handed to the track model: whatever the values' types and sizes, the model takes
// what it can and never crashes.
#include <cstdint>
#include <span>

#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "tests/Source/FakePlayer.h"

namespace {

struct Host : PlayerStatusHost {
    bool iTunesIsRunning() override { return true; }
    bool iTunesIsResponding(UInt32) override { return true; }
    bool trackAssigned(SInt64, SInt32, bool) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Result<PropertyList> plist = PropertyListSerialization::propertyListWithData(std::span(data, size));
    if (!plist || !plist.value().dictionary()) return 0;
    Host host;
    FakePlayer player;
    player.track = makeTrack(1, 120);
    PlayerStatus status(host, player);
    status.updateForNotification(*plist.value().dictionary(), kPlayStatePlaying);
    (void)status.trackName();
    (void)status.trackNumber();
    (void)status.persistentID();
    (void)status.trackRatingStars();
    status.updateForNotification(*plist.value().dictionary(), kPlayStatePaused);
    return 0;
}
