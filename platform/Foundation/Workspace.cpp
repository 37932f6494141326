#include "platform/Foundation/Workspace.h"

#include <QDBusMessage>
#include <QProcess>
#include <cstring>

#include "platform/Foundation/ActiveWindow.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusNameOwners.h"
#include "platform/Foundation/SessionBus.h"

namespace {

bool isApplicationName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1Char(':')) &&
           !name.startsWith(QLatin1String("org.freedesktop."));
}

PropertyList::Dictionary applicationDictionary(const std::string& bundleIdentifier, pid_t pid) {
    PropertyList::Dictionary application;
    if (!bundleIdentifier.empty()) {
        application.emplace(std::string(NSApplicationBundleIdentifier), PropertyList(bundleIdentifier));
        application.emplace(std::string(NSApplicationName),
                            PropertyList(ApplicationRegistry::shared().localizedName(bundleIdentifier)));
    }
    application.emplace(std::string(NSApplicationProcessIdentifier), PropertyList(static_cast<int64_t>(pid)));
    return application;
}

}  // namespace

NSWorkspace::NSWorkspace(QDBusConnection connection) : fConnection(std::move(connection)) {
    // The changes come through the owner table, which took them in first and subscribed once,
    // before this listing: a launch after it is noticed.
    if (BusNameOwners* owners = BusNameOwners::shared())
        connect(owners, &BusNameOwners::ownerChanged, this, &NSWorkspace::nameOwnerChanged);
    for (const BusNameOwner& owner : SessionBus::namedConnections(fConnection))
        fProcesses[owner.name] = owner.processIdentifier;
}

NSWorkspace& NSWorkspace::sharedWorkspace() {
    static NSWorkspace* workspace = new NSWorkspace;  // lives as long as the process
    return *workspace;
}

bool NSWorkspace::launchApplication(std::string_view bundleIdentifier, unsigned,
                                    const NSWorkspaceLaunchConfiguration& configuration) {
    const std::optional<std::string> executable =
        ApplicationRegistry::shared().executablePath(bundleIdentifier);
    if (!executable) return false;
    QStringList arguments;
    if (configuration.appleEvent) {
        arguments << QString::fromLatin1(kLaunchAppleEventOption.data(), kLaunchAppleEventOption.size())
                  << QString::fromStdString(launchAppleEventArgument(*configuration.appleEvent));
    }
    return QProcess::startDetached(QString::fromStdString(*executable), arguments);
}

std::optional<PropertyList::Dictionary> NSWorkspace::activeApplication() const {
    const std::optional<pid_t> pid = ActiveWindowProcess();
    if (!pid) return std::nullopt;
    std::string bundleIdentifier;
    for (const BusNameOwner& owner : SessionBus::namedConnections(fConnection)) {
        if (owner.processIdentifier == *pid) {
            bundleIdentifier = owner.name;
            break;
        }
    }
    return applicationDictionary(bundleIdentifier, *pid);
}

std::optional<NSRunningApplication> NSWorkspace::applicationFromNotification(
    const NSNotification& notification) {
    if (!notification.userInfo) return std::nullopt;
    const auto entry = notification.userInfo->find(std::string(NSWorkspaceApplicationKey));
    if (entry == notification.userInfo->end() || !entry->second.dictionary()) return std::nullopt;
    const PropertyList& application = entry->second;
    NSRunningApplication result;
    if (const PropertyList* identifier = application.objectForKey(NSApplicationBundleIdentifier))
        if (identifier->string()) result.bundleIdentifier = *identifier->string();
    if (const PropertyList* name = application.objectForKey(NSApplicationName))
        if (name->string()) result.localizedName = *name->string();
    if (const PropertyList* pid = application.objectForKey(NSApplicationProcessIdentifier))
        result.processIdentifier = static_cast<pid_t>(pid->integer().value_or(0));
    return result;
}

std::string NSWorkspace::launchAppleEventArgument(const std::vector<uint8_t>& event) {
    return QByteArray(reinterpret_cast<const char*>(event.data()), static_cast<qsizetype>(event.size()))
        .toHex()
        .toStdString();
}

std::optional<std::vector<uint8_t>> NSWorkspace::launchAppleEventFromArguments(const QStringList& arguments) {
    const QString option =
        QString::fromLatin1(kLaunchAppleEventOption.data(), kLaunchAppleEventOption.size());
    const qsizetype at = arguments.indexOf(option);
    if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
    const QByteArray text = arguments.at(at + 1).toLatin1();
    static constexpr char kHexDigits[] = "0123456789abcdefABCDEF";
    if (text.isEmpty() || text.size() % 2 != 0) return std::nullopt;
    for (const char c : text)
        if (!std::memchr(kHexDigits, c, sizeof kHexDigits - 1)) return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(text);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void NSWorkspace::nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner) {
    if (!isApplicationName(name)) return;
    const std::string identifier = name.toStdString();
    if (!oldOwner.isEmpty()) {
        // The process is gone and the daemon can no longer tell it: the one seen last is named.
        const auto known = fProcesses.find(identifier);
        const pid_t pid = known == fProcesses.end() ? 0 : known->second;
        if (known != fProcesses.end()) fProcesses.erase(known);
        post(NSWorkspaceDidTerminateApplicationNotification, identifier, pid);
    }
    if (!newOwner.isEmpty()) {
        const pid_t pid = SessionBus::processOfConnection(fConnection, newOwner.toStdString()).value_or(0);
        fProcesses[identifier] = pid;
        post(NSWorkspaceDidLaunchApplicationNotification, identifier, pid);
    }
}

void NSWorkspace::post(std::string_view notification, const std::string& name, pid_t pid) {
    PropertyList::Dictionary userInfo;
    userInfo.emplace(std::string(NSWorkspaceApplicationKey), PropertyList(applicationDictionary(name, pid)));
    fNotificationCenter.postNotificationName(notification, this, std::move(userInfo));
}
