// Desktop notifications against a notification service of the test's own on its private bus.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include "BusTestSupport.h"
#include "platform/Foundation/UserNotificationCenter.h"

namespace {

// Answers GetCapabilities and Notify as a desktop's notification daemon does, and keeps what it
// was sent.
class FakeNotificationService : public QDBusVirtualObject {
public:
    explicit FakeNotificationService(QStringList capabilities) : mCapabilities(std::move(capabilities)) {}

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() == "GetCapabilities") {
            connection.send(message.createReply(QVariant(mCapabilities)));
            return true;
        }
        if (message.member() == "Notify") {
            const QList<QVariant> args = message.arguments();
            if (args.size() == 8) summariesAndBodies.push_back({args[3].toString(), args[4].toString()});
            connection.send(message.createReply(QVariant::fromValue(uint(summariesAndBodies.size()))));
            return true;
        }
        return false;
    }

    std::vector<std::pair<QString, QString>> summariesAndBodies;

private:
    QStringList mCapabilities;
};

struct Service {
    QDBusConnection connection;
    FakeNotificationService object;
    Service(const QString& name, QStringList capabilities)
        : connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)),
          object(std::move(capabilities)) {
        connection.registerVirtualObject(NSUserNotificationCenter::kPath, &object);
        connection.registerService(NSUserNotificationCenter::kService);
    }
    ~Service() {
        connection.unregisterService(NSUserNotificationCenter::kService);
        connection.unregisterObject(NSUserNotificationCenter::kPath);
        QDBusConnection::disconnectFromBus(connection.name());
    }
};

TEST(UserNotifications, TheSubtitleAndTextMakeTheBodyOfANotice) {
    Service service("notifications-with-bodies", {"body", "actions"});
    NSUserNotificationCenter center(QDBusConnection::sessionBus());
    center.deliverNotification({"BPM value is unreliable", "Song has a BPM value.", ""});
    center.deliverNotification({"BPM value is missing", "", "Song does not have a BPM value."});
    ASSERT_TRUE(WaitFor([&] { return center.deliveredCount() == 2; }));
    ASSERT_EQ(service.object.summariesAndBodies.size(), 2u);
    EXPECT_EQ(service.object.summariesAndBodies[0],
              std::make_pair(QString("BPM value is unreliable"), QString("Song has a BPM value.")));
    EXPECT_EQ(service.object.summariesAndBodies[1],
              std::make_pair(QString("BPM value is missing"), QString("Song does not have a BPM value.")));
}

TEST(UserNotifications, AServiceWithoutBodiesGetsTheTitleOnly) {
    Service service("notifications-without-bodies", {"actions"});
    NSUserNotificationCenter center(QDBusConnection::sessionBus());
    center.deliverNotification({"BPM value is missing", "", "Song does not have a BPM value."});
    ASSERT_TRUE(WaitFor([&] { return center.deliveredCount() == 1; }));
    EXPECT_EQ(service.object.summariesAndBodies.at(0).second, QString());
}

TEST(UserNotifications, NoServiceIsNoErrorAndALaterServiceIsReached) {
    NSUserNotificationCenter center(QDBusConnection::sessionBus());
    center.deliverNotification({"Dropped", "", ""});
    // The question about capabilities is answered with an error: no service is started for it.
    ASSERT_TRUE(WaitFor([&] { return !center.isAskingForCapabilities(); }));
    EXPECT_EQ(center.deliveredCount(), 0);
    EXPECT_FALSE(
        QDBusConnection::sessionBus().interface()->isServiceRegistered(NSUserNotificationCenter::kService));

    Service service("notifications-late", {"body"});
    center.deliverNotification({"Shown", "", "now"});
    ASSERT_TRUE(WaitFor([&] { return center.deliveredCount() == 1; }));
    EXPECT_EQ(service.object.summariesAndBodies.at(0).first, QString("Shown"));
}

}  // namespace
