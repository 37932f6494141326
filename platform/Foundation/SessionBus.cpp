#include "platform/Foundation/SessionBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <atomic>

#include "platform/Foundation/BusNameOwners.h"

namespace {

constexpr int kDaemonTimeoutMs = 5000;

std::atomic<uint64_t> gDaemonCalls{0};

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool isDaemonName(const QString& name) {
    return name == QLatin1String("org.freedesktop.DBus");
}

QStringList listNames(const QDBusConnection& connection) {
    const QDBusMessage reply = SessionBus::askDaemon(connection, "ListNames", {});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().constFirst().toStringList();
}

std::optional<std::string> ownerOf(const QDBusConnection& connection, std::string_view name) {
    if (BusNameOwners* table = BusNameOwners::shared()) return table->ownerOf(connection, name);
    return BusNameOwners::askOwner(connection, name);
}

std::optional<pid_t> processOfUniqueName(const QDBusConnection& connection, std::string_view name) {
    if (BusNameOwners* table = BusNameOwners::shared()) return table->processOf(connection, name);
    return BusNameOwners::askProcess(connection, name);
}

}  // namespace

QDBusConnection SessionBus::connection() {
    return QDBusConnection::sessionBus();
}

QDBusConnection SessionBus::subscriptionConnection() {
    static const QDBusConnection* const connection =  // lives as long as the process, as Qt's bus
        new QDBusConnection(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                          QStringLiteral("com.orvo.Subscriptions")));
    return *connection;
}

bool SessionBus::subscribe(const QString& service, const QString& path, const QString& interface,
                           const QString& name, QObject* receiver, const char* slot) {
    QDBusConnection connection = subscriptionConnection();
    if (!connection.connect(service, path, interface, name, receiver, slot)) return false;
    // The match goes to the daemon without an answer; a call answered after it proves it in place.
    askDaemon(connection, "GetId", {});
    return true;
}

void SessionBus::unsubscribe(const QString& service, const QString& path, const QString& interface,
                             const QString& name, QObject* receiver, const char* slot) {
    subscriptionConnection().disconnect(service, path, interface, name, receiver, slot);
}

// Plain messages rather than QDBusConnectionInterface, whose object belongs to one thread.
QDBusMessage SessionBus::askDaemon(const QDBusConnection& connection, const char* method,
                                   const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    call.setArguments(arguments);
    gDaemonCalls.fetch_add(1, std::memory_order_relaxed);
    return connection.call(call, QDBus::Block, kDaemonTimeoutMs);
}

uint64_t SessionBus::daemonCalls() {
    return gDaemonCalls.load(std::memory_order_relaxed);
}

bool SessionBus::ownName(std::string_view name) {
    QDBusConnection bus = connection();
    return ownName(bus, name);
}

bool SessionBus::ownName(QDBusConnection& connection, std::string_view name) {
    QDBusConnectionInterface* daemon = connection.interface();
    if (!daemon) return false;
    gDaemonCalls.fetch_add(1, std::memory_order_relaxed);
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
    if (!connection.isConnected() || name.empty()) return std::nullopt;
    if (name.front() == ':') return processOfUniqueName(connection, name);
    const std::optional<std::string> owner = ownerOf(connection, name);
    if (!owner) return std::nullopt;
    return processOfUniqueName(connection, *owner);
}

std::optional<BusNameOwner> SessionBus::ownerOfName(const QDBusConnection& connection,
                                                    std::string_view name) {
    if (!connection.isConnected() || name.empty() || name.front() == ':') return std::nullopt;
    std::optional<std::string> owner = ownerOf(connection, name);
    if (!owner) return std::nullopt;
    const std::optional<pid_t> pid = processOfUniqueName(connection, *owner);
    if (!pid) return std::nullopt;
    return BusNameOwner{std::string(name), std::move(*owner), *pid};
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
        if (processOfUniqueName(connection, name.toStdString()) == pid) return name.toStdString();
    }
    return std::nullopt;
}
