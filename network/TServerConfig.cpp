#include "network/TServerConfig.h"

#include <cstdlib>
#include <optional>

#include "platform/Foundation/UserDefaults.h"

namespace {

std::optional<std::string> Setting(const char* variable, const char* key) {
    if (const char* value = std::getenv(variable); value && *value) return std::string(value);
    std::optional<std::string> stored = NSUserDefaults::standardUserDefaults().stringForKey(key);
    if (stored && !stored->empty()) return stored;
    return std::nullopt;
}

}  // namespace

TServerConfig TServerConfig::Current() {
    TServerConfig config;
    if (auto host = Setting(kHostVariable, kHostKey)) config.host = host->substr(0, kMaxHostLength);
    if (const char* port = std::getenv(kPortVariable); port && *port) {
        const long value = std::strtol(port, nullptr, 10);
        if (value > 0 && value < 65536) config.port = static_cast<UInt16>(value);
    } else if (const int64_t stored = NSUserDefaults::standardUserDefaults().integerForKey(kPortKey);
               stored > 0 && stored < 65536) {
        config.port = static_cast<UInt16>(stored);
    }
    if (auto address = Setting(kSuggestAddressVariable, kSuggestAddressKey)) config.suggestAddress = *address;
    if (auto address = Setting(kTechSupportAddressVariable, kTechSupportAddressKey))
        config.techSupportAddress = *address;
    return config;
}

std::string TServerConfig::Target(const char* path) const {
    std::string target = "http://" + host;
    if (port != kDefaultPort) target += ":" + std::to_string(port);
    return target + path;
}
