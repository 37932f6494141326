#include "platform/AppleEvents/AETextEncoding.h"

#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `i`, advancing it; malformed input gives U+FFFD and skips one byte.
char32_t decodeUTF8(std::string_view text, size_t& i) {
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
        ++i;
        return kReplacement;
    }
    if (text.size() - i < length) {
        ++i;
        return kReplacement;
    }
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return value;
}

void appendUTF8(std::string& out, char32_t c) {
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

void appendUnit(std::vector<uint8_t>& out, char16_t unit) {
    uint8_t bytes[2];
    std::memcpy(bytes, &unit, 2);
    out.push_back(bytes[0]);
    out.push_back(bytes[1]);
}

}  // namespace

std::vector<uint8_t> UTF16BytesFromUTF8(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() * 2);
    for (size_t i = 0; i < text.size();) {
        const char32_t c = decodeUTF8(text, i);
        if (c >= 0x10000) {
            appendUnit(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            appendUnit(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            appendUnit(out, static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string UTF8FromUTF16Bytes(const void* bytes, size_t size) {
    std::string out;
    if (!bytes) return out;
    const auto* p = static_cast<const uint8_t*>(bytes);
    const size_t units = size / 2;
    auto unitAt = [p](size_t k) {
        char16_t unit;
        std::memcpy(&unit, p + 2 * k, 2);
        return unit;
    };
    for (size_t k = 0; k < units; ++k) {
        const char16_t unit = unitAt(k);
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < units) {
            const char16_t low = unitAt(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUTF8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (low - 0xDC00));
                ++k;
                continue;
            }
        }
        appendUTF8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return out;
}

bool IsValidUTF8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        const char32_t c = decodeUTF8(text, i);
        // A genuine U+FFFD is three bytes long; a replacement for bad input consumed one.
        if (c == kReplacement && i - start == 1) return false;
    }
    return true;
}
