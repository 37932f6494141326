#include "platform/Carbon/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>

#include "platform/Carbon/Errors.h"
#include "platform/Carbon/Folders.h"

namespace {

OSStatus lastError() {
    return OSStatusFromErrno(errno);
}

// The descriptors that FSOpenFork handed out and FSCloseFork has not closed yet.
class ForkTable {
public:
    void add(int fd) {
        std::lock_guard lock(fMutex);
        fOpen.insert(fd);
    }
    bool contains(int fd) {
        std::lock_guard lock(fMutex);
        return fOpen.count(fd) != 0;
    }
    bool remove(int fd) {
        std::lock_guard lock(fMutex);
        return fOpen.erase(fd) != 0;
    }

private:
    std::mutex fMutex;
    std::set<int> fOpen;
};

ForkTable& forks() {
    static ForkTable table;
    return table;
}

// The UTF-8 name of a UTF-16 name, or bdNamErr when it cannot name a file in a folder.
OSStatus utf8Name(UniCharCount nameLength, const UniChar* name, std::string* out) {
    if (nameLength == 0 || nameLength > 255 || !name) return bdNamErr;
    HFSUniStr255 record;
    record.length = static_cast<UInt16>(nameLength);
    std::copy(name, name + nameLength, record.unicode);
    std::string text = HFSUniStr255ToUTF8(record);
    if (text == "." || text == ".." || text.size() > 255 || text.find('/') != std::string::npos ||
        text.find('\0') != std::string::npos)
        return bdNamErr;
    *out = std::move(text);
    return noErr;
}

OSStatus childPath(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name, std::string* path) {
    if (!parentRef) return paramErr;
    std::string leaf;
    if (OSStatus err = utf8Name(nameLength, name, &leaf)) return err;
    struct stat info {};
    if (!FSRefIsCurrent(*parentRef) || ::stat(parentRef->path.c_str(), &info) != 0) return dirNFErr;
    if (!S_ISDIR(info.st_mode)) return dirNFErr;
    *path = parentRef->path;
    if (path->empty() || path->back() != '/') *path += '/';
    *path += leaf;
    return noErr;
}

// The absolute position a mode and offset name on this descriptor.
OSStatus resolvePosition(int fd, UInt16 positionMode, SInt64 offset, SInt64* position) {
    struct stat info {};
    switch (positionMode & 0x3) {
        case fsAtMark:
        case fsFromMark: {
            off_t mark = ::lseek(fd, 0, SEEK_CUR);
            if (mark < 0) return lastError();
            *position = mark + ((positionMode & 0x3) == fsFromMark ? offset : 0);
            break;
        }
        case fsFromStart:
            *position = offset;
            break;
        case fsFromLEOF:
            if (::fstat(fd, &info) != 0) return lastError();
            *position = info.st_size + offset;
            break;
    }
    return *position < 0 ? posErr : noErr;
}

}  // namespace

OSStatus FSMakeFSRefUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                            TextEncoding, FSRef* newRef) {
    if (!newRef) return paramErr;
    std::string path;
    if (OSStatus err = childPath(parentRef, nameLength, name, &path)) return err;
    return FSPathMakeRef(path, newRef);
}

OSStatus FSCreateFileUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                             FSCatalogInfoBitmap, const FSCatalogInfo*, FSRef* newRef) {
    std::string path;
    if (OSStatus err = childPath(parentRef, nameLength, name, &path)) return err;
    int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) return lastError();
    ::close(fd);
    FSRef made;
    if (OSStatus err = FSPathMakeRef(path, &made)) return err;
    if (newRef) *newRef = std::move(made);
    return noErr;
}

OSStatus FSDeleteObject(const FSRef* ref) {
    if (!ref) return paramErr;
    if (!FSRefIsCurrent(*ref)) return fnfErr;
    struct stat info {};
    if (::lstat(ref->path.c_str(), &info) != 0) return lastError();
    int result = S_ISDIR(info.st_mode) ? ::rmdir(ref->path.c_str()) : ::unlink(ref->path.c_str());
    return result == 0 ? noErr : lastError();
}

OSStatus FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                          HFSUniStr255* outName, FSRef* parentRef) {
    if (!ref) return paramErr;
    struct stat info {};
    if (!FSRefIsCurrent(*ref) || ::stat(ref->path.c_str(), &info) != 0) return fnfErr;
    if (catalogInfo) {
        if (whichInfo & kFSCatInfoNodeFlags)
            catalogInfo->nodeFlags = S_ISDIR(info.st_mode) ? kFSNodeIsDirectoryMask : 0;
        if (whichInfo & kFSCatInfoVolume) catalogInfo->volume = kOnSystemDisk;
        if (whichInfo & kFSCatInfoDataSizes)
            catalogInfo->dataLogicalSize = S_ISREG(info.st_mode) ? static_cast<UInt64>(info.st_size) : 0;
        if (whichInfo & kFSCatInfoFinderInfo) {
            catalogInfo->fileType = 0;
            catalogInfo->fileCreator = 0;
            catalogInfo->finderFlags = 0;
        }
    }
    size_t slash = ref->path.find_last_of('/');
    std::string leaf = slash == std::string::npos ? ref->path : ref->path.substr(slash + 1);
    if (outName && UTF8ToHFSUniStr255(leaf, outName) != noErr) return bdNamErr;
    if (parentRef) {
        std::string parent = slash == 0 || slash == std::string::npos ? "/" : ref->path.substr(0, slash);
        if (OSStatus err = FSPathMakeRef(parent, parentRef)) return err;
    }
    return noErr;
}

OSStatus FSOpenFork(const FSRef* ref, SInt8 permissions, FSIORefNum* forkRefNum) {
    if (!ref || !forkRefNum) return paramErr;
    if (!FSRefIsCurrent(*ref)) return fnfErr;
    int flags = permissions == fsRdPerm ? O_RDONLY : permissions == fsWrPerm ? O_WRONLY : O_RDWR;
    int fd = ::open(ref->path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return lastError();
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return notAFileErr;
    }
    forks().add(fd);
    *forkRefNum = fd;
    return noErr;
}

OSStatus FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                    void* buffer, ByteCount* actualCount) {
    if (actualCount) *actualCount = 0;
    if (!forks().contains(forkRefNum)) return rfNumErr;
    SInt64 position = 0;
    if (OSStatus err = resolvePosition(forkRefNum, positionMode, positionOffset, &position)) return err;
    if (::lseek(forkRefNum, position, SEEK_SET) < 0) return lastError();
    ByteCount done = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (done < requestCount) {
        ssize_t got = ::read(forkRefNum, bytes + done, requestCount - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            if (actualCount) *actualCount = done;
            return lastError();
        }
        if (got == 0) break;
        done += static_cast<ByteCount>(got);
    }
    if (actualCount) *actualCount = done;
    return done < requestCount ? eofErr : noErr;
}

OSStatus FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                     ByteCount requestCount, const void* buffer, ByteCount* actualCount) {
    if (actualCount) *actualCount = 0;
    if (!forks().contains(forkRefNum)) return rfNumErr;
    SInt64 position = 0;
    if (OSStatus err = resolvePosition(forkRefNum, positionMode, positionOffset, &position)) return err;
    if (::lseek(forkRefNum, position, SEEK_SET) < 0) return lastError();
    ByteCount done = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (done < requestCount) {
        ssize_t put = ::write(forkRefNum, bytes + done, requestCount - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (actualCount) *actualCount = done;
            return put < 0 ? lastError() : ioErr;
        }
        done += static_cast<ByteCount>(put);
    }
    if (actualCount) *actualCount = done;
    if (positionMode & noCacheMask) {
        if (::fdatasync(forkRefNum) != 0) return lastError();
        // Only clean pages can be dropped, hence after the sync.
        ::posix_fadvise(forkRefNum, position, static_cast<off_t>(done), POSIX_FADV_DONTNEED);
    }
    return noErr;
}

OSStatus FSGetForkPosition(FSIORefNum forkRefNum, SInt64* position) {
    if (!forks().contains(forkRefNum)) return rfNumErr;
    if (!position) return paramErr;
    off_t mark = ::lseek(forkRefNum, 0, SEEK_CUR);
    if (mark < 0) return lastError();
    *position = mark;
    return noErr;
}

OSStatus FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset) {
    if (!forks().contains(forkRefNum)) return rfNumErr;
    SInt64 position = 0;
    if (OSStatus err = resolvePosition(forkRefNum, positionMode, positionOffset, &position)) return err;
    SInt64 size = 0;
    if (OSStatus err = FSGetForkSize(forkRefNum, &size)) return err;
    OSStatus result = noErr;
    if (position > size) {
        position = size;
        result = eofErr;
    }
    if (::lseek(forkRefNum, position, SEEK_SET) < 0) return lastError();
    return result;
}

OSStatus FSGetForkSize(FSIORefNum forkRefNum, SInt64* forkSize) {
    if (!forks().contains(forkRefNum)) return rfNumErr;
    if (!forkSize) return paramErr;
    struct stat info {};
    if (::fstat(forkRefNum, &info) != 0) return lastError();
    *forkSize = info.st_size;
    return noErr;
}

OSStatus FSSetForkSize(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset) {
    if (!forks().contains(forkRefNum)) return rfNumErr;
    SInt64 size = 0;
    if (OSStatus err = resolvePosition(forkRefNum, positionMode, positionOffset, &size)) return err;
    off_t mark = ::lseek(forkRefNum, 0, SEEK_CUR);
    if (::ftruncate(forkRefNum, size) != 0) return lastError();
    if (mark > size && ::lseek(forkRefNum, size, SEEK_SET) < 0) return lastError();
    return noErr;
}

OSStatus FSCloseFork(FSIORefNum forkRefNum) {
    if (!forks().remove(forkRefNum)) return rfNumErr;
    return ::close(forkRefNum) == 0 ? noErr : lastError();
}
