#include "platform/Foundation/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

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

std::string nameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::string_view kTemporaryMark = ".tmp-";

// The writer's process id in "<name>.tmp-<pid>-<sequence>", else 0.
pid_t writerOf(std::string_view entry, std::string_view name) {
    if (!entry.starts_with(name) || !entry.substr(name.size()).starts_with(kTemporaryMark)) return 0;
    entry.remove_prefix(name.size() + kTemporaryMark.size());
    const size_t dash = entry.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == entry.size()) return 0;
    auto digits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(entry.substr(0, dash)) || !digits(entry.substr(dash + 1))) return 0;
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(entry.data(), entry.data() + dash, pid);
    if (error != std::errc() || end != entry.data() + dash) return 0;
    return pid;
}

// A process that is gone; one we may not signal still runs.
bool hasEnded(pid_t pid) {
    return pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
}

// A writer killed between creating its temporary file and the rename leaves that file behind;
// the next write of the same path removes those whose writer no longer runs.
void removeAbandonedTemporaries(const std::string& path, AtomicFileSystem& fs) {
    const std::string folder = folderOf(path);
    const std::string name = nameOf(path);
    struct CloseFolder {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, CloseFolder> dir(::opendir(folder.c_str()));
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const pid_t writer = writerOf(entry->d_name, name);
        if (writer != 0 && writer != ::getpid() && hasEnded(writer)) fs.remove(folder + "/" + entry->d_name);
    }
}

}  // namespace

Result<void> AtomicFile::write(const std::string& path, std::span<const uint8_t> bytes, mode_t mode,
                               AtomicFileSystem& fs) {
    static std::atomic<unsigned> sequence{0};
    removeAbandonedTemporaries(path, fs);
    // The writer's process id in the name tells later writers whether the file was abandoned.
    const std::string temporary = path + std::string(kTemporaryMark) + std::to_string(::getpid()) + "-" +
                                  std::to_string(sequence.fetch_add(1));

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
