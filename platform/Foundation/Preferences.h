// Preference domains: one XML property list per domain at
// $XDG_CONFIG_HOME/Beatwick/Preferences/<domain>.plist (XDG_CONFIG_HOME defaults to ~/.config),
// read on first use, written atomically. A file that cannot be parsed is set aside as
// "<domain>.plist.corrupt-<n>" and reported, never written over. The Core Foundation-style
// calls at the end work on the shared store.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Foundation/AtomicFile.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"

// The application's own domain.
inline constexpr std::string_view kBeatwickPreferencesDomain = "com.orvo.Beatwick";
inline constexpr std::string_view kCFPreferencesCurrentApplication = kBeatwickPreferencesDomain;

// Every member may be called from any thread.
class PreferencesStore {
public:
    PreferencesStore(const PreferencesStore&) = delete;
    PreferencesStore& operator=(const PreferencesStore&) = delete;

    using Reporter = std::function<void(const std::string& message)>;

    // An empty folder means the one under $XDG_CONFIG_HOME, looked up when a domain is loaded.
    explicit PreferencesStore(std::string folder = {},
                              AtomicFileSystem& fileSystem = AtomicFileSystem::posix());

    static PreferencesStore& shared();

    std::string folder() const;
    // Empty for a domain that cannot be a file name (empty, or holding '/', or starting with '.').
    std::string pathForDomain(std::string_view domain) const;

    std::optional<PropertyList> copyValue(std::string_view key, std::string_view domain);
    // nullopt removes the key. The change is kept in memory until synchronize. A value no
    // property list can hold exactly is refused (and reported), so it cannot block later saves.
    Result<void> setValue(std::string_view key, std::optional<PropertyList> value, std::string_view domain);
    PropertyList::Dictionary copyDomain(std::string_view domain);

    // Writes the domain when it has changes, else reads it again from its file.
    Result<void> synchronize(std::string_view domain);

    // Receives each problem: a corrupt file set aside, a file that cannot be read, a failed
    // write. Without one, problems go to the Qt log. It is called under the store's lock and
    // must not call back into the store.
    void setReporter(Reporter reporter);

    // Forgets what was loaded, so the next use reads the files again.
    void reset();

private:
    struct Domain {
        PropertyList::Dictionary values;
        bool dirty{false};
        // Set when the file could be neither read nor set aside; it is then never written.
        bool readOnly{false};
    };

    Domain& domainLocked(std::string_view name);
    Domain load(const std::string& name);
    void report(const std::string& message);
    // With the mutex held: the domain without the values no file can hold, each one reported.
    Result<PropertyList::Data> dataLeavingOutUnwritable(const PropertyList::Dictionary& values,
                                                        std::string_view domain);

    mutable std::mutex mMutex;
    std::string mFolder;
    AtomicFileSystem& mFileSystem;
    Reporter mReporter;
    std::map<std::string, Domain, std::less<>> mDomains;
};

// Core Foundation-style access to the shared store, for other applications' domains (the
// player's "com.apple.iTunes") and values kept beside the user defaults ("LastUpdateCheck").
// May be called from any thread.
std::optional<PropertyList> CFPreferencesCopyAppValue(std::string_view key, std::string_view applicationID);
void CFPreferencesSetAppValue(std::string_view key, std::optional<PropertyList> value,
                              std::string_view applicationID);
bool CFPreferencesAppSynchronize(std::string_view applicationID);
