#include "platform/Foundation/SessionBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QMetaMethod>
#include <QPointer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/Foundation/BusNameOwners.h"
#include "platform/Foundation/SignalBacklog.h"

class SignalRelay;

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

QDBusMessage daemonCall(const char* method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
}

// How many signals may wait for the main thread before a newer one of a name takes the place
// of the one of that name still waiting (SignalBacklog.h).
constexpr size_t kBacklogLimit = 100;

// A slot connected through the subscription connection.
struct Subscription {
    QString service, path, interface, name;
    const QObject* receiverAddress{nullptr};  // what unsubscribe names, the receiver perhaps gone
    QPointer<QObject> receiver;               // read on the main thread
    QByteArray slot;                          // normalized, without the code SLOT() puts first
    int method{-1};
    std::vector<QMetaType> parameters;
    QString signature;  // of the D-Bus signal: the parameters' types
    SessionBus::Backlog backlog{SessionBus::Backlog::Every};
    std::atomic<bool> active{true};
    SignalRelay* relay{nullptr};  // lives on the connection's thread
};

struct PendingSignal {
    std::shared_ptr<Subscription> subscription;  // keeps the key's address taken while it waits
    QVariantList arguments;
};

using PendingSignals = SignalBacklog<PendingSignal, std::pair<const Subscription*, QString>>;

PendingSignals& pendingSignals() {
    // Never destroyed: the connection's thread may push until the process ends.
    static PendingSignals* const backlog = new PendingSignals(kBacklogLimit);
    return *backlog;
}

std::mutex gSubscriptionsMutex;
std::vector<std::shared_ptr<Subscription>> gSubscriptions;

void handOnNextSignal();

void wakeMainThread() {
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, &handOnNextSignal, Qt::QueuedConnection);
}

// Main thread: one signal per pass of the event loop, as when each came as an event of its own.
void handOnNextSignal() {
    std::optional<PendingSignal> next = pendingSignals().take();
    if (!next) return;
    wakeMainThread();
    const Subscription& subscription = *next->subscription;
    QObject* receiver = subscription.receiver.data();
    if (!subscription.active || !receiver || next->arguments.size() < std::ssize(subscription.parameters))
        return;
    std::vector<void*> arguments{nullptr};  // no return value
    for (size_t i = 0; i < subscription.parameters.size(); ++i) {
        const QVariant& argument = next->arguments.at(static_cast<qsizetype>(i));
        if (argument.metaType() != subscription.parameters[i]) return;
        arguments.push_back(const_cast<void*>(argument.constData()));
    }
    QMetaObject::metacall(receiver, QMetaObject::InvokeMetaMethod, subscription.method, arguments.data());
}

}  // namespace

// On the subscription connection's thread: takes what a signal carries and lets the bus message
// go there, where the bus library may switch reading back on.
class SignalRelay : public QObject {
    Q_OBJECT

public:
    explicit SignalRelay(std::shared_ptr<Subscription> subscription)
        : fSubscription(std::move(subscription)) {}

    // Waits for the answer to a call made with answered() as its callback.
    bool waitForAnswer(std::chrono::milliseconds bound) {
        std::unique_lock lock(fMutex);
        return fAnswer.wait_for(lock, bound, [this] { return fAnswered; });
    }

public slots:
    void received(const QDBusMessage& message) {
        if (!fSubscription->active) return;
        PendingSignal pending{fSubscription, message.arguments()};
        std::optional<PendingSignals::Key> key;
        if (fSubscription->backlog == SessionBus::Backlog::LatestByFirstArgument &&
            !pending.arguments.isEmpty() &&
            pending.arguments.constFirst().metaType() == QMetaType::fromType<QString>())
            key.emplace(fSubscription.get(), pending.arguments.constFirst().toString());
        if (pendingSignals().push(std::move(pending), std::move(key))) wakeMainThread();
    }

    void answered() {
        {
            const std::lock_guard lock(fMutex);
            fAnswered = true;
        }
        fAnswer.notify_all();
    }

private:
    const std::shared_ptr<Subscription> fSubscription;
    std::mutex fMutex;
    std::condition_variable fAnswer;
    bool fAnswered{false};
};

namespace {

// Ends a relay whose match is gone, on the connection's thread, so that signals still on their
// way to it are let go there too. QtDBus watches the end of a receiver through a call that
// blocks until its own thread took it, which never happens when the receiver ends on that very
// thread; with no match left there is nothing for it to learn.
void endRelay(SignalRelay* relay) {
    QObject::disconnect(relay, &QObject::destroyed, nullptr, nullptr);
    relay->deleteLater();
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
                           const QString& name, QObject* receiver, const char* slot, Backlog backlog) {
    const QCoreApplication* application = QCoreApplication::instance();
    if (!application || !receiver || !slot || !*slot || receiver->thread() != application->thread())
        return false;
    QDBusConnection connection = subscriptionConnection();
    const QDBusConnectionInterface* daemon = connection.interface();
    // Its own thread would wait below for an answer that only it can take in.
    if (!daemon || QThread::currentThread() == daemon->thread()) return false;

    auto subscription = std::make_shared<Subscription>();
    subscription->service = service;
    subscription->path = path;
    subscription->interface = interface;
    subscription->name = name;
    subscription->receiverAddress = receiver;
    subscription->receiver = receiver;
    subscription->slot = QMetaObject::normalizedSignature(slot + 1);
    subscription->backlog = backlog;
    subscription->method = receiver->metaObject()->indexOfMethod(subscription->slot.constData());
    if (subscription->method < 0) return false;
    const QMetaMethod method = receiver->metaObject()->method(subscription->method);
    for (int i = 0; i < method.parameterCount(); ++i) {
        const QMetaType type = method.parameterMetaType(i);
        const char* signature = QDBusMetaType::typeToSignature(type);
        if (!signature) return false;
        subscription->parameters.push_back(type);
        subscription->signature += QLatin1String(signature);
    }

    std::unique_ptr<SignalRelay> relay = std::make_unique<SignalRelay>(subscription);
    relay->moveToThread(daemon->thread());
    if (!connection.connect(service, path, interface, name, subscription->signature, relay.get(),
                            SLOT(received(QDBusMessage)))) {
        endRelay(relay.release());
        return false;
    }
    subscription->relay = relay.release();  // deleted when unsubscribed
    {
        const std::lock_guard lock(gSubscriptionsMutex);
        gSubscriptions.push_back(subscription);
    }
    // The match goes to the daemon without an answer; a call answered after it proves it in
    // place. Its answer, too, is let go on the connection's thread.
    gDaemonCalls.fetch_add(1, std::memory_order_relaxed);
    if (connection.callWithCallback(daemonCall("GetId"), subscription->relay, SLOT(answered()),
                                    SLOT(answered()), kDaemonTimeoutMs))
        subscription->relay->waitForAnswer(std::chrono::milliseconds(kDaemonTimeoutMs));
    return true;
}

void SessionBus::unsubscribe(const QString& service, const QString& path, const QString& interface,
                             const QString& name, QObject* receiver, const char* slot) {
    if (!slot || !*slot) return;
    const QByteArray normalized = QMetaObject::normalizedSignature(slot + 1);
    std::vector<std::shared_ptr<Subscription>> ended;
    {
        const std::lock_guard lock(gSubscriptionsMutex);
        const auto first = std::stable_partition(
            gSubscriptions.begin(), gSubscriptions.end(), [&](const std::shared_ptr<Subscription>& s) {
                return !(s->service == service && s->path == path && s->interface == interface &&
                         s->name == name && s->receiverAddress == receiver && s->slot == normalized);
            });
        ended.assign(std::make_move_iterator(first), std::make_move_iterator(gSubscriptions.end()));
        gSubscriptions.erase(first, gSubscriptions.end());
    }
    QDBusConnection connection = subscriptionConnection();
    for (const std::shared_ptr<Subscription>& subscription : ended) {
        subscription->active = false;
        connection.disconnect(service, path, interface, name, subscription->signature, subscription->relay,
                              SLOT(received(QDBusMessage)));
        endRelay(subscription->relay);
    }
}

// Plain messages rather than QDBusConnectionInterface, whose object belongs to one thread.
QDBusMessage SessionBus::askDaemon(const QDBusConnection& connection, const char* method,
                                   const QVariantList& arguments) {
    QDBusMessage call = daemonCall(method);
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

#include "SessionBus.moc"
