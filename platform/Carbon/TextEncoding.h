// Text in the platform's 16-bit units, and the Mac Roman character set of stored names.
#pragma once

#include <string>
#include <string_view>

#include "platform/Carbon/MacTypes.h"

using UniChar = UInt16;
using UniCharCount = unsigned long;
using TextEncoding = UInt32;

// Text encodings by their platform codes.
enum : TextEncoding {
    kTextEncodingMacRoman = 0x0000,
    kTextEncodingISOLatin1 = 0x0201,
    kTextEncodingISOLatin2 = 0x0202,
    kTextEncodingISOLatinCyrillic = 0x0205,
    kTextEncodingISOLatinGreek = 0x0207,
    kTextEncodingISOLatin9 = 0x020F,
    kTextEncodingWindowsLatin1 = 0x0500,
    kTextEncodingWindowsCyrillic = 0x0502,
    kTextEncodingUS_ASCII = 0x0600,
    kTextEncodingGB_18030_2000 = 0x0632,
    kTextEncodingEUC_JP = 0x0920,
    kTextEncodingEUC_CN = 0x0930,
    kTextEncodingEUC_KR = 0x0940,
    kTextEncodingShiftJIS = 0x0A01,
    kTextEncodingKOI8_R = 0x0A02,
    kTextEncodingBig5 = 0x0A03,
    kTextEncodingUnknown = 0xFFFF,
    kTextEncodingUTF8 = 0x08000100,
};

// A name of at most 255 UTF-16 units, as file-system calls take it.
struct HFSUniStr255 {
    UInt16 length{0};
    UniChar unicode[255]{};
};

// UTF-8 text in UTF-16 code units. A malformed sequence gives U+FFFD for its first byte and goes on
// at the next; `wellFormed`, when given, tells whether there was none.
std::u16string UTF16FromUTF8(std::string_view text, bool* wellFormed = nullptr);
// UTF-16 code units as UTF-8; unpaired surrogates become U+FFFD.
std::string UTF8FromUTF16(std::u16string_view units);
// True when the bytes are well-formed UTF-8.
bool IsValidUTF8(std::string_view text);

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
