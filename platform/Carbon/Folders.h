// Finding the standard folders: Temporary Items, chewable items and Application Support.
//
// Temporary and chewable items share one private folder (mode 0700, owned by this user) under
// $TMPDIR (default /tmp); Application Support is $XDG_DATA_HOME (default ~/.local/share).
#pragma once

#include "platform/Carbon/FileReference.h"
#include "platform/Carbon/MacTypes.h"

constexpr SInt16 kOnSystemDisk = -32768;
constexpr SInt16 kOnAppropriateDisk = -32767;
constexpr SInt16 kUserDomain = -32763;

constexpr OSType kTemporaryFolderType = fourCC("temp");
constexpr OSType kChewableItemsFolderType = fourCC("flnt");
constexpr OSType kApplicationSupportFolderType = fourCC("asup");

// Finds (and with `createFolder` creates) the folder of the given type; the volume or domain is
// accepted for any of the constants above. fnfErr when it is missing and not to be created,
// paramErr for an unknown type, permErr when the temporary folder is not private to this user.
// May be called from any thread.
OSErr FSFindFolder(SInt16 vRefNumOrDomain, OSType folderType, Boolean createFolder, FSRef* foundRef);
