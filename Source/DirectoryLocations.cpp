#include "Source/DirectoryLocations.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/Foundation/Bundle.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNoPathFound = "No path found for directory in domain.";
constexpr const char* kFileExists = "File exists at requested directory location.";

enum class Entry { None, Directory, Other };

// What is at the path; follow says whether a symbolic link counts as what it points to.
Entry entryAt(const std::string& path, bool follow) {
    struct stat st {};
    if ((follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return Entry::None;
    return S_ISDIR(st.st_mode) ? Entry::Directory : Entry::Other;
}

bool isSymbolicLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Where the alias at the path or beside it leads, when that is a folder named component.
std::optional<std::string> resolvedAlias(const std::string& path, std::optional<std::string_view> component) {
    if (!component) return std::nullopt;
    std::string candidate = path;
    if (entryAt(path, false) == Entry::None) candidate = path + " alias";
    if (!isSymbolicLink(candidate)) return std::nullopt;
    std::error_code ec;
    const fs::path target = fs::canonical(candidate, ec);
    if (ec || target.filename() != fs::path(*component)) return std::nullopt;
    if (entryAt(target.string(), true) != Entry::Directory) return std::nullopt;
    return target.string();
}

void set(std::optional<DirectoryError>* out, std::optional<DirectoryError> error) {
    if (out) *out = std::move(error);
}

}  // namespace

std::string DirectoryError::description() const {
    return "Error Domain=" + domain + " Code=" + std::to_string(code) + " \"" + localizedDescription + "\"";
}

DirectoryLocations::DirectoryLocations(Environment environment) : mEnvironment(std::move(environment)) {
    if (!mEnvironment.variable) {
        mEnvironment.variable = [](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            if (!value) return std::nullopt;
            return std::string(value);
        };
    }
    if (!mEnvironment.executableName)
        mEnvironment.executableName = [] {
            return NSBundle::mainBundle()
                .objectForInfoDictionaryKey("CFBundleExecutable")
                .value_or("Beatwick");
        };
    if (!mEnvironment.localize) mEnvironment.localize = [](const std::string& text) { return text; };
    if (!mEnvironment.log) {
        mEnvironment.log = [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); };
    }
}

std::optional<std::string> DirectoryLocations::home() const {
    if (auto home = mEnvironment.variable("HOME"); home && !home->empty()) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && *found->pw_dir) {
        return std::string(found->pw_dir);
    }
    return std::nullopt;
}

// The variable's folder when it names one (absolute, or from the home folder with "~"); the
// fallback under the home folder otherwise.
std::optional<std::string> DirectoryLocations::baseFolder(const char* variable, const char* fallback) const {
    const auto value = mEnvironment.variable(variable);
    if (value && !value->empty()) {
        if ((*value)[0] == '/') return value;
        if ((*value)[0] == '~' && (value->size() == 1 || (*value)[1] == '/')) {
            if (auto h = home()) return *h + value->substr(1);
            return std::nullopt;
        }
    }
    if (auto h = home()) return *h + "/" + fallback;
    return std::nullopt;
}

std::optional<std::string> DirectoryLocations::searchPath(NSSearchPathDirectory directory,
                                                          NSSearchPathDomainMask domain) const {
    if (!(domain & NSUserDomainMask)) return std::nullopt;
    switch (directory) {
        case NSApplicationSupportDirectory:
        case NSLibraryDirectory:
            return baseFolder("XDG_DATA_HOME", ".local/share");
        case NSCachesDirectory:
            return baseFolder("XDG_CACHE_HOME", ".cache");
    }
    return std::nullopt;
}

DirectoryError DirectoryLocations::locationError(DirectoryLocationError code) const {
    return {kDirectoryLocationDomain,
            code,
            mEnvironment.localize(code == DirectoryLocationErrorNoPathFound ? kNoPathFound : kFileExists),
            {}};
}

DirectoryError DirectoryLocations::searchError(DirectoryLocationError code, NSSearchPathDirectory directory,
                                               NSSearchPathDomainMask domain) const {
    DirectoryError e = locationError(code);
    e.userInfo = {{"NSSearchPathDirectory", static_cast<long>(directory)},
                  {"NSSearchPathDomainMask", static_cast<long>(domain)}};
    return e;
}

std::optional<std::string> DirectoryLocations::directoryPath(NSSearchPathDirectory directory,
                                                             NSSearchPathDomainMask domain,
                                                             std::optional<std::string_view> component,
                                                             std::optional<DirectoryError>* error) const {
    auto path = searchPath(directory, domain);
    if (!path) {
        set(error, searchError(DirectoryLocationErrorNoPathFound, directory, domain));
        return std::nullopt;
    }
    if (component) *path += "/" + std::string(*component);
    return path;
}

std::optional<std::string> DirectoryLocations::createDirectory(const std::string& path,
                                                               std::optional<DirectoryError>* error) const {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec) {
        set(error, DirectoryError{kPOSIXErrorDomain, ec.value(), ec.message(), {}});
        return std::nullopt;
    }
    set(error, std::nullopt);
    return path;
}

std::optional<std::string> DirectoryLocations::findOrCreateDirectoryInDomain(
    NSSearchPathDirectory directory, NSSearchPathDomainMask domain, std::optional<std::string_view> component,
    std::optional<DirectoryError>* error) const {
    const auto path = directoryPath(directory, domain, component, error);
    if (!path) return std::nullopt;
    switch (entryAt(*path, true)) {
        case Entry::Directory:
            set(error, std::nullopt);
            return path;
        case Entry::None:
            return createDirectory(*path, error);
        case Entry::Other:
            break;
    }
    set(error, searchError(DirectoryLocationErrorFileExistsAtLocation, directory, domain));
    return std::nullopt;
}

std::optional<std::string> DirectoryLocations::findOrCreateDirectoryWAliasSupport(
    NSSearchPathDirectory directory, NSSearchPathDomainMask domain, std::optional<std::string_view> component,
    std::optional<DirectoryError>* error) const {
    const auto path = directoryPath(directory, domain, component, error);
    if (!path) return std::nullopt;
    // A link is an alias here, not a folder: it is used only where it leads to the folder asked for.
    switch (entryAt(*path, false)) {
        case Entry::Directory:
            set(error, std::nullopt);
            return path;
        case Entry::None:
        case Entry::Other:
            break;
    }
    if (auto resolved = resolvedAlias(*path, component)) {
        set(error, std::nullopt);
        return resolved;
    }
    if (entryAt(*path, false) == Entry::None) return createDirectory(*path, error);
    set(error, searchError(DirectoryLocationErrorFileExistsAtLocation, directory, domain));
    return std::nullopt;
}

std::optional<std::string> DirectoryLocations::findOrCreateDirectory(
    const std::string& path, std::optional<DirectoryError>* error) const {
    switch (entryAt(path, true)) {
        case Entry::Directory:
            set(error, std::nullopt);
            return path;
        case Entry::None:
            return createDirectory(path, error);
        case Entry::Other:
            break;
    }
    set(error, locationError(DirectoryLocationErrorFileExistsAtLocation));
    return std::nullopt;
}

std::optional<std::string> DirectoryLocations::logged(std::optional<std::string> path,
                                                      const std::optional<DirectoryError>& error,
                                                      const char* what) const {
    if (!path) {
        mEnvironment.log(std::string("Unable to find or create ") + what + " directory:\n" +
                         (error ? error->description() : std::string()));
    }
    return path;
}

std::optional<std::string> DirectoryLocations::applicationSupportDirectory() const {
    std::optional<DirectoryError> error;
    return logged(findOrCreateDirectoryWAliasSupport(NSApplicationSupportDirectory, NSUserDomainMask,
                                                     mEnvironment.executableName(), &error),
                  error, "application support");
}

std::optional<std::string> DirectoryLocations::cachesDirectory() const {
    std::optional<DirectoryError> error;
    return logged(findOrCreateDirectoryWAliasSupport(NSCachesDirectory, NSUserDomainMask,
                                                     mEnvironment.executableName(), &error),
                  error, "caches");
}

std::optional<std::string> DirectoryLocations::libraryDirectory() const {
    std::optional<DirectoryError> error;
    return logged(findOrCreateDirectoryWAliasSupport(NSLibraryDirectory, NSUserDomainMask,
                                                     mEnvironment.executableName(), &error),
                  error, "library");
}

std::optional<std::string> DirectoryLocations::libraryOnlyDirectory() const {
    std::optional<DirectoryError> error;
    return logged(findOrCreateDirectoryInDomain(NSLibraryDirectory, NSUserDomainMask, std::nullopt, &error),
                  error, "library");
}

bool DirectoryLocations::supportFolderExists(NSSearchPathDirectory directory) const {
    const auto path = directoryPath(directory, NSUserDomainMask, mEnvironment.executableName(), nullptr);
    return path && entryAt(*path, true) != Entry::None;
}

bool DirectoryLocations::supportFolderExistsInLibrary() const {
    return supportFolderExists(NSLibraryDirectory);
}

bool DirectoryLocations::supportFolderExistsInAppSupport() const {
    return supportFolderExists(NSApplicationSupportDirectory);
}

bool DirectoryLocations::supportFolderExistsInCaches() const {
    return supportFolderExists(NSCachesDirectory);
}

bool DirectoryLocations::supportFolderOrAliasExistsInAppSupport() const {
    if (supportFolderExistsInAppSupport()) return true;
    const std::string name = mEnvironment.executableName();
    const auto path = directoryPath(NSApplicationSupportDirectory, NSUserDomainMask, name, nullptr);
    return path && resolvedAlias(*path, name).has_value();
}
