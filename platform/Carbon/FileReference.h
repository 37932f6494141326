// File-system references and the conversions between paths, file URLs and alias data.
//
// A reference is an absolute path together with the device and inode it named when it was
// made, so a file that was replaced under the same name is told apart from the original.
// Inside Apple-event descriptors an 'alis' is the UTF-8 absolute path and an 'fsrf' is the
// 8-byte device, the 8-byte inode (both in host byte order) and the UTF-8 absolute path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Carbon/MacTypes.h"

struct FSRef {
    uint64_t device{0};
    uint64_t inode{0};
    std::string path;

    bool operator==(const FSRef&) const = default;
};

// Makes a reference to an existing file or folder; fnfErr when nothing is there.
OSStatus FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory);
OSStatus FSPathMakeRef(const std::string& path, FSRef* ref, Boolean* isDirectory = nullptr);
// Writes the reference's path, NUL-terminated; paramErr when it does not fit.
OSStatus FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize);
// noErr when both name the same file; diffRefErr-like paramErr otherwise.
OSStatus FSCompareFSRefs(const FSRef* a, const FSRef* b);
// True when the reference still names the file it was made for.
bool FSRefIsCurrent(const FSRef& ref);

// "file:///a%20b" for "/a b"; the path must be absolute.
std::string FileURLFromPath(const std::string& absolutePath);
// The path of a "file://" URL (host empty or "localhost"), percent-decoded; nullopt otherwise.
std::optional<std::string> PathFromFileURL(const std::string& url);

std::vector<uint8_t> AliasDataFromPath(const std::string& absolutePath);
std::optional<std::string> PathFromAliasData(const uint8_t* data, size_t size);
std::vector<uint8_t> FSRefData(const FSRef& ref);
// Reads 'fsrf' data; nullopt when it is shorter than its two numbers or its path is empty.
std::optional<FSRef> FSRefFromData(const uint8_t* data, size_t size);
