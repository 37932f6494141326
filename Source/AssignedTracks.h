// The assigned-tracks list: which tracks carry a BPM that this program wrote, and which BPM.
// Kept in memory as the entries of "AssignedTrackIDs.plist" (an XML array of dictionaries with
// "TrackPersistentID" and "BPM"), read once and rewritten whole and atomically after every
// assignment. Persistent IDs 0 (none) and -1 (unreadable) are never recorded or matched, so
// two tracks whose IDs cannot be read never count as one. Main thread only.
#pragma once

#include <functional>
#include <string>

#include "platform/Carbon/MacTypes.h"
#include "platform/Foundation/AtomicFile.h"
#include "platform/Foundation/PropertyList.h"

class AssignedTracks {
public:
    AssignedTracks(const AssignedTracks&) = delete;
    AssignedTracks& operator=(const AssignedTracks&) = delete;

    static constexpr const char* kFileName = "AssignedTrackIDs.plist";
    static constexpr const char* kTrackPersistentID = "TrackPersistentID";
    static constexpr const char* kBPM = "BPM";

    using Log = std::function<void(const std::string& message)>;

    // An empty list that saves to path (empty: saving fails and is logged). Without a log,
    // messages go to the standard error stream.
    explicit AssignedTracks(std::string path, Log log = {},
                            AtomicFileSystem& fileSystem = AtomicFileSystem::posix());

    // Reads the list at path; a missing or unreadable file, or one that holds no array, gives an
    // empty list. A file that is there but holds no list, or entries other than an integer ID and
    // BPM, is set aside as "<path>.corrupt-<n>" and logged, and the list keeps the proper
    // entries; when it cannot be read or set aside, the list is never saved over it.
    void load();

    static bool isRealID(SInt64 persistentID) { return persistentID != 0 && persistentID != -1; }

    // An entry with this ID and this BPM exists.
    bool lookup(SInt64 persistentID, SInt32 bpm) const;
    // Moves the first entry of this ID to the end with the new BPM; false when there is none.
    bool update(SInt64 persistentID, SInt32 bpm);
    // update, else appends a new entry; nothing for an ID that is not real or a BPM of 0.
    void record(SInt64 persistentID, SInt32 bpm);

    // Writes the whole list. A failure keeps the list, is logged with its reason and answers
    // false; the next save writes everything again.
    bool save();
    bool savePending() const { return mSavePending; }

    const PropertyList::Array& entries() const { return mEntries; }
    const std::string& path() const { return mPath; }

private:
    static SInt64 entryID(const PropertyList& entry);
    void log(const std::string& message) const;

    std::string mPath;
    Log mLog;
    AtomicFileSystem& mFileSystem;
    PropertyList::Array mEntries;
    bool mSavePending{false};
    bool mReadOnly{false};
};
