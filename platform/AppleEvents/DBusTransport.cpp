#include "platform/AppleEvents/DBusTransport.h"

#include <QDBusMessage>
#include <array>
#include <limits>
#include <string_view>

#include "platform/Foundation/BusNameOwners.h"
#include "platform/Foundation/SessionBus.h"

namespace {

struct SignatureName {
    OSType signature;
    std::string_view busName;
};

constexpr std::array kSignatureNames{
    SignatureName{fourCC("hook"), "com.apple.iTunes"},
};

struct ErrorStatus {
    std::string_view error;  // the bus's error name, after "org.freedesktop.DBus.Error."
    OSStatus status;
};

// How the bus's failures read as statuses; any other error is a failed event.
constexpr std::array kErrorStatuses{
    ErrorStatus{"ServiceUnknown", procNotFound}, ErrorStatus{"NameHasNoOwner", procNotFound},
    ErrorStatus{"UnknownObject", procNotFound},  ErrorStatus{"UnknownInterface", procNotFound},
    ErrorStatus{"UnknownMethod", procNotFound},  ErrorStatus{"Disconnected", procNotFound},
    ErrorStatus{"NoReply", errAETimeout},        ErrorStatus{"Timeout", errAETimeout},
    ErrorStatus{"TimedOut", errAETimeout},       ErrorStatus{"InvalidArgs", errAECorruptData},
};

// A destination that left the bus: the owner the table named may have changed since.
bool isGoneError(const QString& name) {
    return name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

OSStatus statusOfError(const QString& name) {
    constexpr std::string_view kPrefix = "org.freedesktop.DBus.Error.";
    const std::string text = name.toStdString();
    if (text.starts_with(kPrefix)) {
        const std::string_view error = std::string_view(text).substr(kPrefix.size());
        for (const ErrorStatus& entry : kErrorStatuses)
            if (entry.error == error) return entry.status;
    }
    return errAEEventFailed;
}

}  // namespace

std::optional<std::string> AEBusNameForSignature(OSType signature) {
    for (const SignatureName& entry : kSignatureNames)
        if (entry.signature == signature) return std::string(entry.busName);
    return std::nullopt;
}

int AEBusTimeoutMilliseconds(SInt32 timeoutTicks) {
    constexpr int kLongest = std::numeric_limits<int>::max();
    if (timeoutTicks < 0) return kLongest;
    const int64_t milliseconds = (int64_t{timeoutTicks} * 1000 + 30) / 60;
    return milliseconds > kLongest ? kLongest : static_cast<int>(milliseconds);
}

DBusTransport::DBusTransport(QDBusConnection connection) : fConnection(std::move(connection)) {}

std::shared_ptr<DBusTransport> DBusTransport::install() {
    auto transport = std::make_shared<DBusTransport>();
    AESetTransport(transport);
    return transport;
}

std::optional<BusNameOwner> DBusTransport::destination(const AETarget& target) const {
    if (target.addressType == typeApplSignature) {
        const std::optional<std::string> name = AEBusNameForSignature(target.value);
        if (!name) return std::nullopt;
        return SessionBus::ownerOfName(fConnection, *name);
    }
    if (target.addressType != typeKernelProcessID) return std::nullopt;
    const auto pid = static_cast<pid_t>(target.value);
    // The applications of the signature table first: known to the table, where any other
    // process costs a question per connection on the bus.
    for (const SignatureName& entry : kSignatureNames) {
        std::optional<BusNameOwner> owner = SessionBus::ownerOfName(fConnection, entry.busName);
        if (owner && owner->processIdentifier == pid) return owner;
    }
    const std::optional<std::string> connection = SessionBus::connectionOfProcess(fConnection, pid);
    if (!connection) return std::nullopt;
    return BusNameOwner{{}, *connection, pid};
}

OSStatus DBusTransport::send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode mode,
                             SInt32 timeoutTicks, std::vector<uint8_t>* reply) {
    if (!fConnection.isConnected()) return procNotFound;
    std::optional<BusNameOwner> owner = destination(target);
    if (!owner) return procNotFound;

    const QByteArray bytes(reinterpret_cast<const char*>(event.data()), static_cast<qsizetype>(event.size()));
    auto callTo = [&](const BusNameOwner& destination) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QString::fromStdString(destination.connection), QString::fromLatin1(kAppleEventsPath),
            QString::fromLatin1(kAppleEventsInterface), QStringLiteral("Send"));
        call.setAutoStartService(false);
        call << bytes;
        return call;
    };
    const bool waits = reply != nullptr && (mode & kAEReplyModeMask) == kAEWaitReply;
    if (!waits) return fConnection.send(callTo(*owner)) ? noErr : procNotFound;

    const int timeout = AEBusTimeoutMilliseconds(timeoutTicks);
    fLastTimeout.store(timeout);
    QDBusMessage answer = fConnection.call(callTo(*owner), QDBus::Block, timeout);
    if (answer.type() == QDBusMessage::ErrorMessage && isGoneError(answer.errorName()) &&
        !owner->name.empty()) {
        // The owner left before its leaving reached the table: ask the daemon who owns the name now.
        if (BusNameOwners* table = BusNameOwners::shared()) table->forgetOwner(owner->name);
        const std::string gone = owner->connection;
        owner = destination(target);
        if (!owner) return procNotFound;
        if (owner->connection != gone) answer = fConnection.call(callTo(*owner), QDBus::Block, timeout);
    }
    if (answer.type() == QDBusMessage::ErrorMessage) return statusOfError(answer.errorName());
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().size() != 1)
        return errAECorruptData;
    const QByteArray replyBytes = answer.arguments().constFirst().toByteArray();
    reply->assign(replyBytes.begin(), replyBytes.end());
    return noErr;
}
