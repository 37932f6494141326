#include "core/UFileUtilities.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "core/SMutexLock.h"
#include "core/TMutex.h"
#include "platform/Carbon/Errors.h"
#include "platform/Carbon/LaunchServices.h"

namespace {

void MakeValid(unsigned char* characters, size_t length) {
    for (size_t i = 0; i < length; ++i)
        if (characters[i] == ':' || characters[i] == '/') characters[i] = '-';
    if (length > 0 && characters[0] == '.') characters[0] = '_';
}

}  // namespace

void MakeMacFileName(StringPtr name) {
    if (name) MakeValid(name + 1, name[0]);
}

void MakeMacFileNameC(char* name) {
    if (name) MakeValid(reinterpret_cast<unsigned char*>(name), std::strlen(name));
}

void MakeSetFileName(StringPtr name) {
    if (!name) return;
    MakeMacFileName(name);
    if (name[0] > 26) {
        std::memmove(name + 1, name + 1 + name[0] - 26, 26);
        name[0] = 26;
        name[1] = '~';
    }
}

TMutex gFreeFileNameMutex;

namespace {

enum class SuffixStyle { kBeforeExtension, kAfterExtensionRemoved };

OSStatus FindFreeName(const FSRef* folder, std::string* name, SuffixStyle) {
    if (!folder || !name) return paramErr;
    SMutexLock lock(gFreeFileNameMutex);
    std::string base = *name;
    std::string extension;  // with its dot
    size_t extensionStart = kLSInvalidExtensionIndex;
    LSGetExtensionInfo(base, &extensionStart);
    if (extensionStart != kLSInvalidExtensionIndex) {
        extension = base.substr(extensionStart - 1);
        base.erase(extensionStart - 1);
    }
    bool renamed = false;
    for (int n = 1; n < INT_MAX; ++n) {
        const std::string candidate =
            extension.empty() ? base + "." + std::to_string(n) : base + "_" + std::to_string(n) + extension;
        const OSStatus status = LookUpFileName(*folder, candidate);
        if (status == fnfErr) {
            *name = candidate;
            return fnfErr;
        }
        if (status == noErr) continue;
        if (status == bdNamErr && !renamed) {
            base = "untitled";
            extension.clear();
            renamed = true;
            n = 0;
            continue;
        }
        return status;
    }
    return dupFNErr;
}

std::string Lowered(const unsigned char* text, size_t length) {
    std::string out(reinterpret_cast<const char*>(text), length);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

OSStatus LookUpFileName(const FSRef& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 255 ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        return bdNamErr;
    const std::string path = (folder.path == "/" ? std::string() : folder.path) + "/" + name;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) return noErr;
    if (errno == ENOENT) return fnfErr;
    return OSStatusFromErrno(errno);
}

OSStatus AppendUnicodeName(const FSRef* folder, std::string* name) {
    return FindFreeName(folder, name, SuffixStyle::kBeforeExtension);
}

OSStatus AppendUnicodeNameWithFiletype(const FSRef* folder, std::string* name) {
    return FindFreeName(folder, name, SuffixStyle::kAfterExtensionRemoved);
}

UniqueFile CFURL_fopen(const std::string& url, const char* mode, int& error) {
    error = 0;
    const std::optional<std::string> path = PathFromFileURL(url);
    if (!path || path->empty()) return nullptr;
    if (path->size() >= 1024) {
        error = ENAMETOOLONG;
        return nullptr;
    }
    UniqueFile file(std::fopen(path->c_str(), mode ? mode : "r"));
    if (!file) error = errno;
    return file;
}

UniqueFile FSRef_fopen(const FSRef& ref, const char* mode, int& error) {
    error = 0;
    if (ref.path.empty()) {
        error = ENOENT;
        return nullptr;
    }
    if (ref.path.size() >= 1024) {
        error = ENAMETOOLONG;
        return nullptr;
    }
    UniqueFile file(std::fopen(ref.path.c_str(), mode ? mode : "r"));
    if (!file) error = errno;
    return file;
}

SInt8 isCreateMode(const char* mode) {
    if (!mode) return 0;
    const std::string m(mode);
    static constexpr std::pair<const char*, SInt8> kModes[] = {
        {"r", 1},   {"rb", 1}, {"w", 2},   {"wb", 2},  {"a", 2},  {"ab", 2},  {"r+", 3},  {"rb+", 3},
        {"r+b", 3}, {"w+", 3}, {"wb+", 3}, {"w+b", 3}, {"a+", 3}, {"ab+", 3}, {"a+b", 3},
    };
    for (const auto& [text, permission] : kModes)
        if (m == text) return permission;
    return 0;
}

OSStatus CFURL_delete(const std::string& url) {
    if (url.empty()) return 0x6e696c50;
    const std::optional<std::string> path = PathFromFileURL(url);
    if (!path || path->empty()) return fnfErr;
    if (unlink(path->c_str()) != 0) return OSStatusFromErrno(errno);
    return noErr;
}

OSStatus GetTemporaryItemsFolder(FSRef& folder, bool chewable, SInt16 volume) {
    static TMutex cacheMutex;
    static FSRef cached;
    SMutexLock lock(cacheMutex);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (cached.path.empty()) {
            OSErr status = fnfErr;
            if (chewable) status = FSFindFolder(volume, kChewableItemsFolderType, true, &cached);
            if (status != noErr) status = FSFindFolder(volume, kTemporaryFolderType, true, &cached);
            if (status != noErr) {
                cached = FSRef();
                return status;
            }
        }
        if (FSRefIsCurrent(cached)) {
            folder = cached;
            return noErr;
        }
        cached = FSRef();
    }
    return fnfErr;
}

OSStatus GetMirthvaneFolderInAppSupport(FSRef& folder, unsigned char create) {
    FSRef support;
    const OSErr status = FSFindFolder(kUserDomain, kApplicationSupportFolderType, create != 0, &support);
    if (status != noErr) return status;
    const OSStatus found = LookUpFileName(support, "Beatwick");
    if (found == noErr) return FSPathMakeRef(support.path + "/Beatwick", &folder);
    if (found != fnfErr || !create) return found;
    return CreateUnicodeDirectory("Beatwick", support, &folder);
}

OSStatus CreateUnicodeDirectory(const std::string& name, const FSRef& parent, FSRef* created) {
    std::string valid = name;
    if (!valid.empty()) MakeMacFileNameC(valid.data());
    if (const OSStatus status = LookUpFileName(parent, valid); status != fnfErr)
        return status == noErr ? dupFNErr : status;
    const std::string path = (parent.path == "/" ? std::string() : parent.path) + "/" + valid;
    if (mkdir(path.c_str(), 0700) != 0) return OSStatusFromErrno(errno);
    return created ? FSPathMakeRef(path, created) : noErr;
}

int GetURLType(ConstStr255Param text) {
    if (!text) return 0;
    const unsigned char* p = text + 1;
    size_t length = text[0];
    if (length > 0 && p[0] == '<') {
        ++p;
        --length;
    }
    const std::string lowered = Lowered(p, length);
    const auto startsWith = [&](const char* prefix) { return lowered.rfind(prefix, 0) == 0; };
    if (startsWith("http") || startsWith("www")) return 1;
    if (startsWith("mailto:")) return 2;
    if (startsWith("news:") || startsWith("nntp:")) return 3;
    return 0;
}

void LoadPStrFromCStr(StringPtr destination, const char* source) {
    if (!destination) return;
    size_t n = 0;
    while (source && n < 255 && source[n]) ++n;
    std::memmove(destination + 1, source, n);
    destination[0] = static_cast<unsigned char>(n);
}
