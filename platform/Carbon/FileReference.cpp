#include "platform/Carbon/FileReference.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/Carbon/Errors.h"

OSStatus FSPathMakeRef(const std::string& path, FSRef* ref, Boolean* isDirectory) {
    if (path.empty() || path.front() != '/' || !ref) return paramErr;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return OSStatusFromErrno(errno);
    ref->device = static_cast<uint64_t>(info.st_dev);
    ref->inode = static_cast<uint64_t>(info.st_ino);
    ref->path = path;
    if (isDirectory) *isDirectory = S_ISDIR(info.st_mode);
    return noErr;
}

OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory) {
    if (!path) return paramErr;
    return FSPathMakeRef(std::string(reinterpret_cast<const char*>(path)), ref, isDirectory);
}

OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize) {
    if (!ref || !path || ref->path.size() + 1 > maxPathSize) return paramErr;
    std::memcpy(path, ref->path.c_str(), ref->path.size() + 1);
    return noErr;
}

OSStatus FSCompareFSRefs(const FSRef* a, const FSRef* b) {
    if (!a || !b) return paramErr;
    return (a->device == b->device && a->inode == b->inode) ? noErr : paramErr;
}

bool FSRefIsCurrent(const FSRef& ref) {
    struct stat info {};
    if (::stat(ref.path.c_str(), &info) != 0) return false;
    return static_cast<uint64_t>(info.st_dev) == ref.device && static_cast<uint64_t>(info.st_ino) == ref.inode;
}

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/';
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string FileURLFromPath(const std::string& absolutePath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : absolutePath) {
        if (isUnreserved(c)) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 0xF];
        }
    }
    return url;
}

std::optional<std::string> PathFromFileURL(const std::string& url) {
    static constexpr std::string_view kScheme = "file://";
    if (url.compare(0, kScheme.size(), kScheme) != 0) return std::nullopt;
    std::string_view rest = std::string_view(url).substr(kScheme.size());
    size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    std::string_view host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return std::nullopt;
    std::string path;
    for (size_t i = slash; i < rest.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(rest[i]);
        if (c == '%') {
            if (i + 2 >= rest.size()) return std::nullopt;
            int high = hexValue(static_cast<unsigned char>(rest[i + 1]));
            int low = hexValue(static_cast<unsigned char>(rest[i + 2]));
            if (high < 0 || low < 0) return std::nullopt;
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += static_cast<char>(c);
        }
    }
    return path;
}

std::vector<uint8_t> AliasDataFromPath(const std::string& absolutePath) {
    return std::vector<uint8_t>(absolutePath.begin(), absolutePath.end());
}

std::optional<std::string> PathFromAliasData(const uint8_t* data, size_t size) {
    if (!data || size == 0 || data[0] != '/') return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), size);
}

std::vector<uint8_t> FSRefData(const FSRef& ref) {
    std::vector<uint8_t> data(16 + ref.path.size());
    std::memcpy(data.data(), &ref.device, 8);
    std::memcpy(data.data() + 8, &ref.inode, 8);
    std::memcpy(data.data() + 16, ref.path.data(), ref.path.size());
    return data;
}

std::optional<FSRef> FSRefFromData(const uint8_t* data, size_t size) {
    if (!data || size <= 16) return std::nullopt;
    FSRef ref;
    std::memcpy(&ref.device, data, 8);
    std::memcpy(&ref.inode, data + 8, 8);
    ref.path.assign(reinterpret_cast<const char*>(data) + 16, size - 16);
    if (ref.path.front() != '/') return std::nullopt;
    return ref;
}
