#include "platform/Carbon/Folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/Carbon/Errors.h"

namespace {

std::string EnvironmentOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : fallback;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) return user->pw_dir;
    return "/";
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Creates each missing folder of an absolute path with the given mode.
OSStatus MakeFolders(const std::string& path, mode_t mode) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return OSStatusFromErrno(errno);
        if (slash == std::string::npos) return noErr;
    }
}

// The private temporary folder: a real folder (not a link) of this user that only it can enter.
OSStatus PrivateTemporaryFolder(Boolean create, std::string& path) {
    path = WithoutTrailingSlashes(EnvironmentOr("TMPDIR", "/tmp")) + "/Beatwick-" + std::to_string(geteuid());
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) return OSStatusFromErrno(errno);
        if (!create) return fnfErr;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return OSStatusFromErrno(errno);
        if (lstat(path.c_str(), &info) != 0) return OSStatusFromErrno(errno);
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid()) return permErr;
    if ((info.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) return permErr;
    return noErr;
}

OSStatus ApplicationSupportFolder(Boolean create, std::string& path) {
    path = WithoutTrailingSlashes(EnvironmentOr("XDG_DATA_HOME", HomeFolder() + "/.local/share"));
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? noErr : errFSNotAFolder;
    if (errno != ENOENT) return OSStatusFromErrno(errno);
    if (!create) return fnfErr;
    return MakeFolders(path, 0700);
}

}  // namespace

OSErr FSFindFolder(SInt16, OSType folderType, Boolean createFolder, FSRef* foundRef) {
    if (!foundRef) return paramErr;
    std::string path;
    OSStatus status = paramErr;
    if (folderType == kTemporaryFolderType || folderType == kChewableItemsFolderType)
        status = PrivateTemporaryFolder(createFolder, path);
    else if (folderType == kApplicationSupportFolderType)
        status = ApplicationSupportFolder(createFolder, path);
    if (status == noErr) status = FSPathMakeRef(path, foundRef);
    return static_cast<OSErr>(status);
}
