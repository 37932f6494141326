// The bus layers within one test process: the transport against a server on a thread of its
// own, distributed notifications, running applications and workspace notices of a second
// connection that owns a name and goes away.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QThread>
#include <atomic>
#include <memory>
#include <set>

#include "BusTestSupport.h"
#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/DBusEventServer.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Foundation/BusApplication.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/SessionBus.h"
#include "platform/Foundation/Workspace.h"

namespace {

constexpr SInt32 kAnswer = 128;

// Answers every event with kAnswer as its direct result.
OSStatus answerAll(const AppleEvent&, AppleEvent& reply) {
    return static_cast<OSStatus>(
        AEPutParamPtr(&reply, keyDirectObject, typeSInt32, &kAnswer, sizeof kAnswer));
}

AppleEvent getEvent(DescType addressType, UInt32 address) {
    AppleEvent event;
    const AEDesc none;
    AEBuildAppleEvent(kCoreEventClass, kAEGetData, addressType, &address, sizeof address,
                      kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                      "'----':obj { form:prop, want:type(prop), seld:type(pPos), from:@ }", &none);
    return event;
}

// A player of this process: a connection of its own (the bus does not carry calls from a
// connection to itself) owning the player's name, served on a thread of its own so that the
// main thread may block on a send.
class ThreadedServer {
public:
    ThreadedServer()
        : fConnection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"))) {
        fServer = std::make_unique<DBusEventServer>(answerAll, fConnection);
        fServer->moveToThread(&fThread);
        fThread.start();
        EXPECT_TRUE(fServer->publish());
        EXPECT_TRUE(SessionBus::ownName(fConnection, "com.apple.iTunes"));
    }
    ~ThreadedServer() {
        fConnection.unregisterService(QStringLiteral("com.apple.iTunes"));
        QMetaObject::invokeMethod(
            fServer.get(), [server = fServer.release()] { delete server; }, Qt::BlockingQueuedConnection);
        fThread.quit();
        fThread.wait();
    }
    void delayNextReply(int ms) {
        QMetaObject::invokeMethod(
            fServer.get(), [this, ms] { fServer->delayNextReply(ms); }, Qt::BlockingQueuedConnection);
    }
    size_t received() {
        size_t count = 0;
        QMetaObject::invokeMethod(
            fServer.get(), [&] { count = fServer->received(); }, Qt::BlockingQueuedConnection);
        return count;
    }

private:
    QDBusConnection fConnection;
    QThread fThread;
    std::unique_ptr<DBusEventServer> fServer;
};

TEST(BusTransport, TimeoutInTicksBecomesMilliseconds) {
    struct Case {
        const char* name;
        SInt32 ticks;
        int milliseconds;
    } const cases[] = {
        {"two seconds", 120, 2000},
        {"one tick", 1, 17},
        {"none", 0, 0},
        {"no limit", kNoTimeOut, INT32_MAX},
    };
    for (const Case& c : cases) EXPECT_EQ(AEBusTimeoutMilliseconds(c.ticks), c.milliseconds) << c.name;
}

TEST(BusTransport, AbsentTargetsFailAtOnceWithProcessNotFound) {
    ScopedAETransport scoped(std::make_shared<DBusTransport>());
    struct Case {
        const char* name;
        DescType addressType;
        UInt32 address;
    } const cases[] = {
        {"player's signature, no player", typeApplSignature, fourCC("hook")},
        {"unknown signature", typeApplSignature, fourCC("zzzz")},
        {"process with no connection", typeKernelProcessID, 999999},
    };
    for (const Case& c : cases) {
        const AppleEvent event = getEvent(c.addressType, c.address);
        AppleEvent reply;
        EXPECT_EQ(AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 120), procNotFound)
            << c.name;
    }
}

TEST(BusTransport, ProcessTargetReachesItsConnectionAndLateReplyTimesOut) {
    ThreadedServer server;
    auto transport = std::make_shared<DBusTransport>();
    ScopedAETransport scoped(transport);
    const AppleEvent event = getEvent(typeKernelProcessID, static_cast<UInt32>(getpid()));

    AppleEvent reply;
    ASSERT_EQ(AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 120), noErr);
    SInt32 value = 0;
    EXPECT_EQ(AEGetParamPtr(&reply, keyDirectObject, typeSInt32, nullptr, &value, sizeof value, nullptr),
              noErr);
    EXPECT_EQ(value, kAnswer);
    EXPECT_EQ(transport->lastTimeoutMilliseconds(), 2000);

    server.delayNextReply(1500);
    EXPECT_EQ(AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 6), errAETimeout);
    EXPECT_EQ(transport->lastTimeoutMilliseconds(), 100);
    // Answered in arrival order: this one waits behind the delayed reply, then comes back.
    EXPECT_EQ(AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 600), noErr);

    // A no-reply send returns at once; the event still arrives. The signature names the same player.
    const size_t before = server.received();
    EXPECT_EQ(AESendMessage(&event, &reply, kAENoReply | kAENeverInteract, 120), noErr);
    const AppleEvent bySignature = getEvent(typeApplSignature, fourCC("hook"));
    EXPECT_EQ(AESendMessage(&bySignature, &reply, kAEWaitReply | kAENeverInteract, 120), noErr);
    EXPECT_TRUE(WaitFor([&] { return server.received() == before + 2; }));
}

// Observes a name of the default centre until the test leaves, a failed assertion included, so
// that no later notification reaches the locals of a test that has returned.
class ScopedObservation {
public:
    ScopedObservation(const ScopedObservation&) = delete;
    ScopedObservation& operator=(const ScopedObservation&) = delete;

    ScopedObservation(std::string_view name, NSDistributedNotificationCenter::Observer observer)
        : fToken(NSDistributedNotificationCenter::defaultCenter().addObserver(this, name,
                                                                              std::move(observer))) {}
    ~ScopedObservation() { NSDistributedNotificationCenter::defaultCenter().removeObserver(fToken); }

private:
    NSDistributedNotificationCenter::ObserverToken fToken;
};

// The first subscription of its process (each test runs in a process of its own under CTest),
// posting on the shared connection made on the main thread before the event loop ran: the order
// must hold from the first notifications on.
TEST(DistributedNotifications, ObserversSeeNotificationsInOrderWithTheirUserInfo) {
    NSDistributedNotificationCenter& center = NSDistributedNotificationCenter::defaultCenter();
    std::vector<NSNotification> seen;
    const ScopedObservation observation("test.changed", [&](const NSNotification& n) { seen.push_back(n); });
    for (int64_t i = 1; i <= 5; ++i) {
        PropertyList::Dictionary info{{"Index", PropertyList(i)}, {"Name", PropertyList("track")}};
        ASSERT_TRUE(center.postNotificationName("test.changed", "sender", info));
        ASSERT_TRUE(center.postNotificationName("test.other", "sender", info));
    }
    EXPECT_TRUE(center.postNotificationName("test.changed"));
    EXPECT_TRUE(seen.empty()) << "delivered inside the post";
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 6; }));
    for (int64_t i = 1; i <= 5; ++i) {
        ASSERT_TRUE(seen[i - 1].userInfo) << i;
        EXPECT_EQ(seen[i - 1].userInfo->at("Index").integer(), i);
        EXPECT_EQ(*seen[i - 1].userInfo->at("Name").string(), "track");
    }
    EXPECT_FALSE(seen[5].userInfo);
}

TEST(DistributedNotifications, ObserversOfANameSeeEachOfItsNotificationsWithItsUserInfo) {
    NSDistributedNotificationCenter& center = NSDistributedNotificationCenter::defaultCenter();
    std::set<int64_t> seen;
    int withoutInfo = 0;
    const ScopedObservation observation("test.changed", [&](const NSNotification& n) {
        if (!n.userInfo)
            ++withoutInfo;
        else
            seen.insert(n.userInfo->at("Index").integer().value_or(-1));
    });
    for (int64_t i = 1; i <= 5; ++i) {
        PropertyList::Dictionary info{{"Index", PropertyList(i)}};
        ASSERT_TRUE(center.postNotificationName("test.changed", "sender", info));
        ASSERT_TRUE(center.postNotificationName("test.other", "sender", info));
    }
    EXPECT_TRUE(center.postNotificationName("test.changed"));
    EXPECT_TRUE(seen.empty()) << "delivered inside the post";
    ASSERT_TRUE(WaitFor([&] { return seen.size() + withoutInfo == 6; }));
    EXPECT_EQ(seen, (std::set<int64_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(withoutInfo, 1);
}

TEST(DistributedNotifications, UnreadableUserInfoFromAnotherSenderIsLeftOut) {
    std::vector<NSNotification> seen;
    const ScopedObservation observation("test.raw", [&](const NSNotification& n) { seen.push_back(n); });
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kDistributedNotificationsPath),
                                                     QString::fromLatin1(kDistributedNotificationsInterface),
                                                     QStringLiteral("Posted"));
    signal << QStringLiteral("test.raw") << QString() << QByteArray("bplist00\xff\xff", 10);
    ASSERT_TRUE(QDBusConnection::sessionBus().send(signal));
    ASSERT_TRUE(WaitFor([&] { return seen.size() == 1; }));
    EXPECT_FALSE(seen[0].userInfo);
}

// Notifications on their way to a centre that goes away are dropped, not handed to it; a centre
// made afterwards receives what comes next.
TEST(DistributedNotifications, ACenterGoneBeforeItsNotificationsArriveSeesNone) {
    int early = 0;
    {
        NSDistributedNotificationCenter center;
        center.addObserver(&early, "test.early", [&](const NSNotification&) { ++early; });
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(center.postNotificationName("test.early"));
        SessionBus::askDaemon(SessionBus::connection(), "GetId", {});  // routed to this process
    }
    NSDistributedNotificationCenter later;
    int marks = 0;
    later.addObserver(&marks, "test.mark", [&](const NSNotification&) { ++marks; });
    ASSERT_TRUE(later.postNotificationName("test.mark"));
    ASSERT_TRUE(WaitFor([&] { return marks == 1; }));
    EXPECT_EQ(early, 0);
}

// A second connection of this process stands for another application.
class OtherApplication {
public:
    explicit OtherApplication(const char* connectionName)
        : fName(connectionName),
          fConnection(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                    QString::fromLatin1(connectionName))) {}
    ~OtherApplication() { quit(); }
    QDBusConnection& connection() { return fConnection; }
    // Gives up every name the test gave it, as a process that ends does.
    void quit() {
        for (const char* name : {"com.example.Other", "com.example.Quitting"})
            fConnection.unregisterService(QString::fromLatin1(name));
    }

private:
    const char* fName;
    QDBusConnection fConnection;
};

TEST(Workspace, NameOwnerChangesBecomeLaunchAndQuitNoticesWithTheApplication) {
    NSWorkspace& workspace = NSWorkspace::sharedWorkspace();
    std::vector<std::pair<std::string, NSRunningApplication>> notices;
    int owner = 0;
    for (std::string_view name :
         {NSWorkspaceDidLaunchApplicationNotification, NSWorkspaceDidTerminateApplicationNotification}) {
        workspace.notificationCenter().addObserver(&owner, name, nullptr, [&](const NSNotification& n) {
            if (auto app = NSWorkspace::applicationFromNotification(n)) notices.emplace_back(n.name, *app);
        });
    }
    BusRunningApplications source;
    {
        OtherApplication other("other-app");
        ASSERT_TRUE(SessionBus::ownName(other.connection(), "com.example.Other"));
        EXPECT_FALSE(SessionBus::ownName("com.example.Other")) << "a name has one owner";
        ASSERT_TRUE(WaitFor([&] { return notices.size() == 1; }));
        EXPECT_EQ(notices[0].first, NSWorkspaceDidLaunchApplicationNotification);
        EXPECT_EQ(notices[0].second.bundleIdentifier, "com.example.Other");
        EXPECT_EQ(notices[0].second.processIdentifier, getpid());

        const auto listed = source.runningApplications();
        const auto found = std::find_if(listed.begin(), listed.end(), [](const auto& app) {
            return app.bundleIdentifier == "com.example.Other";
        });
        ASSERT_NE(found, listed.end());
        EXPECT_EQ(found->processIdentifier, getpid());
        EXPECT_EQ(found->localizedName, "Other");
        other.quit();
        ASSERT_TRUE(WaitFor([&] { return notices.size() == 2; }));
    }
    EXPECT_EQ(notices[1].first, NSWorkspaceDidTerminateApplicationNotification);
    EXPECT_EQ(notices[1].second.bundleIdentifier, "com.example.Other");
    EXPECT_EQ(notices[1].second.processIdentifier, getpid())
        << "the process seen last, though it left the bus";
    for (const auto& app : source.runningApplications()) EXPECT_NE(app.bundleIdentifier, "com.example.Other");
    workspace.notificationCenter().removeObserver(&owner);
}

TEST(Workspace, TerminateAndActivateAskTheApplicationThatStillOwnsTheName) {
    OtherApplication other("quitting-app");
    std::atomic<int> quits{0};
    std::atomic<int> activations{0};
    BusApplication application([&] { ++quits; }, [&] { ++activations; }, other.connection());
    ASSERT_TRUE(application.publish("com.example.Quitting"));
    BusRunningApplications source;
    EXPECT_FALSE(source.terminate(NSRunningApplication{"com.example.Quitting", getpid() + 1, ""}))
        << "another process than the one asked about";
    EXPECT_FALSE(source.terminate(NSRunningApplication{"com.example.Absent", getpid(), ""}));
    ASSERT_TRUE(source.activate(NSRunningApplication{"com.example.Quitting", getpid(), ""}, 0));
    EXPECT_TRUE(WaitFor([&] { return activations == 1; }));
    ASSERT_TRUE(source.terminate(NSRunningApplication{"com.example.Quitting", getpid(), ""}));
    EXPECT_TRUE(WaitFor([&] { return quits == 1; }));
    EXPECT_EQ(activations, 1);
}

TEST(Workspace, FirstAppleEventTravelsAsHexadecimalArgument) {
    const std::vector<uint8_t> event{0x42, 0x57, 0x00, 0xff, 0x10};
    const QString option =
        QString::fromLatin1(kLaunchAppleEventOption.data(), kLaunchAppleEventOption.size());
    EXPECT_EQ(NSWorkspace::launchAppleEventFromArguments(
                  {"player", option, QString::fromStdString(NSWorkspace::launchAppleEventArgument(event))}),
              event);
    struct Case {
        const char* name;
        QStringList arguments;
    } const cases[] = {
        {"no option", {"player"}},
        {"option without value", {"player", option}},
        {"odd length", {"player", option, "abc"}},
        {"not hexadecimal", {"player", option, "zz00"}},
        {"empty", {"player", option, ""}},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(NSWorkspace::launchAppleEventFromArguments(c.arguments)) << c.name;
    EXPECT_FALSE(NSWorkspace().launchApplication("com.example.Unregistered"));
}

TEST(Workspace, ActiveApplicationIsUnknownWithoutADisplay) {
    EXPECT_FALSE(NSWorkspace::sharedWorkspace().activeApplication());
}

}  // namespace

namespace {

// Launch and quit notices, in order, of names another connection takes and gives up while this
// process starts its event loop; as with the notifications, the first subscription of its process.
TEST(Workspace, FirstNoticesKeepTheirOrder) {
    NSWorkspace& workspace = NSWorkspace::sharedWorkspace();
    std::vector<std::string> notices;
    int owner = 0;
    for (std::string_view name :
         {NSWorkspaceDidLaunchApplicationNotification, NSWorkspaceDidTerminateApplicationNotification}) {
        workspace.notificationCenter().addObserver(&owner, name, nullptr, [&](const NSNotification& n) {
            auto app = NSWorkspace::applicationFromNotification(n);
            if (app && app->bundleIdentifier.starts_with("com.example.Order"))
                notices.push_back((n.name == NSWorkspaceDidLaunchApplicationNotification ? "+" : "-") +
                                  app->bundleIdentifier.substr(17));
        });
    }
    constexpr int kCycles = 40;
    std::vector<std::string> expected;
    for (int i = 0; i < kCycles; ++i) {
        expected.push_back("+" + std::to_string(i));
        expected.push_back("-" + std::to_string(i));
    }
    // Asked without waiting, so that the changes reach this process while its loop starts.
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "order-app");
    auto ask = [&](const char* method, const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                           "org.freedesktop.DBus", method);
        call.setArguments(arguments);
        other.asyncCall(call);
    };
    for (int i = 0; i < kCycles; ++i) {
        const QString name = QStringLiteral("com.example.Order%1").arg(i);
        ask("RequestName", {name, 4u});
        ask("ReleaseName", {name});
    }
    const bool all = WaitFor([&] { return notices.size() >= expected.size(); });
    workspace.notificationCenter().removeObserver(&owner);
    ASSERT_TRUE(all) << notices.size();
    EXPECT_EQ(notices, expected);
}

}  // namespace
