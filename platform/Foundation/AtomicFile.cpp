#include "platform/Foundation/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

int AtomicFileSystem::openTemporary(const std::string& path, mode_t mode) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
}
ssize_t AtomicFileSystem::write(int fd, const void* bytes, size_t length) {
    return ::write(fd, bytes, length);
}
int AtomicFileSystem::sync(int fd) {
    return ::fsync(fd);
}
int AtomicFileSystem::close(int fd) {
    return ::close(fd);
}
int AtomicFileSystem::rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}
int AtomicFileSystem::openFolder(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}
int AtomicFileSystem::syncFolder(int fd) {
    return ::fsync(fd);
}
int AtomicFileSystem::remove(const std::string& path) {
    return ::unlink(path.c_str());
}

AtomicFileSystem& AtomicFileSystem::posix() {
    static AtomicFileSystem calls;
    return calls;
}

namespace {

Failure failure(const std::string& step, const std::string& path, int error) {
    return Failure{step + " " + path + ": " + std::strerror(error)};
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

Result<void> AtomicFile::write(const std::string& path, std::span<const uint8_t> bytes, mode_t mode,
                               AtomicFileSystem& fs) {
    static std::atomic<unsigned> sequence{0};
    const std::string temporary =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(sequence.fetch_add(1));

    const int fd = fs.openTemporary(temporary, mode);
    if (fd < 0) return failure("create", temporary, errno);

    auto abandon = [&](const char* step, int error, bool open) {
        if (open) fs.close(fd);
        fs.remove(temporary);
        return failure(step, temporary, error);
    };

    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = fs.write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return abandon("write", n < 0 ? errno : EIO, true);
        done += static_cast<size_t>(n);
    }
    if (fs.sync(fd) != 0) return abandon("flush", errno, true);
    if (fs.close(fd) != 0) return abandon("close", errno, false);
    if (fs.rename(temporary, path) != 0) return abandon("rename", errno, false);

    const std::string folder = folderOf(path);
    const int folderFd = fs.openFolder(folder);
    if (folderFd < 0) return failure("open folder", folder, errno);
    const int synced = fs.syncFolder(folderFd);
    const int syncError = errno;
    fs.close(folderFd);
    if (synced != 0) return failure("flush folder", folder, syncError);
    return {};
}

Result<std::string> AtomicFile::setAside(const std::string& path, AtomicFileSystem& fs) {
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = path + ".corrupt-" + std::to_string(n);
        struct stat info {};
        if (::lstat(aside.c_str(), &info) == 0) continue;
        if (fs.rename(path, aside) != 0) return failure("set aside", path, errno);
        return aside;
    }
    return Failure{"set aside " + path + ": a thousand damaged copies are kept already"};
}
