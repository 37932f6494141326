// File Manager forks and catalog calls on POSIX files.
//
// A fork reference number is a file descriptor that FSOpenFork opened; the calls refuse any
// other number (rfNumErr), so a stale or doubled close never reaches another descriptor. Only
// the data fork exists. Errors come from the one errno table (OSStatusFromErrno). Finder type
// and creator are accepted on creation but not stored: this file system has no place for them.
// Every call may be made from any thread.
#pragma once

#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/MacTypes.h"
#include "platform/Carbon/TextEncoding.h"

using ByteCount = unsigned long;
using FSIORefNum = SInt32;
using FSCatalogInfoBitmap = UInt32;

enum : OSStatus {
    rfNumErr = -51,
    notAFileErr = -1302,
};

// Fork permissions.
enum : SInt8 {
    fsCurPerm = 0,
    fsRdPerm = 1,
    fsWrPerm = 2,
    fsRdWrPerm = 3,
};

// Position modes of the fork calls. noCacheMask may be or-ed in: a write then reaches the disk
// and leaves nothing in the cache; reads ignore it.
enum : UInt16 {
    fsAtMark = 0,
    fsFromStart = 1,
    fsFromLEOF = 2,
    fsFromMark = 3,
    noCacheMask = 0x0020,
};

enum : FSCatalogInfoBitmap {
    kFSCatInfoNone = 0,
    kFSCatInfoNodeFlags = 0x00000002,
    kFSCatInfoVolume = 0x00000004,
    kFSCatInfoFinderInfo = 0x00000800,
    kFSCatInfoDataSizes = 0x00004000,
};

enum : UInt16 { kFSNodeIsDirectoryMask = 0x0010 };

struct FSCatalogInfo {
    UInt16 nodeFlags{0};
    SInt16 volume{0};  // every file lives on the system disk (kOnSystemDisk)
    UInt64 dataLogicalSize{0};
    OSType fileType{0};
    OSType fileCreator{0};
    UInt16 finderFlags{0};
};

// The reference of `name` inside the folder; fnfErr when nothing has that name, bdNamErr when
// the name cannot name a file here (empty, "." or "..", a '/' or NUL, over 255 bytes of UTF-8).
OSStatus FSMakeFSRefUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                            TextEncoding textEncodingHint, FSRef* newRef);
// Creates an empty file (never replacing one: dupFNErr when the name is taken).
OSStatus FSCreateFileUnicode(const FSRef* parentRef, UniCharCount nameLength, const UniChar* name,
                             FSCatalogInfoBitmap whichInfo, const FSCatalogInfo* catalogInfo, FSRef* newRef);
// Removes a file or an empty folder.
OSStatus FSDeleteObject(const FSRef* ref);
// Any of `catalogInfo`, `outName` and `parentRef` may be null. fnfErr when the reference no
// longer names the file it was made for.
OSStatus FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                          HFSUniStr255* outName, FSRef* parentRef);

OSStatus FSOpenFork(const FSRef* ref, SInt8 permissions, FSIORefNum* forkRefNum);
// Reads at the position; fewer bytes than asked (the end of the fork) give eofErr.
OSStatus FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                    void* buffer, ByteCount* actualCount);
OSStatus FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                     ByteCount requestCount, const void* buffer, ByteCount* actualCount);
OSStatus FSGetForkPosition(FSIORefNum forkRefNum, SInt64* position);
// A position beyond the end sets the mark to the end and gives eofErr; before the start, posErr.
OSStatus FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSStatus FSGetForkSize(FSIORefNum forkRefNum, SInt64* forkSize);
// A mark beyond the new end moves to the end.
OSStatus FSSetForkSize(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSStatus FSCloseFork(FSIORefNum forkRefNum);
