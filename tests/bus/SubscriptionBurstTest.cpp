// A burst of notices larger than the bus library lets a connection hold unread: the
// subscription connection must go on reading afterwards, so that later notices and name-owner
// changes (a player quitting and starting) still arrive, in the order sent. The test lowers the
// library's incoming limit of the subscription connection so that a small burst passes it.
#include <dbus/dbus.h>
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <algorithm>
#include <string>
#include <vector>

#include "BusTestSupport.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/SessionBus.h"
#include "platform/Foundation/Workspace.h"

namespace {

constexpr long kIncomingLimit = 256 * 1024;
constexpr int64_t kBurst = 2000;  // of about 1 kB each: eight times the limit

// Lowers the subscription connection's incoming limit for the test, and puts it back.
class LoweredIncomingLimit {
public:
    LoweredIncomingLimit(const LoweredIncomingLimit&) = delete;
    LoweredIncomingLimit& operator=(const LoweredIncomingLimit&) = delete;

    LoweredIncomingLimit()
        : fConnection(static_cast<DBusConnection*>(SessionBus::subscriptionConnection().internalPointer())) {
        if (!fConnection) return;
        fOriginal = dbus_connection_get_max_received_size(fConnection);
        dbus_connection_set_max_received_size(fConnection, kIncomingLimit);
    }
    ~LoweredIncomingLimit() {
        if (fConnection) dbus_connection_set_max_received_size(fConnection, fOriginal);
    }
    bool lowered() const { return fConnection != nullptr; }

private:
    DBusConnection* fConnection;
    long fOriginal{0};
};

// Waits until the daemon has routed what this process sent on its shared connection, so that
// what another connection does next comes after it.
void routed() {
    SessionBus::askDaemon(SessionBus::connection(), "GetId", {});
}

TEST(SubscriptionBurst, NoticesAndOwnerChangesStillArriveInOrderAfterABurstPastTheIncomingLimit) {
    NSDistributedNotificationCenter& center = NSDistributedNotificationCenter::defaultCenter();
    NSWorkspace& workspace = NSWorkspace::sharedWorkspace();
    std::vector<int64_t> burst;
    std::vector<std::string> after;  // notices and launch (+) and quit (-) notices, as they came
    int owner = 0;
    center.addObserver(&owner, "test.burst", [&](const NSNotification& n) {
        burst.push_back(n.userInfo ? n.userInfo->at("Index").integer().value_or(-1) : -1);
    });
    center.addObserver(&owner, "test.after",
                       [&](const NSNotification& n) { after.push_back(*n.userInfo->at("Mark").string()); });
    for (std::string_view name :
         {NSWorkspaceDidLaunchApplicationNotification, NSWorkspaceDidTerminateApplicationNotification}) {
        workspace.notificationCenter().addObserver(&owner, name, nullptr, [&](const NSNotification& n) {
            auto app = NSWorkspace::applicationFromNotification(n);
            if (app && app->bundleIdentifier == "com.example.Burst")
                after.push_back(n.name == NSWorkspaceDidLaunchApplicationNotification ? "+" : "-");
        });
    }
    auto cleanUp = [&] {
        center.removeObserver(&owner);
        workspace.notificationCenter().removeObserver(&owner);
    };

    const LoweredIncomingLimit limit;
    ASSERT_TRUE(limit.lowered());
    // Posted without running the event loop, as a busy main thread would meet them.
    const std::string padding(1000, 'x');
    for (int64_t i = 1; i <= kBurst; ++i) {
        PropertyList::Dictionary info{{"Index", PropertyList(i)}, {"Padding", PropertyList(padding)}};
        ASSERT_TRUE(center.postNotificationName("test.burst", "sender", info));
    }
    const bool last = WaitFor([&] { return !burst.empty() && burst.back() == kBurst; });
    EXPECT_TRUE(last) << "the burst's last notice, of " << burst.size() << " seen";

    // The player quits and starts again between later notices.
    QDBusConnection player = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "burst-player");
    auto mark = [&](const char* text) {
        ASSERT_TRUE(center.postNotificationName("test.after", "sender",
                                                PropertyList::Dictionary{{"Mark", PropertyList(text)}}));
        routed();
    };
    mark("a");
    ASSERT_TRUE(SessionBus::ownName(player, "com.example.Burst"));
    mark("b");
    player.unregisterService("com.example.Burst");
    mark("c");
    ASSERT_TRUE(SessionBus::ownName(player, "com.example.Burst"));
    const std::vector<std::string> expected{"a", "+", "b", "-", "c", "+"};
    const bool all = WaitFor([&] { return after.size() >= expected.size(); });
    player.unregisterService("com.example.Burst");
    QDBusConnection::disconnectFromBus("burst-player");
    cleanUp();
    ASSERT_TRUE(all) << after.size() << " of " << expected.size();
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(std::is_sorted(burst.begin(), burst.end()) &&
                std::adjacent_find(burst.begin(), burst.end()) == burst.end())
        << "the burst's notices kept their order";
}

}  // namespace
