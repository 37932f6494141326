#include "Source/AssignedTracks.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

static PropertyList makeEntry(SInt64 persistentID, SInt32 bpm) {
    return PropertyList(
        PropertyList::Dictionary{{AssignedTracks::kTrackPersistentID, PropertyList(persistentID)},
                                 {AssignedTracks::kBPM, PropertyList(bpm)}});
}

// An entry as this program writes it: exactly the two keys, both integers, the BPM in 32 bits.
static bool isEntry(const PropertyList& item) {
    const PropertyList* id = item.objectForKey(AssignedTracks::kTrackPersistentID);
    const PropertyList* bpm = item.objectForKey(AssignedTracks::kBPM);
    if (!id || !bpm || id->type() != PropertyList::Type::Integer ||
        bpm->type() != PropertyList::Type::Integer)
        return false;
    const int64_t value = *bpm->integer();
    if (value < INT32_MIN || value > INT32_MAX) return false;
    return item == makeEntry(*id->integer(), static_cast<SInt32>(value));
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
    std::string why;
    if (!read) {
        why = read.error();
    } else if (!read.value().array()) {
        why = "its top level is not an array";
    } else {
        // An entry of another shape matches no track, and one holding a value no list can store
        // would make every later save fail: only proper entries are kept.
        size_t odd = 0;
        for (PropertyList& item : *read.value().array()) {
            if (isEntry(item))
                mEntries.push_back(std::move(item));
            else
                ++odd;
        }
        if (odd == 0) return;
        why = std::to_string(odd) + " of its entries are not a track's ID and BPM";
    }
    // The list keeps what could be read, and the old file is kept for the user, never saved over.
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
