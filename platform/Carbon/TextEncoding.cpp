#include "platform/Carbon/TextEncoding.h"

#include <algorithm>

namespace {

// Mac Roman 0x80..0xFF in Unicode.
constexpr UniChar kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5,
    0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, 0x00F2, 0x00F4,
    0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6,
    0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265,
    0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF,
    0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5,
    0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044,
    0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9,
    0x0131, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};

void AppendUTF8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The length of the UTF-8 sequence led by `lead`, 0 for a byte that cannot lead one.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

UniChar MacRomanToUniChar(unsigned char byte) {
    return byte < 0x80 ? byte : kMacRomanHigh[byte - 0x80];
}

void MacRomanToHFSUniStr255(const unsigned char* bytes, size_t count, HFSUniStr255* name) {
    const size_t n = std::min<size_t>(count, 255);
    for (size_t i = 0; i < n; ++i) name->unicode[i] = MacRomanToUniChar(bytes[i]);
    name->length = static_cast<UInt16>(n);
}

OSStatus UTF8ToHFSUniStr255(const std::string& text, HFSUniStr255* name) {
    HFSUniStr255 result;
    size_t units = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = SequenceLength(lead);
        if (length == 0 || i + length > text.size()) return paramErr;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return paramErr;
            c = (c << 6) | (next & 0x3F);
        }
        if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c <= 0xDFFF))
            return paramErr;
        if (c >= 0x10000) {
            if (units + 2 > 255) return paramErr;
            result.unicode[units++] = static_cast<UniChar>(0xD800 + ((c - 0x10000) >> 10));
            result.unicode[units++] = static_cast<UniChar>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            if (units + 1 > 255) return paramErr;
            result.unicode[units++] = static_cast<UniChar>(c);
        }
        i += length;
    }
    result.length = static_cast<UInt16>(units);
    *name = result;
    return noErr;
}

std::string HFSUniStr255ToUTF8(const HFSUniStr255& name) {
    std::string out;
    const size_t n = std::min<size_t>(name.length, 255);
    for (size_t i = 0; i < n; ++i) {
        char32_t c = name.unicode[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && name.unicode[i + 1] >= 0xDC00 &&
            name.unicode[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (name.unicode[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUTF8(out, c);
    }
    return out;
}

size_t UTF8PrefixLength(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    size_t end = maxBytes;
    // Step back over continuation bytes to the start of the sequence that would be cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return end;
}
