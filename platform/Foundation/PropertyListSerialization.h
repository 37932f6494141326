// Reading and writing property lists in the XML and binary formats. The bytes come from
// outside, so every reader checks sizes and structure itself before the parser sees them and
// answers a Failure with a clear message rather than crashing or throwing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"

enum class PropertyListFormat { XML, Binary };

// How much of a list a read takes. The defaults bound what bytes from outside can cost; a caller
// that reads one known, possibly huge file (the player's library) raises the length and keeps
// only the parts it needs.
struct PropertyListReadOptions {
    // Inputs above this size are refused before they are read (binary lists: at most 4 GiB - 1).
    size_t maximumLength = size_t{64} << 20;
    // When not empty, only these keys of an XML list's top-level dictionary are kept: the values
    // of the others are checked as well-formed and dropped, and are not counted as values.
    std::vector<std::string> keptTopLevelKeys;
};

class PropertyListSerialization {
public:
    PropertyListSerialization() = delete;

    // Inputs above this size are refused before they are read.
    static constexpr size_t kMaximumLength = size_t{64} << 20;
    // Dictionaries and arrays nested deeper than this are refused.
    static constexpr int kMaximumDepth = 512;
    // Lists holding more values than this are refused: XML ones as written, binary ones once
    // their shared objects are expanded.
    static constexpr uint64_t kMaximumValues = uint64_t{1} << 24;

    // Parses either format (found from the bytes; stored in *format when given).
    // May be called from any thread.
    static Result<PropertyList> propertyListWithData(std::span<const uint8_t> bytes,
                                                     PropertyListFormat* format = nullptr,
                                                     const PropertyListReadOptions& options = {});

    // Fails for a value the format cannot hold exactly: an unsigned integer above INT64_MAX,
    // a date outside the 32-bit second range, text that is not UTF-8 or holds a NUL.
    // May be called from any thread.
    static Result<PropertyList::Data> dataWithPropertyList(const PropertyList& plist,
                                                           PropertyListFormat format);

    // Reads a whole file; a missing, unreadable, oversized or malformed file, or anything but a
    // regular file (a pipe, a device), is a Failure naming the path, at once; so is a file
    // that does not fit in memory. May be called from any thread.
    static Result<PropertyList> propertyListWithContentsOfFile(const std::string& path,
                                                               PropertyListFormat* format = nullptr,
                                                               const PropertyListReadOptions& options = {});
};
