#include "platform/Foundation/UTF8.h"

std::optional<uint32_t> decodeUTF8(std::string_view text, size_t& at) {
    if (at >= text.size()) return std::nullopt;
    const auto c = static_cast<uint8_t>(text[at]);
    size_t extra = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
        cp = c;
    } else if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return std::nullopt;
    }
    if (extra > 0 && at + extra >= text.size()) return std::nullopt;
    for (size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<uint8_t>(text[at + k]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    at += extra + 1;
    return cp;
}

bool isValidUTF8WithoutNul(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const std::optional<uint32_t> cp = decodeUTF8(text, i);
        if (!cp || *cp == 0) return false;
    }
    return true;
}

void appendUTF8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}
