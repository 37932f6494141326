#include "core/streams/TTemporaryFileStream.h"

#include "core/SMutexLock.h"
#include "platform/Carbon/Folders.h"
#include "platform/Carbon/TickClock.h"

SInt16 TTemporaryFileStream::sVolume = kOnSystemDisk;
TMutex TTemporaryFileStream::sMutex;

TTemporaryFileStream::TTemporaryFileStream() : fVolume(sVolume) {
    Init();
}

TTemporaryFileStream::TTemporaryFileStream(const std::string& name) : fFileName(name), fVolume(sVolume) {
    Init();
}

TTemporaryFileStream::~TTemporaryFileStream() {
    try {
        CloseFile();
    } catch (...) {
    }
    if (fDeleteOnDestruction) {
        try {
            DeleteFile();
        } catch (...) {
        }
    }
}

void TTemporaryFileStream::Init() {
    FSRef folder;
    if (OSStatus err = FSFindFolder(fVolume, kTemporaryFolderType, true, &folder))
        throw static_cast<int>(err);
    SMutexLock lock(sMutex);
    if (fFileName.empty()) fFileName = std::to_string(TickCount());
    HFSUniStr255 name;
    if (UTF8ToHFSUniStr255(fFileName, &name) != noErr) UTF8ToHFSUniStr255("Vardlux_Temp", &name);
    fFileName.clear();
    Specify(folder, name);
    CreateFile(fourCC("ttxt"), fourCC("TEXT"));
    OpenFile(fsRdWrPerm);
}

void TTemporaryFileStream::UseVolumeForDirectory(const FSRef&) {
    sVolume = kOnSystemDisk;
}
