// Running applications as the session bus knows them: an application is a well-known bus name
// (its bundle identifier) and the process that owns it, asked of the bus daemon at every
// listing, so a process that quit is never listed and a new one is seen at once.
#pragma once

#include <QDBusConnection>
#include <memory>

#include "platform/Foundation/RunningApplication.h"

// May be called from any thread.
class BusRunningApplications : public RunningApplicationSource {
public:
    explicit BusRunningApplications(QDBusConnection connection = QDBusConnection::sessionBus());
    BusRunningApplications(const BusRunningApplications&) = delete;
    BusRunningApplications& operator=(const BusRunningApplications&) = delete;

    // Installs a bus source as the shared one and answers it.
    static std::shared_ptr<BusRunningApplications> install();

    std::vector<NSRunningApplication> runningApplications() const override;
    // From the owner table (SessionBus.h): no call to the bus daemon once the owner is known.
    std::optional<NSRunningApplication> runningApplicationWithBundleIdentifier(
        std::string_view bundleIdentifier) const override;
    // Both ask the application over the bus (BusApplication.h) without waiting for it, and
    // only while the process still owns its name; false otherwise.
    bool activate(const NSRunningApplication& application, unsigned options) override;
    bool terminate(const NSRunningApplication& application) override;

private:
    bool request(const NSRunningApplication& application, const char* method);

    QDBusConnection fConnection;
};
