// Replacing a file so that a crash or a failing disk at any moment leaves either the old file
// or the new one, whole: write a temporary file in the same folder, flush it, rename it over
// the old one, then flush the folder.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>

#include "platform/Foundation/Result.h"

// The file-system calls the writer makes, one per step, so tests can make any step fail.
// Each answers as its POSIX namesake does (-1 and errno on failure).
class AtomicFileSystem {
public:
    virtual ~AtomicFileSystem() = default;
    virtual int openTemporary(const std::string& path, mode_t mode);  // creates, never replaces
    virtual ssize_t write(int fd, const void* bytes, size_t length);
    virtual int sync(int fd);
    virtual int close(int fd);
    virtual int rename(const std::string& from, const std::string& to);
    virtual int openFolder(const std::string& path);
    virtual int syncFolder(int fd);
    virtual int remove(const std::string& path);

    // The real calls.
    static AtomicFileSystem& posix();
};

class AtomicFile {
public:
    AtomicFile() = delete;

    // Replaces (or creates) the file at path with bytes. On failure before the rename the old
    // file is untouched and the temporary file is removed; a failure to flush the folder after
    // the rename leaves the new file in place and is reported too. The folder must exist.
    // The temporary file's name carries the writer's process id: temporary files of the same
    // path whose writer no longer runs (killed while writing) are removed first.
    // May be called from any thread; two writers of one path must not overlap.
    static Result<void> write(const std::string& path, std::span<const uint8_t> bytes, mode_t mode = 0644,
                              AtomicFileSystem& fileSystem = AtomicFileSystem::posix());

    // Moves a file that could not be read to the first free "<path>.corrupt-<n>", so that it is
    // kept for the user and never written over; answers that name. May be called from any thread.
    static Result<std::string> setAside(const std::string& path,
                                        AtomicFileSystem& fileSystem = AtomicFileSystem::posix());
};
