#include "platform/AppleEvents/AETextEncoding.h"

#include <cstring>

std::vector<uint8_t> UTF16BytesFromUTF8(std::string_view text) {
    const std::u16string units = UTF16FromUTF8(text);
    std::vector<uint8_t> out(units.size() * 2);
    if (!out.empty()) std::memcpy(out.data(), units.data(), out.size());
    return out;
}

std::string UTF8FromUTF16Bytes(const void* bytes, size_t size) {
    if (!bytes) return {};
    std::u16string units(size / 2, u'\0');
    if (!units.empty()) std::memcpy(units.data(), bytes, units.size() * 2);
    return UTF8FromUTF16(units);
}
