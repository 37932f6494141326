#include "player/LibraryPlaylist.h"

#include <algorithm>

#include "player/ScriptingCodes.h"

namespace player {

namespace {

constexpr DistinguishedKind kDistinguishedKinds[] = {
    {2, fourCC("kSpI"), "Movies"},         {3, fourCC("kSpT"), "TV Shows"},
    {4, fourCC("kSpZ"), "Music"},          {5, fourCC("kSpA"), "Audiobooks"},
    {10, fourCC("kSpP"), "Podcasts"},      {19, fourCC("kSpM"), "Purchased"},
    {22, fourCC("kSpS"), "Party Shuffle"}, {24, fourCC("kSpV"), "Videos"},
};

}  // namespace

const DistinguishedKind* FindDistinguishedKind(SInt32 number) {
    const auto found = std::find_if(std::begin(kDistinguishedKinds), std::end(kDistinguishedKinds),
                                    [number](const DistinguishedKind& k) { return k.number == number; });
    return found == std::end(kDistinguishedKinds) ? nullptr : found;
}

const DistinguishedKind* FindDistinguishedKindByCode(DescType specialKind) {
    const auto found =
        std::find_if(std::begin(kDistinguishedKinds), std::end(kDistinguishedKinds),
                     [specialKind](const DistinguishedKind& k) { return k.specialKind == specialKind; });
    return found == std::end(kDistinguishedKinds) ? nullptr : found;
}

DescType LibraryPlaylist::specialKind(DescType noneKind) const {
    switch (kind) {
        case PlaylistKind::library:
            return kSpecialLibrary;
        case PlaylistKind::folder:
            return kSpecialFolder;
        case PlaylistKind::special: {
            const DistinguishedKind* known = FindDistinguishedKind(distinguishedKind);
            return known ? known->specialKind : noneKind;
        }
        case PlaylistKind::plain:
        case PlaylistKind::smart:
            break;
    }
    return noneKind;
}

DescType LibraryPlaylist::scriptingClass() const {
    switch (kind) {
        case PlaylistKind::library:
            return cLibraryPlaylist;
        case PlaylistKind::folder:
            return cFolderPlaylist;
        default:
            return cUserPlaylist;
    }
}

}  // namespace player
