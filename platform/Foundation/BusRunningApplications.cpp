#include "platform/Foundation/BusRunningApplications.h"

#include <QDBusMessage>

#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusApplication.h"
#include "platform/Foundation/SessionBus.h"

BusRunningApplications::BusRunningApplications(QDBusConnection connection)
    : fConnection(std::move(connection)) {}

std::shared_ptr<BusRunningApplications> BusRunningApplications::install() {
    auto source = std::make_shared<BusRunningApplications>();
    RunningApplicationSource::setShared(source);
    return source;
}

std::vector<NSRunningApplication> BusRunningApplications::runningApplications() const {
    std::vector<NSRunningApplication> applications;
    for (const BusNameOwner& owner : SessionBus::namedConnections(fConnection)) {
        applications.push_back(NSRunningApplication{owner.name, owner.processIdentifier,
                                                    ApplicationRegistry::shared().localizedName(owner.name)});
    }
    return applications;
}

std::optional<NSRunningApplication> BusRunningApplications::runningApplicationWithBundleIdentifier(
    std::string_view bundleIdentifier) const {
    const std::optional<BusNameOwner> owner = SessionBus::ownerOfName(fConnection, bundleIdentifier);
    if (!owner) return std::nullopt;
    return NSRunningApplication{owner->name, owner->processIdentifier,
                                ApplicationRegistry::shared().localizedName(owner->name)};
}

bool BusRunningApplications::request(const NSRunningApplication& application, const char* method) {
    const std::optional<BusNameOwner> owner =
        SessionBus::ownerOfName(fConnection, application.bundleIdentifier);
    // A process that quit and whose name a new one took is not the application asked about.
    if (!owner || owner->processIdentifier != application.processIdentifier) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(owner->connection), QString::fromLatin1(kBusApplicationPath),
        QString::fromLatin1(kBusApplicationInterface), QString::fromLatin1(method));
    call.setAutoStartService(false);
    return fConnection.send(call);
}

bool BusRunningApplications::activate(const NSRunningApplication& application, unsigned) {
    return request(application, "Activate");
}

bool BusRunningApplications::terminate(const NSRunningApplication& application) {
    return request(application, "Quit");
}
