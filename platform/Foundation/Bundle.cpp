#include "platform/Foundation/Bundle.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Foundation/PropertyListSerialization.h"

namespace fs = std::filesystem;

namespace {

fs::path executableFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path(error) : exe.parent_path();
}

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace

NSBundle& NSBundle::mainBundle() {
    static NSBundle bundle;
    return bundle;
}

std::string NSBundle::resourcePath() const {
    if (const char* dir = std::getenv("BEATWICK_RESOURCE_DIR"); dir && *dir) return dir;
    const fs::path folder = executableFolder();
    std::error_code error;
    if (fs::is_directory(folder / "Resources", error)) return (folder / "Resources").string();
    return (folder.parent_path() / "share" / "beatwick" / "Resources").string();
}

std::optional<std::string> NSBundle::pathForResource(std::string_view name, std::string_view type) const {
    return pathForResource(name, type, {});
}

std::optional<std::string> NSBundle::pathForResource(std::string_view name, std::string_view type,
                                                     std::string_view subdirectory) const {
    if (name.empty()) return std::nullopt;
    std::string file(name);
    if (!type.empty()) (file += '.') += type;
    fs::path path = resourcePath();
    if (!subdirectory.empty()) path /= subdirectory;
    path /= file;
    if (!isFile(path)) return std::nullopt;
    return path.string();
}

std::optional<std::string> NSBundle::objectForInfoDictionaryKey(std::string_view key) const {
    const std::string path = resourcePath() + "/Info.plist";
    std::lock_guard lock(mMutex);
    auto it = mInfo.find(path);
    if (it == mInfo.end()) {
        Result<PropertyList> read = PropertyListSerialization::propertyListWithContentsOfFile(path);
        PropertyList::Dictionary info;
        if (read && read.value().dictionary()) info = *read.value().dictionary();
        it = mInfo.emplace(path, std::move(info)).first;
    }
    auto entry = it->second.find(key);
    if (entry == it->second.end() || !entry->second.string()) return std::nullopt;
    return *entry->second.string();
}

std::string NSBundle::localizedStringForKey(std::string_view key, std::string_view value,
                                            std::string_view table) const {
    const std::string path =
        resourcePath() + "/" + std::string(table.empty() ? "Localizable" : table) + ".strings";
    std::lock_guard lock(mMutex);
    auto it = mTables.find(path);
    if (it == mTables.end()) {
        Result<StringsTable> loaded = StringsTable::load(path);
        it = mTables.emplace(path, loaded ? std::move(loaded).value() : StringsTable()).first;
    }
    if (std::optional<std::string> found = it->second.lookup(key)) return *found;
    return std::string(value.empty() ? key : value);
}
