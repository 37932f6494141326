// Text inside descriptors: 'utxt' is UTF-16 in host byte order, 'TEXT' and 'utf8' are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Carbon/TextEncoding.h"  // IsValidUTF8

// The UTF-16 bytes of a UTF-8 text; malformed sequences become U+FFFD.
std::vector<uint8_t> UTF16BytesFromUTF8(std::string_view text);
// The UTF-8 text of UTF-16 bytes; an odd trailing byte is dropped, unpaired surrogates become U+FFFD.
std::string UTF8FromUTF16Bytes(const void* bytes, size_t size);
