// Library files from disk: a library is read or refused, never crashed on, and what is read
// saves to bytes that read back to as many tracks and playlists.
#include <cstdint>
#include <cstdlib>

#include "player/MusicLibraryFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using player::MusicLibrary;
    using player::MusicLibraryFile;
    Result<MusicLibrary> library = MusicLibraryFile::libraryWithData({data, size});
    if (!library) return 0;
    (void)library.value().tracksOf(library.value().libraryPlaylist());
    for (const player::LibraryPlaylist* playlist : library.value().playlists()) {
        (void)library.value().tracksOf(*playlist);
        (void)library.value().parentOf(*playlist);
    }
    return 0;
}
