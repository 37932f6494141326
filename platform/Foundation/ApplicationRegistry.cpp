#include "platform/Foundation/ApplicationRegistry.h"

#include <QCoreApplication>

namespace {

// Beside the running executable; without an application object, the working folder.
std::string besideExecutable(const char* name) {
    const QString folder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString(".");
    return (folder + QLatin1Char('/') + QString::fromLatin1(name)).toStdString();
}

}  // namespace

ApplicationRegistry::ApplicationRegistry() {
    fEntries.emplace("com.apple.iTunes", Entry{besideExecutable("player-standin"), "iTunes"});
}

ApplicationRegistry& ApplicationRegistry::shared() {
    static ApplicationRegistry registry;
    return registry;
}

void ApplicationRegistry::registerApplication(std::string_view bundleIdentifier, std::string executablePath,
                                              std::string localizedName) {
    std::lock_guard lock(fMutex);
    fEntries.insert_or_assign(std::string(bundleIdentifier),
                              Entry{std::move(executablePath), std::move(localizedName)});
}

void ApplicationRegistry::unregisterApplication(std::string_view bundleIdentifier) {
    std::lock_guard lock(fMutex);
    if (auto found = fEntries.find(bundleIdentifier); found != fEntries.end()) fEntries.erase(found);
}

std::optional<std::string> ApplicationRegistry::executablePath(std::string_view bundleIdentifier) const {
    std::lock_guard lock(fMutex);
    const auto found = fEntries.find(bundleIdentifier);
    if (found == fEntries.end()) return std::nullopt;
    return found->second.executablePath;
}

std::string ApplicationRegistry::localizedName(std::string_view bundleIdentifier) const {
    {
        std::lock_guard lock(fMutex);
        const auto found = fEntries.find(bundleIdentifier);
        if (found != fEntries.end() && !found->second.localizedName.empty())
            return found->second.localizedName;
    }
    const size_t dot = bundleIdentifier.rfind('.');
    return std::string(dot == std::string_view::npos ? bundleIdentifier : bundleIdentifier.substr(dot + 1));
}
