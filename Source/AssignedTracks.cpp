#include "Source/AssignedTracks.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Foundation/PropertyListSerialization.h"

AssignedTracks::AssignedTracks(std::string path, Log log, AtomicFileSystem& fileSystem)
    : mPath(std::move(path)), mLog(std::move(log)), mFileSystem(fileSystem) {}

void AssignedTracks::log(const std::string& message) const {
    if (mLog)
        mLog(message);
    else
        std::fprintf(stderr, "Beatwick: %s\n", message.c_str());
}

void AssignedTracks::load() {
    mEntries.clear();
    mReadOnly = false;
    if (mPath.empty()) return;
    if (::access(mPath.c_str(), F_OK) != 0 && errno == ENOENT) return;
    if (::access(mPath.c_str(), R_OK) != 0) {
        mReadOnly = true;
        log("The assigned tracks in " + mPath + " cannot be read (" + std::strerror(errno) +
            "); they will not be saved");
        return;
    }
    auto read = PropertyListSerialization::propertyListWithContentsOfFile(mPath);
    if (read && read.value().array()) {
        mEntries = std::move(*read.value().array());
        return;
    }
    // The list starts empty, but the old file is kept for the user, never saved over.
    const std::string why = read ? "its top level is not an array" : read.error();
    auto aside = AtomicFile::setAside(mPath, mFileSystem);
    if (aside) {
        log("The assigned tracks in " + mPath + " were unreadable (" + why + ") and were moved to " +
            aside.value());
        return;
    }
    mReadOnly = true;
    log("The assigned tracks in " + mPath + " are unreadable (" + why + ") and could not be set aside (" +
        aside.error() + "); they will not be saved");
}

SInt64 AssignedTracks::entryID(const PropertyList& entry) {
    const PropertyList* id = entry.objectForKey(kTrackPersistentID);
    if (id == nullptr) return 0;
    return id->integer().value_or(0);
}

bool AssignedTracks::lookup(SInt64 persistentID, SInt32 bpm) const {
    if (bpm == 0 || !isRealID(persistentID)) return false;
    for (const PropertyList& entry : mEntries) {
        if (entryID(entry) != persistentID) continue;
        const PropertyList* stored = entry.objectForKey(kBPM);
        if (stored != nullptr && stored->integer() == bpm) return true;
    }
    return false;
}

static PropertyList makeEntry(SInt64 persistentID, SInt32 bpm) {
    return PropertyList(
        PropertyList::Dictionary{{AssignedTracks::kTrackPersistentID, PropertyList(persistentID)},
                                 {AssignedTracks::kBPM, PropertyList(bpm)}});
}

bool AssignedTracks::update(SInt64 persistentID, SInt32 bpm) {
    if (bpm == 0 || !isRealID(persistentID)) return false;
    for (auto it = mEntries.begin(); it != mEntries.end(); ++it) {
        if (entryID(*it) != persistentID) continue;
        mEntries.erase(it);
        mEntries.push_back(makeEntry(persistentID, bpm));
        return true;
    }
    return false;
}

void AssignedTracks::record(SInt64 persistentID, SInt32 bpm) {
    if (bpm == 0 || !isRealID(persistentID)) return;
    if (!update(persistentID, bpm)) mEntries.push_back(makeEntry(persistentID, bpm));
}

bool AssignedTracks::save() {
    mSavePending = true;
    if (mPath.empty()) {
        log(std::string("Could not save ") + kFileName + ": no Application Support folder");
        return false;
    }
    if (mReadOnly) {
        log("Could not save " + mPath + ": the file there could not be read or set aside");
        return false;
    }
    auto bytes =
        PropertyListSerialization::dataWithPropertyList(PropertyList(mEntries), PropertyListFormat::XML);
    if (!bytes.ok()) {
        log("Could not save " + mPath + ": " + bytes.error());
        return false;
    }
    auto written = AtomicFile::write(mPath, bytes.value(), 0644, mFileSystem);
    if (!written.ok()) {
        log("Could not save " + mPath + ": " + written.error());
        return false;
    }
    mSavePending = false;
    return true;
}
