// The library the stand-in starts with when the user has none: the sample library file and its
// artwork copied from the bundle's resources, and a small file for every track under the
// library's folder ("iTunes Music/<artist>/<album>/<track>.mp3", as the sample names them), each
// track's location pointing at its file, so that the player and Beatwick find the tracks as
// files: added to playlists, opened, looked up by path.
#pragma once

#include <string>

#include "platform/Foundation/Result.h"

namespace player {

class SampleLibrary {
public:
    // Copies the sample of `sampleFolder` (its library file and artwork folder) to
    // `libraryPath` and makes the tracks' files beside it; nothing when something is at
    // `libraryPath` already. A Failure says what could not be made; what was made stays.
    static Result<void> provide(const std::string& sampleFolder, const std::string& libraryPath);
};

}  // namespace player
