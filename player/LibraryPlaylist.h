// One playlist of the stand-in's library: the library itself, a plain or smart playlist, a
// folder, or one of the player's special playlists (Music, Movies, Podcasts...).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"

namespace player {

enum class PlaylistKind : UInt8 { library, plain, smart, folder, special };

// The special playlists: their "Distinguished Kind" number in the library file and their
// scripted special kind.
struct DistinguishedKind {
    SInt32 number;
    DescType specialKind;
    const char* name;
};

// The known kinds; nullptr for a number or code not in the table.
const DistinguishedKind* FindDistinguishedKind(SInt32 number);
const DistinguishedKind* FindDistinguishedKindByCode(DescType specialKind);

class LibraryPlaylist {
public:
    SInt32 playlistID{0};
    UInt64 persistentID{0};
    std::string name;
    PlaylistKind kind{PlaylistKind::plain};
    SInt32 distinguishedKind{0};  // for PlaylistKind::special
    std::optional<UInt64> parentPersistentID;
    // Track ids in order; a track may appear more than once. Folders list no items of their own:
    // theirs are their children's (MusicLibrary::tracksOf).
    std::vector<SInt32> items;
    // A smart playlist's rules, kept as the file holds them; the stand-in does not evaluate them.
    std::vector<uint8_t> smartInfo;
    std::vector<uint8_t> smartCriteria;

    bool isFolder() const { return kind == PlaylistKind::folder; }
    bool isSmart() const { return kind == PlaylistKind::smart; }
    // Scripts may add tracks to and remove them from plain playlists and the library only.
    bool acceptsTracks() const { return kind == PlaylistKind::library || kind == PlaylistKind::plain; }
    // The scripted special kind; plain and smart playlists answer the version's "none".
    DescType specialKind(DescType noneKind) const;
    // The most specific scripting class: library, folder or user playlist.
    DescType scriptingClass() const;
};

}  // namespace player
