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

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// Decodes one code point at `i`, advancing past it; a malformed sequence gives U+FFFD, clears
// `wellFormed` and advances one byte.
char32_t DecodeUTF8(std::string_view text, size_t& i, bool& wellFormed) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length;
    char32_t value;
    char32_t minimum;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        length = 0, value = 0, minimum = 0;
    }
    bool valid = length != 0 && text.size() - i >= length;
    for (size_t k = 1; valid && k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        valid = (next & 0xC0) == 0x80;
        value = (value << 6) | (next & 0x3F);
    }
    if (!valid || value < minimum || value > 0x10FFFF || IsSurrogate(value)) {
        wellFormed = false;
        ++i;
        return kReplacement;
    }
    i += length;
    return value;
}

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

}  // namespace

std::u16string UTF16FromUTF8(std::string_view text, bool* wellFormed) {
    std::u16string out;
    out.reserve(text.size());
    bool valid = true;
    for (size_t i = 0; i < text.size();) {
        const char32_t c = DecodeUTF8(text, i, valid);
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    if (wellFormed) *wellFormed = valid;
    return out;
}

std::string UTF8FromUTF16(std::u16string_view units) {
    std::string out;
    for (size_t k = 0; k < units.size(); ++k) {
        const char16_t unit = units[k];
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
            units[k + 1] <= 0xDFFF) {
            AppendUTF8(out,
                       0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[k + 1] - 0xDC00));
            ++k;
        } else {
            AppendUTF8(out, IsSurrogate(unit) ? kReplacement : unit);
        }
    }
    return out;
}

bool IsValidUTF8(std::string_view text) {
    bool valid = true;
    for (size_t i = 0; i < text.size() && valid;) DecodeUTF8(text, i, valid);
    return valid;
}

UniChar MacRomanToUniChar(unsigned char byte) {
    return byte < 0x80 ? byte : kMacRomanHigh[byte - 0x80];
}

void MacRomanToHFSUniStr255(const unsigned char* bytes, size_t count, HFSUniStr255* name) {
    const size_t n = std::min<size_t>(count, 255);
    for (size_t i = 0; i < n; ++i) name->unicode[i] = MacRomanToUniChar(bytes[i]);
    name->length = static_cast<UInt16>(n);
}

OSStatus UTF8ToHFSUniStr255(const std::string& text, HFSUniStr255* name) {
    bool wellFormed = false;
    const std::u16string units = UTF16FromUTF8(text, &wellFormed);
    if (!wellFormed || units.size() > 255) return paramErr;
    name->length = static_cast<UInt16>(units.size());
    std::copy(units.begin(), units.end(), name->unicode);
    std::fill(name->unicode + units.size(), name->unicode + 255, UniChar{0});
    return noErr;
}

std::string HFSUniStr255ToUTF8(const HFSUniStr255& name) {
    const size_t n = std::min<size_t>(name.length, 255);
    return UTF8FromUTF16(std::u16string(name.unicode, name.unicode + n));
}

size_t UTF8PrefixLength(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text.size();
    size_t end = maxBytes;
    // Step back over continuation bytes to the start of the sequence that would be cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return end;
}
