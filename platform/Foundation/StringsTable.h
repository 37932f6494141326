// A localized string table read from a ".strings" file: lines of "key" = "value"; with /* */
// and // comments and the escapes \" \\ \n \t \r and \Uxxxx (UTF-16 units, surrogate pairs
// joined). Files are UTF-8, or UTF-16 when they start with a byte-order mark. A malformed
// entry is skipped to the end of its line; nothing is read past the end of the bytes.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Foundation/Result.h"

class StringsTable {
public:
    StringsTable() = default;

    static StringsTable parse(std::span<const uint8_t> bytes);
    // A missing or unreadable file is a Failure naming the path.
    static Result<StringsTable> load(const std::string& path);

    std::optional<std::string> lookup(std::string_view key) const;
    size_t size() const { return mEntries.size(); }

private:
    std::map<std::string, std::string, std::less<>> mEntries;
};
