// Notifications between applications: posted as the signal Posted(s name, s object,
// ay userInfo) of the interface com.orvo.DistributedNotifications on the object
// /com/orvo/DistributedNotifications of the session bus, the user info a binary property
// list (empty bytes for none). Every process's observers of the name receive it, the poster's
// own included, on the main thread and in the order the notifications were posted. In a burst
// the main thread does not keep up with, only the latest waiting notification of each name is
// kept for it (SessionBus::Backlog::LatestByFirstArgument): what is received keeps its order.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Foundation/NotificationCenter.h"

inline constexpr const char* kDistributedNotificationsPath = "/com/orvo/DistributedNotifications";
inline constexpr const char* kDistributedNotificationsInterface = "com.orvo.DistributedNotifications";

// Main thread only (the first use creates it and must be on the main thread).
class NSDistributedNotificationCenter : public QObject {
    Q_OBJECT

public:
    using Observer = NSNotificationCenter::Observer;
    using ObserverToken = NSNotificationCenter::ObserverToken;

    // Posts on the connection; receives through the process's subscription connection
    // (SessionBus::subscribe), so notifications keep their order from the first one on,
    // whenever and wherever the connection was made.
    explicit NSDistributedNotificationCenter(QDBusConnection connection = QDBusConnection::sessionBus());
    ~NSDistributedNotificationCenter() override;
    NSDistributedNotificationCenter(const NSDistributedNotificationCenter&) = delete;
    NSDistributedNotificationCenter& operator=(const NSDistributedNotificationCenter&) = delete;

    static NSDistributedNotificationCenter& defaultCenter();

    // Observes the name from any sender and with any object; the notification's object is
    // null (the sender's object text is not an identity here). An empty name observes all.
    ObserverToken addObserver(const void* owner, std::string_view name, Observer observer);
    void removeObserver(ObserverToken token);
    void removeObserver(const void* owner);

    // False when the user info cannot be written as a property list or the bus refused the
    // signal. Observers see it later, from the main loop, never inside this call.
    bool postNotificationName(std::string_view name, std::string_view object = {},
                              const std::optional<PropertyList::Dictionary>& userInfo = std::nullopt);

private slots:
    void posted(const QString& name, const QString& object, const QByteArray& userInfo);

private:
    QDBusConnection fConnection;
    NSNotificationCenter fObservers;
};
