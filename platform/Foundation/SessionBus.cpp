#include "platform/Foundation/SessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace {

constexpr int kDaemonTimeoutMs = 5000;

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool isDaemonName(const QString& name) {
    return name == QLatin1String("org.freedesktop.DBus");
}

// The daemon is asked with plain messages rather than through QDBusConnectionInterface, whose
// object belongs to one thread; these questions may come from any thread.
QDBusMessage askDaemon(const QDBusConnection& connection, const char* method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    call.setArguments(arguments);
    return connection.call(call, QDBus::Block, kDaemonTimeoutMs);
}

QStringList listNames(const QDBusConnection& connection) {
    const QDBusMessage reply = askDaemon(connection, "ListNames", {});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().constFirst().toStringList();
}

}  // namespace

QDBusConnection SessionBus::connection() {
    return QDBusConnection::sessionBus();
}

bool SessionBus::ownName(std::string_view name) {
    QDBusConnection bus = connection();
    return ownName(bus, name);
}

bool SessionBus::ownName(QDBusConnection& connection, std::string_view name) {
    QDBusConnectionInterface* daemon = connection.interface();
    if (!daemon) return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        daemon->registerService(toQString(name), QDBusConnectionInterface::DontQueueService,
                                QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

void SessionBus::releaseName(std::string_view name) {
    connection().unregisterService(toQString(name));
}

std::optional<pid_t> SessionBus::processOfConnection(const QDBusConnection& connection,
                                                     std::string_view name) {
    const QDBusMessage reply = askDaemon(connection, "GetConnectionUnixProcessID", {toQString(name)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    const uint pid = reply.arguments().constFirst().toUInt();
    if (pid == 0) return std::nullopt;
    return static_cast<pid_t>(pid);
}

std::optional<BusNameOwner> SessionBus::ownerOfName(const QDBusConnection& connection,
                                                    std::string_view name) {
    if (name.empty() || name.front() == ':') return std::nullopt;
    const QDBusMessage reply = askDaemon(connection, "GetNameOwner", {toQString(name)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    const std::string owner = reply.arguments().constFirst().toString().toStdString();
    if (owner.empty()) return std::nullopt;
    const std::optional<pid_t> pid = processOfConnection(connection, owner);
    if (!pid) return std::nullopt;
    return BusNameOwner{std::string(name), owner, *pid};
}

std::vector<BusNameOwner> SessionBus::namedConnections(const QDBusConnection& connection) {
    std::vector<BusNameOwner> owners;
    for (const QString& name : listNames(connection)) {
        if (name.startsWith(QLatin1Char(':')) || isDaemonName(name)) continue;
        // A name may change hands between the listing and this question: then it is left out.
        if (std::optional<BusNameOwner> owner = ownerOfName(connection, name.toStdString()))
            owners.push_back(std::move(*owner));
    }
    return owners;
}

std::optional<std::string> SessionBus::connectionOfProcess(const QDBusConnection& connection, pid_t pid) {
    if (pid <= 0) return std::nullopt;
    for (const QString& name : listNames(connection)) {
        if (!name.startsWith(QLatin1Char(':'))) continue;
        if (processOfConnection(connection, name.toStdString()) == pid) return name.toStdString();
    }
    return std::nullopt;
}
