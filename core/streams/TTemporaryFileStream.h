// A file stream on a new file in the temporary-items folder, which is private to the user
// (mode 0700). The file is created exclusively, never over an existing one, and is deleted when
// the stream is destroyed. Two streams made in the same tick get different files.
//
// Construction may happen on any thread: file creation is serialised by a class-wide mutex,
// taken before the free-file-name mutex.
#pragma once

#include <string>

#include "core/TMutex.h"
#include "core/streams/TFileStream.h"

class TTemporaryFileStream : public TFileStream {
public:
    // The file is named after the current tick count. A file that cannot be created or opened
    // makes the constructor throw its error as an `int`.
    TTemporaryFileStream();
    explicit TTemporaryFileStream(const std::string& name);
    ~TTemporaryFileStream() override;

    // The class-wide volume of new temporary files: the directory's volume, or the system disk
    // when that cannot be read or should not hold them. Every file lives on the system disk here.
    static void UseVolumeForDirectory(const FSRef& directory);

private:
    void Init();

    std::string fFileName;
    bool fDeleteOnDestruction{true};
    SInt16 fVolume;

    static SInt16 sVolume;
    static TMutex sMutex;
};
