// Walks the tracks of one playlist, one element request per track.
//
// The count is read once, at creation; an unreadable count (-1) enumerates nothing. Main
// thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/Carbon/MacTypes.h"

class PBPlaylist;
class PBTrack;

class PBTrackEnumerator {
public:
    PBTrackEnumerator(const PBTrackEnumerator&) = delete;
    PBTrackEnumerator& operator=(const PBTrackEnumerator&) = delete;

    explicit PBTrackEnumerator(std::shared_ptr<PBPlaylist> playlist);

    // Starts at the given 1-based track when 0 < index <= count; other indexes are ignored.
    void setIndex(SInt32 index);
    // The next track, or null at the end or when it cannot be read (the position stays).
    std::shared_ptr<PBTrack> nextObject();
    // The tracks from the current position until the first that cannot be read.
    std::vector<std::shared_ptr<PBTrack>> allObjects();

private:
    std::shared_ptr<PBPlaylist> playlist;
    SInt32 count{-1};
    SInt32 seq{0};
};
