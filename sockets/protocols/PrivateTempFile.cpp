#include "sockets/protocols/PrivateTempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/Carbon/Folders.h"

std::string PrivateTempFile::Folder() {
    FSRef ref;
    if (FSFindFolder(kOnSystemDisk, kTemporaryFolderType, true, &ref) != noErr) return "";
    return ref.path;
}

PrivateTempFile::PrivateTempFile(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = Folder();
    if (folder.empty()) return;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        snprintf(name, sizeof(name), "/%s-%d-%u-%d", prefix.c_str(), static_cast<int>(getpid()),
                 counter.fetch_add(1), attempt);
        const std::string path = folder + name;
        const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd == -1) continue;
        close(fd);
        if (fopen(path.c_str(), "r+b"))
            m_path = path;
        else
            unlink(path.c_str());
        return;
    }
}

PrivateTempFile::~PrivateTempFile() {
    fclose();
    if (!m_path.empty()) unlink(m_path.c_str());
}
