// The workspace: launching applications by bundle identifier, the launch and quit notices of
// running applications, and the application the user is working in.
//
// Notices come from the session bus's name-owner changes, as the owner table (BusNameOwners.h)
// takes them in, in the order the bus sent them from the first one on: a well-known name that
// gains an owner is a launch, one that loses it a quit. They are posted on the workspace's own
// notification centre, on the main thread, with the user info "NSWorkspaceApplicationKey"
// holding a dictionary of the application ("NSApplicationBundleIdentifier",
// "NSApplicationProcessIdentifier", "NSApplicationName"); applicationFromNotification reads it.
#pragma once

#include <sys/types.h>

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/RunningApplication.h"

inline constexpr std::string_view NSWorkspaceDidLaunchApplicationNotification =
    "NSWorkspaceDidLaunchApplicationNotification";
inline constexpr std::string_view NSWorkspaceDidTerminateApplicationNotification =
    "NSWorkspaceDidTerminateApplicationNotification";
inline constexpr std::string_view NSWorkspaceApplicationKey = "NSWorkspaceApplicationKey";
inline constexpr std::string_view NSApplicationBundleIdentifier = "NSApplicationBundleIdentifier";
inline constexpr std::string_view NSApplicationProcessIdentifier = "NSApplicationProcessIdentifier";
inline constexpr std::string_view NSApplicationName = "NSApplicationName";

// Launch options.
constexpr unsigned NSWorkspaceLaunchWithoutActivation = 0x00000200;
constexpr unsigned NSWorkspaceLaunchAsync = 0x00010000;

// The command-line option that hands a launched application its first Apple event, as the
// hexadecimal text of the flattened event.
inline constexpr std::string_view kLaunchAppleEventOption = "--apple-event";

struct NSWorkspaceLaunchConfiguration {
    // The flattened first Apple event ("NSWorkspaceLaunchConfigurationAppleEvent"), if any.
    std::optional<std::vector<uint8_t>> appleEvent;
};

// Main thread only (the first use creates it and must be on the main thread).
class NSWorkspace : public QObject {
    Q_OBJECT

public:
    explicit NSWorkspace(QDBusConnection connection = QDBusConnection::sessionBus());
    NSWorkspace(const NSWorkspace&) = delete;
    NSWorkspace& operator=(const NSWorkspace&) = delete;

    static NSWorkspace& sharedWorkspace();

    NSNotificationCenter& notificationCenter() { return fNotificationCenter; }

    // Starts the executable the registry (ApplicationRegistry.h) holds for the identifier,
    // detached, with the first event as an argument. Options are accepted as given: every
    // launch is asynchronous and none activates. False when nothing is registered or the
    // executable cannot be started.
    bool launchApplication(std::string_view bundleIdentifier, unsigned options = NSWorkspaceLaunchAsync,
                           const NSWorkspaceLaunchConfiguration& configuration = {});

    // The application of the active window ("NSApplicationProcessIdentifier" and, when it is on
    // the bus, its identifier and name), from the X server's _NET_ACTIVE_WINDOW and _NET_WM_PID;
    // nullopt without a display or when the display does not tell.
    std::optional<PropertyList::Dictionary> activeApplication() const;

    // The application a launch or quit notice names; nullopt for another notification.
    static std::optional<NSRunningApplication> applicationFromNotification(
        const NSNotification& notification);

    // The first event handed over on the command line, or nullopt when none or unreadable.
    static std::optional<std::vector<uint8_t>> launchAppleEventFromArguments(const QStringList& arguments);
    static std::string launchAppleEventArgument(const std::vector<uint8_t>& event);

private slots:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void post(std::string_view notification, const std::string& name, pid_t pid);

    QDBusConnection fConnection;
    NSNotificationCenter fNotificationCenter;
    std::map<std::string, pid_t> fProcesses;  // well-known name -> its owner's process, as last seen
};
