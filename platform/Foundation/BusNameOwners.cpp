#include "platform/Foundation/BusNameOwners.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>
#include <memory>

#include "platform/Foundation/SessionBus.h"

namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::optional<std::string> BusNameOwners::askOwner(const QDBusConnection& connection, std::string_view name) {
    const QDBusMessage reply = SessionBus::askDaemon(connection, "GetNameOwner", {toQString(name)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    std::string owner = reply.arguments().constFirst().toString().toStdString();
    if (owner.empty()) return std::nullopt;
    return owner;
}

std::optional<pid_t> BusNameOwners::askProcess(const QDBusConnection& connection, std::string_view name) {
    const QDBusMessage reply =
        SessionBus::askDaemon(connection, "GetConnectionUnixProcessID", {toQString(name)});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return std::nullopt;
    const uint pid = reply.arguments().constFirst().toUInt();
    if (pid == 0) return std::nullopt;
    return static_cast<pid_t>(pid);
}

BusNameOwners::BusNameOwners() = default;

BusNameOwners* BusNameOwners::shared() {
    static BusNameOwners* const table = []() -> BusNameOwners* {
        QCoreApplication* application = QCoreApplication::instance();
        if (!application) return nullptr;
        std::unique_ptr<BusNameOwners> made(new BusNameOwners);
        // Changes are taken in on the main thread, whichever thread asked first.
        if (made->thread() != application->thread()) made->moveToThread(application->thread());
        if (!SessionBus::subscribe(QStringLiteral("org.freedesktop.DBus"),
                                   QStringLiteral("/org/freedesktop/DBus"),
                                   QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameOwnerChanged"),
                                   made.get(), SLOT(nameOwnerChanged(QString, QString, QString))))
            return nullptr;
        return made.release();  // lives as long as the process
    }();
    return table;
}

std::optional<std::string> BusNameOwners::ownerOf(const QDBusConnection& connection, std::string_view name) {
    uint64_t changes = 0;
    {
        const std::lock_guard lock(fMutex);
        if (const auto known = fOwners.find(name); known != fOwners.end()) return known->second;
        changes = fChanges;
    }
    // A name nobody owns is asked again each time: a new owner may be on its way.
    std::optional<std::string> owner = askOwner(connection, name);
    if (owner) {
        const std::lock_guard lock(fMutex);
        if (fChanges == changes) fOwners.emplace(std::string(name), *owner);
    }
    return owner;
}

std::optional<pid_t> BusNameOwners::processOf(const QDBusConnection& connection,
                                              std::string_view uniqueName) {
    uint64_t changes = 0;
    {
        const std::lock_guard lock(fMutex);
        if (const auto known = fProcesses.find(uniqueName); known != fProcesses.end()) return known->second;
        changes = fChanges;
    }
    const std::optional<pid_t> pid = askProcess(connection, uniqueName);
    if (pid) {
        const std::lock_guard lock(fMutex);
        if (fChanges == changes) fProcesses.emplace(std::string(uniqueName), *pid);
    }
    return pid;
}

void BusNameOwners::forgetOwner(std::string_view name) {
    const std::lock_guard lock(fMutex);
    if (const auto known = fOwners.find(name); known != fOwners.end()) fOwners.erase(known);
    ++fChanges;
}

void BusNameOwners::nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner) {
    {
        const std::lock_guard lock(fMutex);
        ++fChanges;
        const std::string key = name.toStdString();
        if (name.startsWith(QLatin1Char(':'))) {
            // A unique name is never given out again: its process is kept until it leaves.
            if (newOwner.isEmpty()) fProcesses.erase(key);
        } else if (newOwner.isEmpty()) {
            fOwners.erase(key);
        } else {
            fOwners.insert_or_assign(key, newOwner.toStdString());
        }
    }
    emit ownerChanged(name, oldOwner, newOwner);
}
