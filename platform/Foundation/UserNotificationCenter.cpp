#include "platform/Foundation/UserNotificationCenter.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "platform/Foundation/SessionBus.h"

namespace {

QDBusMessage serviceCall(const char* method) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(NSUserNotificationCenter::kService, NSUserNotificationCenter::kPath,
                                       NSUserNotificationCenter::kService, method);
    // A notice is not worth starting a service for.
    call.setAutoStartService(false);
    return call;
}

QString bodyOf(const NSUserNotification& notification) {
    QStringList parts;
    for (const std::string* part : {&notification.subtitle, &notification.informativeText})
        if (!part->empty()) parts << QString::fromStdString(*part);
    return parts.join('\n');
}

}  // namespace

NSUserNotificationCenter& NSUserNotificationCenter::defaultUserNotificationCenter() {
    static NSUserNotificationCenter center(SessionBus::connection());
    return center;
}

NSUserNotificationCenter::NSUserNotificationCenter(QDBusConnection connection)
    : mConnection(std::move(connection)) {}

void NSUserNotificationCenter::deliverNotification(const NSUserNotification& notification) {
    if (!mConnection.isConnected()) return;
    if (mCapabilities) {
        send(notification);
        return;
    }
    mWaiting.push_back(notification);
    if (mAsking) return;
    mAsking = true;
    auto* watcher = new QDBusPendingCallWatcher(mConnection.asyncCall(serviceCall("GetCapabilities")));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, mReplies.get(), [this, watcher] {
        watcher->deleteLater();
        mAsking = false;
        QDBusPendingReply<QStringList> reply = *watcher;
        std::vector<NSUserNotification> waiting = std::exchange(mWaiting, {});
        // No service: the notices are dropped, and the next one asks again.
        if (reply.isError()) return;
        mCapabilities = reply.value();
        for (const NSUserNotification& n : waiting) send(n);
    });
}

void NSUserNotificationCenter::send(const NSUserNotification& notification) {
    QDBusMessage call = serviceCall("Notify");
    const bool showsBodies = mCapabilities && mCapabilities->contains(QStringLiteral("body"));
    call << QStringLiteral("Beatwick") << 0u << QString() << QString::fromStdString(notification.title)
         << (showsBodies ? bodyOf(notification) : QString()) << QStringList() << QVariantMap() << -1;
    auto* watcher = new QDBusPendingCallWatcher(mConnection.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, mReplies.get(), [this, watcher] {
        watcher->deleteLater();
        QDBusPendingReply<uint> reply = *watcher;
        if (!reply.isError()) ++mDelivered;
    });
}
