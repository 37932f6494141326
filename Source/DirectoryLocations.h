// The program's own folders: found, or created when missing, in the user's data and cache
// folders. A symbolic link stands for an alias the user may have put there.
//
// On this system the user's Application Support folder is $XDG_DATA_HOME (default
// ~/.local/share) and the Caches folder $XDG_CACHE_HOME (default ~/.cache); there is no Library
// folder of its own, so $XDG_DATA_HOME stands for it too. Only the user domain has folders.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

enum NSSearchPathDirectory : unsigned long {
    NSLibraryDirectory = 5,
    NSCachesDirectory = 13,
    NSApplicationSupportDirectory = 14,
};

enum NSSearchPathDomainMask : unsigned long {
    NSUserDomainMask = 1,
    NSLocalDomainMask = 2,
    NSNetworkDomainMask = 4,
    NSSystemDomainMask = 8,
};

inline constexpr const char* kDirectoryLocationDomain = "DirectoryLocationDomain";
inline constexpr const char* kPOSIXErrorDomain = "NSPOSIXErrorDomain";
enum DirectoryLocationError {
    DirectoryLocationErrorNoPathFound = 0,
    DirectoryLocationErrorFileExistsAtLocation = 1,
};

// Why a folder could not be found or made: a code of kDirectoryLocationDomain, or an errno
// value of kPOSIXErrorDomain.
struct DirectoryError {
    std::string domain;
    int code{0};
    std::string localizedDescription;
    std::map<std::string, long> userInfo;  // "NSSearchPathDirectory", "NSSearchPathDomainMask"

    std::string description() const;
};

// Main thread.
class DirectoryLocations {
public:
    // What the folders depend on; an empty member takes the default named beside it.
    struct Environment {
        std::function<std::optional<std::string>(const char* name)> variable;  // getenv
        std::function<std::string()> executableName;                   // the bundle's "CFBundleExecutable"
        std::function<std::string(const std::string& text)> localize;  // the text itself
        std::function<void(const std::string& message)> log;           // standard error
    };

    explicit DirectoryLocations(Environment environment = {});

    // The folder for the directory in the domain, with the component appended, created with
    // its parents when missing. Follows symbolic links to folders.
    std::optional<std::string> findOrCreateDirectoryInDomain(
        NSSearchPathDirectory directory, NSSearchPathDomainMask domain,
        std::optional<std::string_view> component, std::optional<DirectoryError>* error = nullptr) const;
    // The same, but a symbolic link at the path, or beside it under the path plus " alias", is
    // followed only to a folder with the component's name; a link to a folder of another name
    // is not used.
    std::optional<std::string> findOrCreateDirectoryWAliasSupport(
        NSSearchPathDirectory directory, NSSearchPathDomainMask domain,
        std::optional<std::string_view> component, std::optional<DirectoryError>* error = nullptr) const;
    std::optional<std::string> findOrCreateDirectory(const std::string& path,
                                                     std::optional<DirectoryError>* error = nullptr) const;

    // The folder named after the executable in the user's Application Support folder; logs and
    // answers nullopt when it can be neither found nor made.
    std::optional<std::string> applicationSupportDirectory() const;
    std::optional<std::string> cachesDirectory() const;
    std::optional<std::string> libraryDirectory() const;
    std::optional<std::string> libraryOnlyDirectory() const;

    bool supportFolderExistsInLibrary() const;
    bool supportFolderExistsInAppSupport() const;
    bool supportFolderExistsInCaches() const;
    bool supportFolderOrAliasExistsInAppSupport() const;

    // The first folder of the directory in the domain, tilde expanded; nullopt when none.
    std::optional<std::string> searchPath(NSSearchPathDirectory directory,
                                          NSSearchPathDomainMask domain) const;

private:
    std::optional<std::string> home() const;
    std::optional<std::string> baseFolder(const char* variable, const char* fallback) const;
    DirectoryError locationError(DirectoryLocationError code) const;
    DirectoryError searchError(DirectoryLocationError code, NSSearchPathDirectory directory,
                               NSSearchPathDomainMask domain) const;
    std::optional<std::string> directoryPath(NSSearchPathDirectory directory, NSSearchPathDomainMask domain,
                                             std::optional<std::string_view> component,
                                             std::optional<DirectoryError>* error) const;
    std::optional<std::string> createDirectory(const std::string& path,
                                               std::optional<DirectoryError>* error) const;
    std::optional<std::string> logged(std::optional<std::string> path,
                                      const std::optional<DirectoryError>& error, const char* what) const;
    bool supportFolderExists(NSSearchPathDirectory directory) const;

    Environment mEnvironment;
};
