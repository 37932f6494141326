#include "platform/AppleEvents/DBusTransport.h"

#include <QDBusMessage>
#include <array>
#include <limits>
#include <string_view>

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

std::optional<std::string> DBusTransport::destination(const AETarget& target) const {
    if (target.addressType == typeApplSignature) {
        const std::optional<std::string> name = AEBusNameForSignature(target.value);
        if (!name) return std::nullopt;
        const std::optional<BusNameOwner> owner = SessionBus::ownerOfName(fConnection, *name);
        if (!owner) return std::nullopt;
        return owner->connection;
    }
    if (target.addressType != typeKernelProcessID) return std::nullopt;
    const auto pid = static_cast<pid_t>(target.value);
    // The applications of the signature table first: one question each instead of one per connection.
    for (const SignatureName& entry : kSignatureNames) {
        const std::optional<BusNameOwner> owner = SessionBus::ownerOfName(fConnection, entry.busName);
        if (owner && owner->processIdentifier == pid) return owner->connection;
    }
    return SessionBus::connectionOfProcess(fConnection, pid);
}

OSStatus DBusTransport::send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode mode,
                             SInt32 timeoutTicks, std::vector<uint8_t>* reply) {
    if (!fConnection.isConnected()) return procNotFound;
    const std::optional<std::string> connection = destination(target);
    if (!connection) return procNotFound;

    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromStdString(*connection), QString::fromLatin1(kAppleEventsPath),
        QString::fromLatin1(kAppleEventsInterface), QStringLiteral("Send"));
    call.setAutoStartService(false);
    call << QByteArray(reinterpret_cast<const char*>(event.data()), static_cast<qsizetype>(event.size()));
    const bool waits = reply != nullptr && (mode & kAEReplyModeMask) == kAEWaitReply;
    if (!waits) return fConnection.send(call) ? noErr : procNotFound;

    const int timeout = AEBusTimeoutMilliseconds(timeoutTicks);
    fLastTimeout.store(timeout);
    const QDBusMessage answer = fConnection.call(call, QDBus::Block, timeout);
    if (answer.type() == QDBusMessage::ErrorMessage) return statusOfError(answer.errorName());
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().size() != 1)
        return errAECorruptData;
    const QByteArray bytes = answer.arguments().constFirst().toByteArray();
    reply->assign(bytes.begin(), bytes.end());
    return noErr;
}
