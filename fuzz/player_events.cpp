// Flattened events as the stand-in receives them: whatever they hold, it answers with a reply
// that reads back as an event, and never crashes, on a fresh small library each time.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AEReceive.h"
#include "player/EventDispatcher.h"
#include "player/PlayerModel.h"

namespace {

using namespace player;

MusicLibrary smallLibrary() {
    MusicLibrary library;
    for (SInt32 id = 1; id <= 3; ++id) {
        LibraryTrack track;
        track.trackID = id;
        track.location = "file:///music/" + std::to_string(id) + ".mp3";
        track.set(fourCC("pnam"), "Track " + std::to_string(id));
        track.set(fourCC("pDur"), SInt64{60000});
        if (id == 1) track.set(fourCC("pBPM"), SInt64{120});
        if (id == 2) track.artwork.push_back({1, 2, 3});
        library.addTrack(std::move(track));
    }
    LibraryPlaylist folder;
    folder.name = "Folder";
    folder.kind = PlaylistKind::folder;
    const UInt64 folderID = library.addPlaylist(std::move(folder)).persistentID;
    LibraryPlaylist plain;
    plain.name = "Plain";
    plain.items = {1, 2, 2};
    plain.parentPersistentID = folderID;
    library.addPlaylist(std::move(plain));
    LibraryPlaylist smart;
    smart.name = "Smart";
    smart.kind = PlaylistKind::smart;
    smart.items = {3};
    library.addPlaylist(std::move(smart));
    return library;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PlayerModel model(smallLibrary(), VersionProfile::forVersion(size % 2 ? "7.2.1" : "10.6.3"),
                      std::make_shared<ManualPlaybackClock>());
    model.play();
    EventDispatcher dispatcher(model);
    const std::vector<uint8_t> reply =
        AEAnswerFlattenedEvent(std::vector<uint8_t>(data, data + size), dispatcher.handler());
    AEDesc answer;
    if (AEUnflatten(reply, &answer) != noErr || !answer.event()) std::abort();
    return 0;
}
