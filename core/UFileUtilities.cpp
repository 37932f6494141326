#include "core/UFileUtilities.h"

#include <iconv.h>
#include <langinfo.h>
#include <linux/magic.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <type_traits>

#include "core/SMutexLock.h"
#include "core/TMutex.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Carbon/Errors.h"
#include "platform/Carbon/LaunchServices.h"
#include "platform/Foundation/ApplicationRegistry.h"

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
    if (n > 0) std::memmove(destination + 1, source, n);
    destination[0] = static_cast<unsigned char>(n);
}

namespace {

constexpr UInt32 kNetworkFileSystems[] = {
    NFS_SUPER_MAGIC, SMB_SUPER_MAGIC, CIFS_SUPER_MAGIC, SMB2_SUPER_MAGIC, V9FS_MAGIC,
    AFS_SUPER_MAGIC, AFS_FS_MAGIC,    CODA_SUPER_MAGIC, NCP_SUPER_MAGIC,  CEPH_SUPER_MAGIC,
};

// FUSE file systems that reach their files over a network, by their mount type.
constexpr std::string_view kNetworkFuseTypes[] = {
    "fuse.sshfs",   "sshfs",          "fuse.curlftpfs", "fuse.rclone",   "fuse.s3fs",
    "fuse.gcsfuse", "fuse.ceph-fuse", "fuse.glusterfs", "fuse.smbnetfs", "fuse.davfs2",
};

std::string ReadWholeFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

bool IsNetworkFileSystem(UInt32 statfsType, std::string_view mountType) {
    if (std::find(std::begin(kNetworkFileSystems), std::end(kNetworkFileSystems), statfsType) !=
        std::end(kNetworkFileSystems))
        return true;
    return statfsType == FUSE_SUPER_MAGIC &&
           std::find(std::begin(kNetworkFuseTypes), std::end(kNetworkFuseTypes), mountType) !=
               std::end(kNetworkFuseTypes);
}

std::string MountTypeFromMountInfo(std::string_view mountInfo, unsigned major, unsigned minor) {
    const std::string device = std::to_string(major) + ":" + std::to_string(minor);
    std::istringstream lines{std::string(mountInfo)};
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional fields...] - type source options
        std::istringstream fields(line);
        std::string id, parent, field;
        if (!(fields >> id >> parent >> field) || field != device) continue;
        while (fields >> field && field != "-") {
        }
        if (fields >> field) return field;
    }
    return {};
}

OSStatus IsNetworkVolume(const FSRef& onVolume, bool& isNetwork) {
    isNetwork = false;
    if (onVolume.path.empty()) return nsvErr;
    struct statfs volume {};
    if (::statfs(onVolume.path.c_str(), &volume) != 0) return OSStatusFromErrno(errno);
    const auto type = static_cast<UInt32>(volume.f_type);
    std::string mountType;
    struct stat info {};
    if (type == FUSE_SUPER_MAGIC && ::stat(onVolume.path.c_str(), &info) == 0)
        mountType = MountTypeFromMountInfo(ReadWholeFile("/proc/self/mountinfo"), major(info.st_dev),
                                           minor(info.st_dev));
    isNetwork = IsNetworkFileSystem(type, mountType);
    return noErr;
}

OSStatus FSWriteNoCache(FSIORefNum forkRefNum, ByteCount* count, const void* buffer) {
    if (!count) return paramErr;
    return FSWriteFork(forkRefNum, fsAtMark | noCacheMask, 0, *count, buffer, count);
}

OSStatus GetFileCreator(const FSRef& file, OSType& creator) {
    creator = 0;
    FSCatalogInfo info;
    if (OSStatus err = FSGetCatalogInfo(&file, kFSCatInfoFinderInfo, &info, nullptr, nullptr)) return err;
    creator = info.fileCreator == fourCC("ttxt") ? fourCC("????") : info.fileCreator;
    return noErr;
}

OSStatus GetFSRef(OSType creator, OSType, FSRef& application) {
    // An application's bus name is its bundle identifier.
    const std::optional<std::string> identifier = AEBusNameForSignature(creator);
    if (!identifier) return kLSApplicationNotFoundErr;
    const std::optional<std::string> executable = ApplicationRegistry::shared().executablePath(*identifier);
    if (!executable || FSPathMakeRef(*executable, &application) != noErr) return kLSApplicationNotFoundErr;
    return noErr;
}

namespace {

struct Codeset {
    const char* name;
    TextEncoding encoding;
};

// Character sets as the C library names them.
constexpr Codeset kCodesets[] = {
    {"UTF-8", kTextEncodingUTF8},
    {"ANSI_X3.4-1968", kTextEncodingUS_ASCII},
    {"US-ASCII", kTextEncodingUS_ASCII},
    {"ISO-8859-1", kTextEncodingISOLatin1},
    {"ISO-8859-2", kTextEncodingISOLatin2},
    {"ISO-8859-5", kTextEncodingISOLatinCyrillic},
    {"ISO-8859-7", kTextEncodingISOLatinGreek},
    {"ISO-8859-15", kTextEncodingISOLatin9},
    {"CP1252", kTextEncodingWindowsLatin1},
    {"CP1251", kTextEncodingWindowsCyrillic},
    {"KOI8-R", kTextEncodingKOI8_R},
    {"GB18030", kTextEncodingGB_18030_2000},
    {"GB2312", kTextEncodingEUC_CN},
    {"EUC-JP", kTextEncodingEUC_JP},
    {"EUC-KR", kTextEncodingEUC_KR},
    {"SHIFT_JIS", kTextEncodingShiftJIS},
    {"BIG5", kTextEncodingBig5},
};

struct IconvCloser {
    void operator()(std::remove_pointer_t<iconv_t>* converter) const { iconv_close(converter); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// The text as UTF-8 when it is well-formed in the current locale's character set.
std::optional<std::string> SystemTextToUTF8(std::string_view text) {
    const char* codeset = nl_langinfo(CODESET);
    if (strcasecmp(codeset, "UTF-8") == 0)
        return IsValidUTF8(text) ? std::optional<std::string>(text) : std::nullopt;
    UniqueIconv converter(iconv_open("UTF-8", codeset));
    if (converter.get() == reinterpret_cast<iconv_t>(-1)) {
        converter.release();
        return std::nullopt;
    }
    // Four bytes of UTF-8 are enough for any one input byte.
    std::string out(text.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* next = out.data();
    size_t outLeft = out.size();
    if (iconv(converter.get(), &in, &inLeft, &next, &outLeft) == static_cast<size_t>(-1) ||
        iconv(converter.get(), nullptr, nullptr, &next, &outLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace

TextEncoding My_Get_System_Encoding() {
    const char* codeset = nl_langinfo(CODESET);
    for (const Codeset& known : kCodesets)
        if (strcasecmp(codeset, known.name) == 0) return known.encoding;
    return kTextEncodingUnknown;
}

void My_Text2Unicode(const unsigned char* bytes, size_t count, HFSUniStr255* name) {
    if (!name) return;
    name->length = 0;
    if (!bytes) return;
    constexpr size_t kMaxUnits = std::size(HFSUniStr255{}.unicode);
    const std::optional<std::string> utf8 = SystemTextToUTF8({reinterpret_cast<const char*>(bytes), count});
    if (!utf8) {
        const size_t units = std::min(count, kMaxUnits);
        std::copy(bytes, bytes + units, name->unicode);
        name->length = static_cast<UInt16>(units);
        return;
    }
    const std::u16string converted = UTF16FromUTF8(*utf8);
    size_t units = std::min(converted.size(), kMaxUnits);
    if (units < converted.size() && units > 0 && converted[units - 1] >= 0xD800 &&
        converted[units - 1] <= 0xDBFF)
        --units;
    std::copy(converted.begin(), converted.begin() + static_cast<std::ptrdiff_t>(units), name->unicode);
    name->length = static_cast<UInt16>(units);
}

namespace {

void StorePString(StringPtr destination, std::string_view text) {
    if (!destination) return;
    const size_t length = std::min<size_t>(text.size(), 255);
    if (length > 0) std::memcpy(destination + 1, text.data(), length);
    destination[0] = static_cast<unsigned char>(length);
}

}  // namespace

bool GetNewsURLParams(ConstStr255Param url, StringPtr server, StringPtr group) {
    StorePString(server, {});
    StorePString(group, {});
    if (!url || GetURLType(url) != 3) return false;
    std::string_view text(reinterpret_cast<const char*>(url + 1), url[0]);
    if (text.starts_with('<')) text.remove_prefix(1);
    if (text.ends_with('>')) text.remove_suffix(1);
    text.remove_prefix(text.find(':') + 1);
    std::string_view host;
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        const size_t slash = std::min(text.find('/'), text.size());
        host = text.substr(0, slash);
        text.remove_prefix(std::min(slash + 1, text.size()));
    }
    // news://server/group/article-number names the group too.
    const std::string_view name = text.substr(0, text.find('/'));
    if (name.empty() || name.find('@') != std::string_view::npos) return false;
    StorePString(server, host);
    StorePString(group, name);
    return true;
}
