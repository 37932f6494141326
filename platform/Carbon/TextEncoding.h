// Text in the platform's 16-bit units, and the Mac Roman character set of stored names.
#pragma once

#include <string>

#include "platform/Carbon/MacTypes.h"

using UniChar = UInt16;
using UniCharCount = unsigned long;

// A name of at most 255 UTF-16 units, as file-system calls take it.
struct HFSUniStr255 {
    UInt16 length{0};
    UniChar unicode[255]{};
};

// The UTF-16 unit of one Mac Roman byte.
UniChar MacRomanToUniChar(unsigned char byte);
// Converts Mac Roman bytes to a name record, cut at 255 units. Always succeeds.
void MacRomanToHFSUniStr255(const unsigned char* bytes, size_t count, HFSUniStr255* name);
// UTF-8 text to a name record; paramErr when the text is not UTF-8 or needs more than 255 units.
OSStatus UTF8ToHFSUniStr255(const std::string& text, HFSUniStr255* name);
// A name record as UTF-8 (unpaired surrogates become U+FFFD).
std::string HFSUniStr255ToUTF8(const HFSUniStr255& name);
// The longest prefix of `text` of at most `maxBytes` bytes that does not split a UTF-8 sequence.
size_t UTF8PrefixLength(const std::string& text, size_t maxBytes);
