#include "Source/AssignedTracks.h"

#include <cstdio>

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
    if (mPath.empty()) return;
    auto read = PropertyListSerialization::propertyListWithContentsOfFile(mPath);
    if (!read.ok()) return;  // missing or unreadable: an empty list, nothing reported
    if (const auto* array = read.value().array()) mEntries = *array;
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
