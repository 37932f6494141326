// AESendMessage over the session bus: the flattened event goes to the method
// Send(ay event) -> (ay reply) of the interface com.orvo.AppleEvents on the object
// /com/orvo/AppleEvents of the application the target names, the flattened reply comes back.
//
// Targets: 'sign' names an application by signature (a table: 'hook' is "com.apple.iTunes");
// 'kpid' names the connection of that process, as the bus daemon tells. A target nobody
// answers to fails at once with procNotFound (-600). The time-out in ticks becomes the call's
// time-out in milliseconds (120 ticks = 2000 ms); no reply in that time gives errAETimeout
// (-1712). No-reply modes hand the event to the bus and do not wait.
//
// Owners come from the session bus's table (BusNameOwners.h), so a send is one call; when the
// owner found there has left the bus, the name is asked of the daemon and the event goes once
// more, to the new owner.
#pragma once

#include <QDBusConnection>
#include <atomic>
#include <optional>
#include <string>

#include "platform/AppleEvents/AETransport.h"
#include "platform/Foundation/SessionBus.h"

inline constexpr const char* kAppleEventsPath = "/com/orvo/AppleEvents";
inline constexpr const char* kAppleEventsInterface = "com.orvo.AppleEvents";

// The bus name of an application signature, or nullopt for one the table does not hold.
std::optional<std::string> AEBusNameForSignature(OSType signature);

// A bus call's time-out for a time-out in ticks; kNoTimeOut is the largest the bus allows.
int AEBusTimeoutMilliseconds(SInt32 timeoutTicks);

// May be called from any thread; it blocks the caller (no event loop runs meanwhile).
class DBusTransport : public AETransport {
public:
    explicit DBusTransport(QDBusConnection connection = QDBusConnection::sessionBus());
    DBusTransport(const DBusTransport&) = delete;
    DBusTransport& operator=(const DBusTransport&) = delete;

    // Installs a bus transport for AESendMessage and answers it.
    static std::shared_ptr<DBusTransport> install();

    OSStatus send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode mode,
                  SInt32 timeoutTicks, std::vector<uint8_t>* reply) override;

    // The time-out of the last call that waited for a reply, in milliseconds (0 before any).
    int lastTimeoutMilliseconds() const { return fLastTimeout.load(); }

private:
    // The connection the target names; the well-known name it was found by, if any.
    std::optional<BusNameOwner> destination(const AETarget& target) const;

    QDBusConnection fConnection;
    std::atomic<int> fLastTimeout{0};
};
