#include "Source/PlayerBridge/PersistentID.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

std::string PBPersistentIdString(SInt64 persistentId) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIX64, static_cast<uint64_t>(persistentId));
    return text;
}

SInt64 longlongValue(std::string_view text) {
    const std::string copy(text);  // strtoull needs a terminated text
    const unsigned long long value = std::strtoull(copy.c_str(), nullptr, 16);
    return static_cast<SInt64>(static_cast<uint64_t>(value));
}

bool PBIsPersistentIdText(std::string_view text) {
    if (text.empty() || text.size() > 16) return false;
    for (const char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!hex) return false;
    }
    return true;
}
