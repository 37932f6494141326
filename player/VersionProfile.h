// The version the stand-in reports, and what the player's scripting interface offered at that
// version: which form a persistent ID takes, which track properties exist, how a plain
// playlist's special kind is spelled.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"

namespace player {

// Packs "major.minor.third" as the bridge does: each number cut to 8 bits, combined as
// major << 8 | minor << 4 | third (a minor or third above 15 spills over, as it comes out).
UInt32 PackVersion(const std::string& version);

class VersionProfile {
public:
    // The version record and gates of a version text such as "7.2.1".
    static VersionProfile forVersion(std::string version);
    // The profile the stand-in runs with when nothing else is asked for.
    static VersionProfile current();

    const std::string& version() const { return fVersion; }
    UInt32 packed() const { return fPacked; }

    // Tracks and playlists have 'pPID' from 6.0 on.
    bool hasPersistentID() const { return fPacked >= 0x600; }
    // 7.2 and 7.2.1 answer 'pPID' as 16 hexadecimal digits of text, the others as 'comp'.
    bool persistentIDIsText() const { return fPacked >= 0x720 && fPacked <= 0x721; }
    // 'pPIS', the persistent ID as text, from 7.3 on.
    bool hasPersistentIDString() const { return fPacked >= 0x730; }
    bool readsLongDescription() const { return fPacked >= 0x602; }
    bool writesLongDescription() const { return fPacked >= 0x601; }
    bool hasLyrics() const { return fPacked >= 0x601; }
    // The special kind of a plain playlist: 'kNon' before 7.0, 'kSpN' after.
    DescType noneKind() const;

    // The 'vers' record: numeric version, stage, pre-release, region, then the short and the
    // long version strings as length byte and characters.
    std::vector<uint8_t> versionRecord() const;

private:
    VersionProfile(std::string version, UInt32 packed) : fVersion(std::move(version)), fPacked(packed) {}

    std::string fVersion;
    UInt32 fPacked;
};

}  // namespace player
