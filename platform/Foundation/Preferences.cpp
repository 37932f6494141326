#include "platform/Foundation/Preferences.h"

#include <unistd.h>

#include <QtGlobal>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/Foundation/PropertyListSerialization.h"

namespace {

std::string configFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.config";
}

bool isFileName(std::string_view domain) {
    return !domain.empty() && domain.front() != '.' && domain.find('/') == std::string_view::npos &&
           domain.find('\0') == std::string_view::npos;
}

}  // namespace

PreferencesStore::PreferencesStore(std::string folder, AtomicFileSystem& fileSystem)
    : mFolder(std::move(folder)), mFileSystem(fileSystem) {}

PreferencesStore& PreferencesStore::shared() {
    static PreferencesStore store;
    return store;
}

std::string PreferencesStore::folder() const {
    if (!mFolder.empty()) return mFolder;
    return configFolder() + "/Beatwick/Preferences";
}

std::string PreferencesStore::pathForDomain(std::string_view domain) const {
    if (!isFileName(domain)) return {};
    return folder() + "/" + std::string(domain) + ".plist";
}

void PreferencesStore::report(const std::string& message) {
    if (mReporter)
        mReporter(message);
    else
        qWarning("%s", message.c_str());
}

PreferencesStore::Domain PreferencesStore::load(const std::string& name) {
    Domain domain;
    const std::string path = pathForDomain(name);
    if (path.empty()) {
        domain.readOnly = true;
        return domain;
    }
    if (::access(path.c_str(), F_OK) != 0 && errno == ENOENT) return domain;
    if (::access(path.c_str(), R_OK) != 0) {
        domain.readOnly = true;
        report("Preferences " + path + " cannot be read (" + std::strerror(errno) +
               "); they will not be saved");
        return domain;
    }
    Result<PropertyList> read = PropertyListSerialization::propertyListWithContentsOfFile(path);
    if (read && read.value().dictionary()) {
        domain.values = std::move(*read.value().dictionary());
        return domain;
    }
    const std::string why = read ? "its top level is not a dictionary" : read.error();
    Result<std::string> aside = AtomicFile::setAside(path, mFileSystem);
    if (aside) {
        report("Preferences " + path + " were unreadable (" + why + ") and were moved to " + aside.value());
        return domain;
    }
    domain.readOnly = true;
    report("Preferences " + path + " are unreadable (" + why +
           ") and could not be set aside; they will not be saved");
    return domain;
}

PreferencesStore::Domain& PreferencesStore::domainLocked(std::string_view name) {
    auto it = mDomains.find(name);
    if (it == mDomains.end()) it = mDomains.emplace(std::string(name), load(std::string(name))).first;
    return it->second;
}

std::optional<PropertyList> PreferencesStore::copyValue(std::string_view key, std::string_view domain) {
    std::lock_guard lock(mMutex);
    const Domain& d = domainLocked(domain);
    auto it = d.values.find(key);
    if (it == d.values.end()) return std::nullopt;
    return it->second;
}

Result<void> PreferencesStore::setValue(std::string_view key, std::optional<PropertyList> value,
                                        std::string_view domain) {
    if (value) {
        Result<PropertyList::Data> check = PropertyListSerialization::dataWithPropertyList(
            PropertyList::Array{*value}, PropertyListFormat::XML);
        if (!check) {
            std::lock_guard lock(mMutex);
            report("Preference \"" + std::string(key) + "\" of " + std::string(domain) +
                   " not set: " + check.error());
            return Failure{check.error()};
        }
    }
    std::lock_guard lock(mMutex);
    Domain& d = domainLocked(domain);
    if (value) {
        d.values.insert_or_assign(std::string(key), std::move(*value));
    } else {
        auto it = d.values.find(key);
        if (it == d.values.end()) return {};
        d.values.erase(it);
    }
    d.dirty = true;
    return {};
}

PropertyList::Dictionary PreferencesStore::copyDomain(std::string_view domain) {
    std::lock_guard lock(mMutex);
    return domainLocked(domain).values;
}

Result<void> PreferencesStore::synchronize(std::string_view name) {
    std::lock_guard lock(mMutex);
    Domain& d = domainLocked(name);
    if (!d.dirty) {
        if (!d.readOnly) d = load(std::string(name));
        return {};
    }
    const std::string path = pathForDomain(name);
    if (d.readOnly)
        return Failure{"preferences " + (path.empty() ? std::string(name) : path) + " are not saved"};
    Result<PropertyList::Data> bytes =
        PropertyListSerialization::dataWithPropertyList(PropertyList(d.values), PropertyListFormat::XML);
    if (!bytes) bytes = dataLeavingOutUnwritable(d.values, name);
    if (!bytes) {
        report("Preferences " + path + " not saved: " + bytes.error());
        return Failure{bytes.error()};
    }
    std::error_code error;
    std::filesystem::create_directories(folder(), error);
    Result<void> written = AtomicFile::write(path, bytes.value(), 0600, mFileSystem);
    if (!written) {
        report("Preferences " + path + " not saved: " + written.error());
        return written;
    }
    d.dirty = false;
    return {};
}

// A value read from the file can be one no file can hold (an unsigned integer above the signed
// range); it is left out of the file, named, so that it does not cost every other setting.
Result<PropertyList::Data> PreferencesStore::dataLeavingOutUnwritable(const PropertyList::Dictionary& values,
                                                                      std::string_view domain) {
    PropertyList::Dictionary writable;
    for (const auto& [key, value] : values) {
        Result<PropertyList::Data> alone = PropertyListSerialization::dataWithPropertyList(
            PropertyList::Array{value}, PropertyListFormat::XML);
        if (alone)
            writable.insert_or_assign(writable.end(), key, value);
        else
            report("Preference \"" + key + "\" of " + std::string(domain) +
                   " left out of the file: " + alone.error());
    }
    return PropertyListSerialization::dataWithPropertyList(PropertyList(std::move(writable)),
                                                           PropertyListFormat::XML);
}

void PreferencesStore::setReporter(Reporter reporter) {
    std::lock_guard lock(mMutex);
    mReporter = std::move(reporter);
}

void PreferencesStore::reset() {
    std::lock_guard lock(mMutex);
    mDomains.clear();
}

std::optional<PropertyList> CFPreferencesCopyAppValue(std::string_view key, std::string_view applicationID) {
    return PreferencesStore::shared().copyValue(key, applicationID);
}

void CFPreferencesSetAppValue(std::string_view key, std::optional<PropertyList> value,
                              std::string_view applicationID) {
    PreferencesStore::shared().setValue(key, std::move(value), applicationID);
}

bool CFPreferencesAppSynchronize(std::string_view applicationID) {
    return PreferencesStore::shared().synchronize(applicationID).ok();
}
