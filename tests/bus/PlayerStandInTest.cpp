// The real player-standin process on this test's private bus, reached through the bridge,
// the bus transport, the workspace and the distributed notifications.

#include <gtest/gtest.h>
#include <signal.h>

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <functional>
#include <set>

#include "BusTestSupport.h"
#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PlayerBridge.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/SessionBus.h"
#include "platform/Foundation/Workspace.h"

namespace {

const char* const kStandIn = BEATWICK_BINARY_DIR "/player-standin";

// Runs `player-standin --ctl ...` and answers what it printed.
QString control(const QStringList& arguments) {
    QProcess process;
    process.start(QString::fromLatin1(kStandIn), QStringList{"--ctl"} + arguments);
    EXPECT_TRUE(process.waitForFinished(15000)) << arguments.join(' ').toStdString();
    EXPECT_EQ(process.exitCode(), 0) << arguments.join(' ').toStdString();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// The BPM the library file on disk holds for the track, or -1.
int64_t bpmOnDisk(SInt64 persistentId) {
    const std::string path = BusTestHome() + "/Music/iTunes/iTunes Music Library.xml";
    const Result<PropertyList> plist = PropertyListSerialization::propertyListWithContentsOfFile(path);
    if (!plist) return -1;
    const PropertyList* tracks = plist.value().objectForKey("Tracks");
    if (!tracks || !tracks->dictionary()) return -1;
    char id[17];
    std::snprintf(id, sizeof id, "%016llX", static_cast<unsigned long long>(persistentId));
    for (const auto& [key, track] : *tracks->dictionary()) {
        const PropertyList* persistent = track.objectForKey("Persistent ID");
        if (persistent && persistent->string() && *persistent->string() == id) {
            const PropertyList* bpm = track.objectForKey("BPM");
            return bpm ? bpm->integer().value_or(-1) : 0;
        }
    }
    return -1;
}

class PlayerStandIn : public testing::Test {
protected:
    void SetUp() override {
        ApplicationRegistry::shared().registerApplication("com.apple.iTunes", kStandIn, "iTunes");
        NSWorkspace::sharedWorkspace();  // observing name changes before the player starts
        ASSERT_TRUE(launch());
    }

    void TearDown() override {
        const SInt32 pid = PBRunningPlayerProcessID();
        if (pid == 0) return;
        NSRunningApplication{"com.apple.iTunes", pid, ""}.terminate();
        if (!WaitFor([] { return PBRunningPlayerProcessID() == 0; })) kill(pid, SIGTERM);
    }

    bool launch() {
        if (!NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes")) return false;
        return WaitFor([] { return PBRunningPlayerProcessID() != 0; });
    }

    std::shared_ptr<DBusTransport> fTransport = std::make_shared<DBusTransport>();
    ScopedAETransport fScopedTransport{fTransport};
    ScopedRunningApplicationSource fSource{std::make_shared<BusRunningApplications>()};
};

TEST_F(PlayerStandIn, BridgeReadsTheCurrentTrackAndItsBpmReachesTheLibraryFile) {
    control({"play"});
    const QStringList state = control({"state"}).split('\t');
    ASSERT_GE(state.size(), 2);
    const std::shared_ptr<PBTrack> track = PlayerBridge::sharedInstance().currentTrack();
    ASSERT_TRUE(track);
    EXPECT_EQ(track->name(), state[1].toStdString()) << "the track the player itself names";
    const SInt64 id = track->persistentId();
    ASSERT_GT(id, 0);
    EXPECT_EQ(fTransport->lastTimeoutMilliseconds(), 2000) << "the bridge's 2-second time-out";

    track->setBpm(123);
    EXPECT_EQ(track->bpm(), 123);
    EXPECT_TRUE(WaitFor([&] { return bpmOnDisk(id) == 123; })) << "BPM on disk: " << bpmOnDisk(id);
}

TEST_F(PlayerStandIn, PlayerInfoAfterNextReachesAnObserverWithEveryKey) {
    std::vector<NSNotification> seen;
    int owner = 0;
    NSDistributedNotificationCenter::defaultCenter().addObserver(
        &owner, "com.apple.iTunes.playerInfo", [&](const NSNotification& n) { seen.push_back(n); });
    control({"play"});
    ASSERT_TRUE(WaitFor([&] { return !seen.empty(); }));
    const size_t before = seen.size();
    control({"next"});
    ASSERT_TRUE(WaitFor([&] { return seen.size() > before; }));
    NSDistributedNotificationCenter::defaultCenter().removeObserver(&owner);

    const NSNotification& first = seen.front();
    const NSNotification& next = seen.back();
    ASSERT_TRUE(first.userInfo && next.userInfo);
    for (const char* key :
         {"PersistentID", "Player State", "Name", "Artist", "Album", "Genre", "Track Number"})
        EXPECT_TRUE(next.userInfo->count(key)) << key;
    EXPECT_TRUE(next.userInfo->count("Location") || next.userInfo->count("Store URL"));
    if (const auto location = next.userInfo->find("Location"); location != next.userInfo->end()) {
        EXPECT_EQ(location->second.string()->rfind("file:///", 0), 0u) << *location->second.string();
    }
    EXPECT_EQ(*next.userInfo->at("Player State").string(), "Playing");
    EXPECT_NE(next.userInfo->at("PersistentID").integer(), first.userInfo->at("PersistentID").integer());
}

TEST_F(PlayerStandIn, QuitIsNoticedRequestsFailSoftlyAndARelaunchIsReached) {
    std::vector<NSRunningApplication> terminated;
    int owner = 0;
    NSWorkspace::sharedWorkspace().notificationCenter().addObserver(
        &owner, NSWorkspaceDidTerminateApplicationNotification, nullptr, [&](const NSNotification& n) {
            if (auto app = NSWorkspace::applicationFromNotification(n)) terminated.push_back(*app);
        });
    control({"play"});
    const std::shared_ptr<PBTrack> before = PlayerBridge::sharedInstance().currentTrack();
    ASSERT_TRUE(before);
    const SInt32 first = PBRunningPlayerProcessID();
    ASSERT_TRUE(NSRunningApplication::runningApplicationWithProcessIdentifier(first)->terminate());
    ASSERT_TRUE(WaitFor([&] { return !terminated.empty(); }));
    NSWorkspace::sharedWorkspace().notificationCenter().removeObserver(&owner);
    EXPECT_EQ(terminated[0].bundleIdentifier, "com.apple.iTunes");
    EXPECT_EQ(terminated[0].processIdentifier, first);

    EXPECT_EQ(PBRunningPlayerProcessID(), 0);
    EXPECT_FALSE(PlayerBridge::sharedInstance().currentTrack());
    EXPECT_FALSE(before->name()) << "a track of the player that quit";
    EXPECT_EQ(before->bpm(), -1);

    ASSERT_TRUE(launch());
    const SInt32 second = PBRunningPlayerProcessID();
    EXPECT_NE(second, first);
    control({"play"});
    const std::shared_ptr<PBTrack> track = PlayerBridge::sharedInstance().currentTrack();
    ASSERT_TRUE(track) << "the new process is reached";
    EXPECT_TRUE(track->name());
}

// Waits for a condition of another process without running the event loop, so that no bus
// signal reaches this process's observers meanwhile.
bool WaitWithoutEvents(const std::function<bool()>& condition) {
    for (int i = 0; i < 3000; ++i) {
        if (condition()) return true;
        QThread::msleep(5);
    }
    return false;
}

bool playerNameOwned() {
    const QDBusMessage reply =
        SessionBus::askDaemon(SessionBus::connection(), "NameHasOwner", {QStringLiteral("com.apple.iTunes")});
    return !reply.arguments().isEmpty() && reply.arguments().constFirst().toBool();
}

TEST_F(PlayerStandIn, WarmRequestsAskTheDaemonNothingAndARestartedPlayerIsReached) {
    auto send = [](DescType addressType, UInt32 address) {
        AppleEvent event;
        const AEDesc none;
        AEBuildAppleEvent(kCoreEventClass, kAEGetData, addressType, &address, sizeof address,
                          kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                          "'----':obj { form:prop, want:type(prop), seld:type(pVol), from:@ }", &none);
        AppleEvent reply;
        return AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 120);
    };
    control({"play"});
    const auto first = static_cast<UInt32>(PBRunningPlayerProcessID());
    ASSERT_EQ(send(typeKernelProcessID, first), noErr);
    struct Case {
        const char* name;
        DescType addressType;
        UInt32 address;
    } const warm[] = {{"by process", typeKernelProcessID, first},
                      {"by signature", typeApplSignature, fourCC("hook")}};
    for (const Case& c : warm) {
        const uint64_t before = SessionBus::daemonCalls();
        EXPECT_EQ(send(c.addressType, c.address), noErr) << c.name;
        EXPECT_EQ(SessionBus::daemonCalls(), before) << c.name;
    }
    const uint64_t beforeBridge = SessionBus::daemonCalls();
    const std::shared_ptr<PBTrack> track = PlayerBridge::sharedInstance().currentTrack();
    ASSERT_TRUE(track);
    EXPECT_TRUE(track->name());
    EXPECT_EQ(SessionBus::daemonCalls(), beforeBridge) << "the bridge finds the player in the table too";

    // The player goes and a new one takes its name while this process hears nothing of it: the
    // table still names the old owner.
    ASSERT_EQ(kill(static_cast<pid_t>(first), SIGTERM), 0);
    ASSERT_TRUE(WaitWithoutEvents([&] { return kill(static_cast<pid_t>(first), 0) != 0; }));
    ASSERT_TRUE(NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes"));
    ASSERT_TRUE(WaitWithoutEvents(playerNameOwned));
    EXPECT_EQ(send(typeApplSignature, fourCC("hook")), noErr) << "the new player is reached";

    // Once the changes are in, the new player is reached by its process as the old one was.
    ASSERT_TRUE(WaitFor([&] {
        const SInt32 pid = PBRunningPlayerProcessID();
        return pid != 0 && pid != static_cast<SInt32>(first);
    }));
    const auto second = static_cast<UInt32>(PBRunningPlayerProcessID());
    ASSERT_EQ(send(typeKernelProcessID, second), noErr);
    const uint64_t before = SessionBus::daemonCalls();
    EXPECT_EQ(send(typeKernelProcessID, second), noErr);
    EXPECT_EQ(SessionBus::daemonCalls(), before);
}

TEST_F(PlayerStandIn, LateAnswerTimesOutAndTheNextRequestIsAnswered) {
    const SInt32 pid = PBRunningPlayerProcessID();
    auto request = [pid](long ticks) {
        AppleEvent event;
        const AEDesc none;
        AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                          kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                          "'----':obj { form:prop, want:type(prop), seld:type(pPos), from:@ }", &none);
        AppleEvent reply;
        return AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, ticks);
    };
    control({"delay", "3000"});
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(request(120), errAETimeout);
    EXPECT_EQ(fTransport->lastTimeoutMilliseconds(), 2000);
    EXPECT_EQ(request(1200), noErr) << "answered once the late reply has gone";
    EXPECT_LT(elapsed.elapsed(), 60000);
}

}  // namespace
