// The applications that can be launched by bundle identifier: the executable of each and the
// name it shows. The stand-in player ("com.apple.iTunes", "player-standin" beside the running
// executable) is registered from the start.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

// Every member may be called from any thread.
class ApplicationRegistry {
public:
    ApplicationRegistry();
    ApplicationRegistry(const ApplicationRegistry&) = delete;
    ApplicationRegistry& operator=(const ApplicationRegistry&) = delete;

    static ApplicationRegistry& shared();

    // Replaces any earlier registration of the identifier.
    void registerApplication(std::string_view bundleIdentifier, std::string executablePath,
                             std::string localizedName = {});
    void unregisterApplication(std::string_view bundleIdentifier);

    std::optional<std::string> executablePath(std::string_view bundleIdentifier) const;
    // The registered name, else the identifier's last component.
    std::string localizedName(std::string_view bundleIdentifier) const;

private:
    struct Entry {
        std::string executablePath;
        std::string localizedName;
    };

    mutable std::mutex fMutex;
    std::map<std::string, Entry, std::less<>> fEntries;
};
