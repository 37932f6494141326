// Desktop notifications through the session's notification service
// ("org.freedesktop.Notifications"). Everything is asynchronous and never starts a service: with
// none running a notification is dropped without an error. The service's capabilities are asked
// once; the subtitle and the informative text make the body where the service shows bodies.
// Main thread only.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct NSUserNotification {
    std::string title;
    std::string subtitle;
    std::string informativeText;
};

class NSUserNotificationCenter {
public:
    NSUserNotificationCenter(const NSUserNotificationCenter&) = delete;
    NSUserNotificationCenter& operator=(const NSUserNotificationCenter&) = delete;

    // On the session bus.
    static NSUserNotificationCenter& defaultUserNotificationCenter();
    explicit NSUserNotificationCenter(QDBusConnection connection);

    void deliverNotification(const NSUserNotification& notification);

    // Notifications the service answered with an id, for the program's own checks.
    int deliveredCount() const { return mDelivered; }
    bool isAskingForCapabilities() const { return mAsking; }

    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";

private:
    void send(const NSUserNotification& notification);

    QDBusConnection mConnection;
    std::optional<QStringList> mCapabilities;
    bool mAsking{false};
    std::vector<NSUserNotification> mWaiting;  // until the capabilities are known
    int mDelivered{0};
    // Replies that come after the centre is gone reach nothing.
    std::unique_ptr<QObject> mReplies{std::make_unique<QObject>()};
};
