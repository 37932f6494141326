// The owners of the session bus's well-known names and the processes of its connections, kept
// in a table that the bus daemon's NameOwnerChanged signal keeps current, so that finding the
// owner of a name asks the daemon only the first time.
//
// The signal is received on the main thread, on the subscription connection (SessionBus.h).
// The workspace's launch and quit notices come from ownerChanged, after the table took the
// change in, so an observer of them finds the table current. Until a change has been delivered
// the table may name an owner that has just left; senders that find their destination gone
// call forgetOwner() and ask again.
#pragma once

#include <sys/types.h>

#include <QObject>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class QDBusConnection;

// May be called from any thread.
class BusNameOwners : public QObject {
    Q_OBJECT

public:
    BusNameOwners(const BusNameOwners&) = delete;
    BusNameOwners& operator=(const BusNameOwners&) = delete;

    // The table of the process's session bus; made on first use (which needs the application
    // object). Without one there is no table and every question goes to the daemon.
    static BusNameOwners* shared();

    // The unique connection name that owns the well-known name, asked of the daemon (on the
    // given connection) when the table does not hold it; nullopt when nobody owns it.
    std::optional<std::string> ownerOf(const QDBusConnection& connection, std::string_view name);
    // The process of a unique connection name, asked once per connection.
    std::optional<pid_t> processOf(const QDBusConnection& connection, std::string_view uniqueName);
    // Drops what the table holds of the name, so the next question asks the daemon.
    void forgetOwner(std::string_view name);

    // The daemon's own answers, not kept.
    static std::optional<std::string> askOwner(const QDBusConnection& connection, std::string_view name);
    static std::optional<pid_t> askProcess(const QDBusConnection& connection, std::string_view name);

signals:
    // After the table took the change in; on the main thread.
    void ownerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private slots:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    BusNameOwners();

    std::mutex fMutex;
    std::map<std::string, std::string, std::less<>> fOwners;  // well-known name -> unique name
    std::map<std::string, pid_t, std::less<>> fProcesses;     // unique name -> process
    // Counts the changes taken in; an answer of the daemon is kept only when no change came in
    // while it was asked, as it may be older than that change.
    uint64_t fChanges{0};
};
