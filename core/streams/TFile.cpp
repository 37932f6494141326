#include "core/streams/TFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/UFileUtilities.h"
#include "platform/Carbon/MacMemory.h"

namespace {

constexpr int kDeleteTries = 3;
constexpr int kFreeNameAttempts = 100;

// A new handle of `size` bytes; the Memory Manager error is thrown.
UniqueHandle newBlock(SInt64 size) {
    UniqueHandle block(NewHandle(static_cast<Size>(size)));
    if (!block) throw static_cast<int>(MemError());
    return block;
}

}  // namespace

TFile::TFile(const FSRef& fileRef) : fFileRef(fileRef) {
    ReadNameAndParent();
}

TFile::TFile(AliasHandle alias, bool& wasChanged, const FSRef* relativeTo) {
    wasChanged = false;
    if (!alias) return;
    std::optional<std::string> path = PathFromAliasData(reinterpret_cast<const uint8_t*>(*alias),
                                                        static_cast<size_t>(GetHandleSize(alias)));
    if (!path) return;
    if (relativeTo && !path->empty() && path->front() != '/') {
        std::string base = relativeTo->path;
        size_t slash = base.find_last_of('/');
        *path = base.substr(0, slash == std::string::npos ? 0 : slash) + "/" + *path;
    }
    if (FSPathMakeRef(*path, &fFileRef) == noErr) ReadNameAndParent();
}

TFile::~TFile() {
    try {
        CloseFile();
    } catch (...) {
    }
}

void TFile::ReadNameAndParent() {
    if (FSGetCatalogInfo(&fFileRef, kFSCatInfoNone, nullptr, &fName, &fParentRef) == noErr) {
        fSpecified = true;
        fExists = true;
    }
}

AliasHandle TFile::MakeAlias(const FSRef* relativeTo) {
    if (!relativeTo || !fExists) return nullptr;
    std::vector<uint8_t> data = AliasDataFromPath(fFileRef.path);
    Handle alias = nullptr;
    if (PtrToHand(data.data(), &alias, static_cast<Size>(data.size())) != noErr) return nullptr;
    ReadNameAndParent();
    return alias;
}

void TFile::CreateFile(OSType creator, OSType type) {
    if (!fSpecified) return;
    FSCatalogInfo info;
    info.fileType = type;
    info.fileCreator = creator;
    OSStatus err =
        FSCreateFileUnicode(&fParentRef, fName.length, fName.unicode, kFSCatInfoFinderInfo, &info, &fFileRef);
    // Another process can take the free name between the search and the creation (temporary files
    // of two processes named after the same tick): search again until the creation wins.
    const std::string wanted = HFSUniStr255ToUTF8(fName);
    for (int attempt = 0; err == dupFNErr && attempt < kFreeNameAttempts; ++attempt) {
        std::string name = wanted;
        HFSUniStr255 freeName;
        if (AppendUnicodeNameWithFiletype(&fParentRef, &name) != fnfErr ||
            UTF8ToHFSUniStr255(name, &freeName) != noErr)
            break;
        fName = freeName;
        err = FSCreateFileUnicode(&fParentRef, fName.length, fName.unicode, kFSCatInfoFinderInfo, &info,
                                  &fFileRef);
    }
    if (err == noErr) fExists = true;
}

FSIORefNum TFile::OpenFile(SInt8 permission) {
    FSIORefNum fork = -1;
    OSStatus err = FSOpenFork(&fFileRef, permission, &fork);
    if (err != noErr) {
        if (fForkRef != -1) {
            FSCloseFork(fForkRef);
            fForkRef = -1;
        }
        throw static_cast<int>(err);
    }
    // A fork this object still had open is closed, not leaked.
    if (fForkRef != -1) FSCloseFork(fForkRef);
    fForkRef = fork;
    return fForkRef;
}

void TFile::CloseFile() {
    if (fForkRef == -1) return;
    OSStatus err = FSCloseFork(fForkRef);
    fForkRef = -1;
    if (err != noErr) throw static_cast<int>(err);
}

void TFile::DeleteFile() {
    if (!fExists) return;
    OSStatus err = fBsyErr;
    for (int attempt = 0; attempt < kDeleteTries && err == fBsyErr; ++attempt)
        err = FSDeleteObject(&fFileRef);
    if (err == fBsyErr && fFileRef.path.size() <= 1023) ::unlink(fFileRef.path.c_str());
    fExists = false;
}

Handle TFile::ReadFile() {
    if (fForkRef == -1) return nullptr;
    SInt64 size = 0;
    if (OSStatus err = FSGetForkSize(fForkRef, &size)) throw static_cast<int>(err);
    if (size == 0) return nullptr;
    UniqueHandle block = newBlock(size);
    ByteCount actual = 0;
    if (OSStatus err =
            FSReadFork(fForkRef, fsFromStart, 0, static_cast<ByteCount>(size), *block.get(), &actual))
        throw static_cast<int>(err);
    return block.release();
}

Handle TFile::ReadBytes(SInt32 maxCount, UInt16 positionMode, SInt64 offset, SInt32& actual) {
    actual = 0;
    if (fForkRef == -1 || maxCount <= 0) return nullptr;
    SInt64 size = 0;
    if (OSStatus err = FSGetForkSize(fForkRef, &size)) throw static_cast<int>(err);
    if (size == 0) return nullptr;
    SInt64 start = offset;
    switch (positionMode & 0x3) {
        case fsFromStart:
            break;
        case fsFromLEOF:
            start = size + offset;
            break;
        default: {
            SInt64 mark = 0;
            if (OSStatus err = FSGetForkPosition(fForkRef, &mark)) throw static_cast<int>(err);
            start = mark + ((positionMode & 0x3) == fsFromMark ? offset : 0);
        }
    }
    if (start < 0) throw static_cast<int>(posErr);
    // Only what remains after the position is asked for, so a read that gets data succeeds.
    SInt64 count = std::min<SInt64>(maxCount, size - start);
    if (count <= 0) return nullptr;
    UniqueHandle block = newBlock(count);
    ByteCount got = 0;
    if (OSStatus err =
            FSReadFork(fForkRef, fsFromStart, start, static_cast<ByteCount>(count), *block.get(), &got))
        throw static_cast<int>(err);
    actual = static_cast<SInt32>(got);
    return block.release();
}

SInt32 TFile::WriteFile(const void* bytes, SInt32 count) {
    if (fForkRef == -1) return 0;
    ByteCount written = 0;
    if (OSStatus err = FSWriteFork(fForkRef, fsFromStart, 0, static_cast<ByteCount>(std::max(count, 0)),
                                   bytes, &written))
        throw static_cast<int>(err);
    if (OSStatus err = FSSetForkSize(fForkRef, fsFromStart, static_cast<SInt64>(written)))
        throw static_cast<int>(err);
    return static_cast<SInt32>(written);
}

SInt32 TFile::AppendFile(const void* bytes, SInt32 count) {
    if (fForkRef == -1) return 0;
    ByteCount written = 0;
    if (OSStatus err = FSWriteFork(fForkRef, fsFromLEOF | noCacheMask, 0,
                                   static_cast<ByteCount>(std::max(count, 0)), bytes, &written))
        throw static_cast<int>(err);
    return static_cast<SInt32>(written);
}

SInt64 TFile::GetDataSize() {
    if (fForkRef == -1) return 0;
    SInt64 size = 0;
    FSGetForkSize(fForkRef, &size);
    return size;
}

void TFile::Invalidate() {
    fExists = false;
    fForkRef = -1;
}

void TFile::Specify(const FSRef& parentRef, const HFSUniStr255& name) {
    fParentRef = parentRef;
    fName = name;
    fSpecified = true;
}

bool TFile::GetFile(FSRef& fileRef) const {
    fileRef = fFileRef;
    return fExists;
}

bool TFile::IsSameFile(const FSRef& fileRef) const {
    return fExists && EqualFileRefs(fFileRef, fileRef);
}

bool TFile::EqualFileRefs(const FSRef& a, const FSRef& b) {
    return FSCompareFSRefs(&a, &b) == noErr;
}

bool TFile::FileExists() {
    if (fExists) return FSGetCatalogInfo(&fFileRef, kFSCatInfoNone, nullptr, nullptr, nullptr) == noErr;
    if (!fSpecified) return false;
    FSRef found;
    if (FSMakeFSRefUnicode(&fParentRef, fName.length, fName.unicode, 0, &found) != noErr) return false;
    fFileRef = std::move(found);
    fExists = true;
    return true;
}

std::string TFile::GetURL() const {
    return FileURLFromPath(fFileRef.path);
}

std::optional<std::string> TFile::GetPath() {
    if (!FileExists() || fFileRef.path.size() > 1023) return std::nullopt;
    return fFileRef.path;
}
