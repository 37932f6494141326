// File helpers of the core library: valid file names, the free-name search, opening and
// deleting files by URL, the Temporary Items and Application Support folders, volumes, creators
// and applications, and names in the system's text encoding.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/Files.h"
#include "platform/Carbon/Folders.h"
#include "platform/Carbon/MacTypes.h"
#include "platform/Carbon/TextEncoding.h"

// Make a name valid in place: a leading '.' becomes '_', ':' and '/' become '-'.
void MakeMacFileName(StringPtr name);
void MakeMacFileNameC(char* name);
// As MakeMacFileName, and a name over 26 characters keeps its last 26, the first of them '~'.
void MakeSetFileName(StringPtr name);

class TMutex;

// Serializes free-name searches. A thread that creates temporary files takes the temporary-file
// mutex before this one, never the reverse.
extern TMutex gFreeFileNameMutex;

// Makes the UTF-8 `name` free in `folder`: for N = 1, 2, ... a name with an extension gets "_N"
// before its dot, one without gets ".N" appended, until no such file exists. A name the file
// system rejects is replaced by "untitled" once. Returns fnfErr (-43) with `name` changed when a
// free name was found; any other status of the look-up ends the search with that status and
// leaves `name` as it was. May be called from any thread.
OSStatus AppendUnicodeName(const FSRef* folder, std::string* name);
// The same, removing the extension and appending "_N" and the extension again.
OSStatus AppendUnicodeNameWithFiletype(const FSRef* folder, std::string* name);
// Whether `name` is in `folder`: noErr when it is, fnfErr when not, bdNamErr for a name no file
// can have (empty, ".", "..", holding '/' or NUL, or over 255 bytes), else the system's error.
OSStatus LookUpFileName(const FSRef& folder, const std::string& name);

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Opens the file of a "file://" URL with fopen's mode. Null with `error` 0 when the URL has no
// path, ENAMETOOLONG when the path exceeds 1024 bytes, else the errno of a failed open.
UniqueFile CFURL_fopen(const std::string& url, const char* mode, int& error);
// Opens the file of a reference the same way (-108 style errors do not arise here).
UniqueFile FSRef_fopen(const FSRef& ref, const char* mode, int& error);
// The fork permission of an fopen mode: 1 read, 2 write, 3 read and write; 0 for a bad mode.
SInt8 isCreateMode(const char* mode);
// Deletes the file of a URL; 0x6e696c50 for an empty URL, fnfErr for one without a path.
OSStatus CFURL_delete(const std::string& url);

// The temporary-items folder ('temp'), or the chewable-items folder ('flnt'), which falls back
// to it; created when needed. A cached reference that went stale is found again once.
OSStatus GetTemporaryItemsFolder(FSRef& folder, bool chewable, SInt16 volume = kOnAppropriateDisk);
// The product folder "Beatwick" inside the user's Application Support folder, created when
// missing and `create` is not 0.
OSStatus GetMirthvaneFolderInAppSupport(FSRef& folder, unsigned char create);
// Creates a folder named `name` (made a valid file name) in `parent`, and answers it in `created`.
OSStatus CreateUnicodeDirectory(const std::string& name, const FSRef& parent, FSRef* created);

// Whether the volume holding `onVolume` is reached over a network: a network file system (NFS,
// SMB and CIFS, 9P, AFS, Coda, NCP, Ceph) or a FUSE one that is (sshfs and the like).
OSStatus IsNetworkVolume(const FSRef& onVolume, bool& isNetwork);
// The decision IsNetworkVolume makes from the statfs type and, for FUSE, the mount's type as
// /proc/self/mountinfo names it ("fuse.sshfs").
bool IsNetworkFileSystem(UInt32 statfsType, std::string_view mountType);
// The file-system type of the mount of device major:minor in mountinfo text; empty for none.
std::string MountTypeFromMountInfo(std::string_view mountInfo, unsigned major, unsigned minor);

// Writes at the fork's mark through to the disk, leaving nothing in the cache; `count` is the
// bytes to write and becomes the bytes written.
OSStatus FSWriteNoCache(FSIORefNum forkRefNum, ByteCount* count, const void* buffer);
// The file's creator, '????' for 'ttxt'; 0 when none is stored, as files here carry none.
OSStatus GetFileCreator(const FSRef& file, OSType& creator);
// The application with the signature `creator`, as registered to be launched;
// kLSApplicationNotFoundErr when there is none. No document type is bound to an application
// here, so `type` does not change the answer.
OSStatus GetFSRef(OSType creator, OSType type, FSRef& application);

// The system's text encoding: the current locale's character set; kTextEncodingUnknown for one
// the table does not hold.
TextEncoding My_Get_System_Encoding();
// Converts text of the system's encoding to a name record, cut at 255 units (never inside a
// surrogate pair); text that does not convert has each byte copied to a unit of its value.
void My_Text2Unicode(const unsigned char* bytes, size_t count, HFSUniStr255* name);

// 1 for "http..." or "www...", 2 for "mailto:", 3 for "news:" or "nntp:", else 0; case-insensitive,
// a leading '<' skipped.
int GetURLType(ConstStr255Param text);
// Copies a C string into a length-byte string of at most 255 characters.
void LoadPStrFromCStr(StringPtr destination, const char* source);
// The server (empty when the URL names none) and newsgroup of a "news:" or "nntp:" URL, as
// length-byte strings; false with both empty for another URL or one that names no group (an
// article's message id).
bool GetNewsURLParams(ConstStr255Param url, StringPtr server, StringPtr group);
