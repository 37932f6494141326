// The session bus as applications see it: well-known names (bundle identifiers), the
// processes that own them, as the bus daemon tells, and owning a name.
#pragma once

#include <sys/types.h>

#include <QVariantList>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QDBusConnection;
class QDBusMessage;
class QObject;
class QString;

struct BusNameOwner {
    std::string name;        // the well-known name
    std::string connection;  // the owner's unique connection name (":1.42")
    pid_t processIdentifier{0};
};

// Owners of names and processes of connections come from the table that name-owner changes
// keep current (BusNameOwners.h), asked of the bus daemon the first time; listings ask the
// daemon for the names at every call. All may be called from any thread. Calls on a connection
// that is not connected answer nothing.
class SessionBus {
public:
    SessionBus() = delete;

    // The process's session-bus connection.
    static QDBusConnection connection();

    // The process's connection for signals: one of its own, made on first use. The shared
    // session-bus connection, when made on the main thread, holds back what arrives until the
    // event loop first runs and then lets later signals overtake the held ones; this one
    // delivers every signal in the order the bus sent it, from the first on.
    static QDBusConnection subscriptionConnection();

    // What a subscription keeps of its signals while the main thread has not taken them yet.
    enum class Backlog {
        Every,                  // each one
        LatestByFirstArgument,  // in a burst, only the latest of each first argument (a name)
    };
    // Connects the receiver's slot to a signal on the subscription connection and returns once
    // the daemon has the match, so that every signal sent after the call reaches the slot. The
    // receiver lives on the main thread and its slot takes the signal's arguments (plain D-Bus
    // types); false otherwise. Slots run on the main thread, one signal per event-loop pass, and
    // receivers see the signals of all subscriptions in the order sent. The bus messages are let
    // go on the connection's own thread as they arrive (the bus library stops reading a
    // connection whose unread messages pass its limit, and reads it again only when told so on
    // that thread); what waits for the main thread is bounded as SignalBacklog.h says.
    static bool subscribe(const QString& service, const QString& path, const QString& interface,
                          const QString& name, QObject* receiver, const char* slot,
                          Backlog backlog = Backlog::Every);
    // Signals still waiting for the slot are dropped.
    static void unsubscribe(const QString& service, const QString& path, const QString& interface,
                            const QString& name, QObject* receiver, const char* slot);

    // A method call to the bus daemon, waiting for its answer; counted.
    static QDBusMessage askDaemon(const QDBusConnection& connection, const char* method,
                                  const QVariantList& arguments);
    // How many calls this process made to the bus daemon so far.
    static uint64_t daemonCalls();

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
