// The session bus as applications see it: well-known names (bundle identifiers), the
// processes that own them, as the bus daemon tells, and owning a name.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QDBusConnection;

struct BusNameOwner {
    std::string name;        // the well-known name
    std::string connection;  // the owner's unique connection name (":1.42")
    pid_t processIdentifier{0};
};

// Every call asks the bus daemon afresh (nothing is cached, so a name that changed hands is
// seen at once) and may be called from any thread. Calls on a connection that is not
// connected answer nothing.
class SessionBus {
public:
    SessionBus() = delete;

    // The process's session-bus connection.
    static QDBusConnection connection();

    // Owns the well-known name for as long as the connection lives, unless released; false
    // when another connection owns it (the name is not queued for).
    static bool ownName(std::string_view name);
    static bool ownName(QDBusConnection& connection, std::string_view name);
    static void releaseName(std::string_view name);

    // The owner of a well-known name, or nullopt when nobody owns it.
    static std::optional<BusNameOwner> ownerOfName(const QDBusConnection& connection, std::string_view name);
    // Every well-known name with its owner, the daemon's own names left out.
    static std::vector<BusNameOwner> namedConnections(const QDBusConnection& connection);
    // A connection (its unique name) of the process, or nullopt when none is on the bus.
    static std::optional<std::string> connectionOfProcess(const QDBusConnection& connection, pid_t pid);
    // The process of a connection, unique or well-known name; nullopt when unknown.
    static std::optional<pid_t> processOfConnection(const QDBusConnection& connection, std::string_view name);
};
