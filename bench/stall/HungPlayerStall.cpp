// The main thread's longest stall while the player hangs: Beatwick's controller with the real
// stand-in on a private session bus; once it shows the track and has settled, the stand-in is stopped
// (SIGSTOP) and ten of the player's notices are posted at once. A 10 ms timer on the main thread
// records every gap between its ticks for the given seconds (25 by default); the longest gap and
// the main thread's blocked time (gaps above 100 ms) are printed, then the stand-in goes on
// (SIGCONT) and quits.
//   stall_bench [SECONDS]
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/SystemControllerEnvironment.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppleEvents/AETransport.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/Workspace.h"
#include "tests/support/PrivateSessionBus.h"

namespace {

const char* const kStandIn = BEATWICK_BINARY_DIR "/player-standin";
constexpr int kNotices = 10;

bool runUntil(const std::function<bool()>& condition, int boundMs) {
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

int measure(int seconds) {
    ApplicationRegistry::shared().registerApplication("com.apple.iTunes", kStandIn, "iTunes");
    NSWorkspace::sharedWorkspace();
    ScopedAETransport transport{std::make_shared<DBusTransport>()};
    ScopedRunningApplicationSource applications{std::make_shared<BusRunningApplications>()};
    if (!NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes") ||
        !runUntil([] { return PBRunningPlayerProcessID() != 0; }, 20000)) {
        std::fprintf(stderr, "stall_bench: the stand-in did not start\n");
        return 1;
    }
    const pid_t player = PBRunningPlayerProcessID();
    QProcess::execute(QString::fromLatin1(kStandIn), {"--ctl", "play"});

    SystemControllerEnvironment environment;
    BridgePlayer bridge;
    NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
    Controller::initialize(defaults);
    defaults.setBool(false, "CheckForUpdates");
    defaults.setBool(false, "StartiTunesOnLaunch");
    Controller controller({environment, bridge, defaults, PreferencesStore::shared(), Clock::system()});
    controller.awakeFromNib();
    controller.applicationWillFinishLaunching();
    controller.applicationDidFinishLaunching();
    if (!runUntil([&] { return controller.playerStatus().persistentID() != 0; }, 20000)) {
        std::fprintf(stderr, "stall_bench: no track shown\n");
        kill(player, SIGTERM);
        return 1;
    }
    // The player's launch notice and its broadcast of the play are handled before it stops.
    QElapsedTimer settle;
    settle.start();
    runUntil([&] { return settle.elapsed() > 1500; }, 5000);

    kill(player, SIGSTOP);
    for (int i = 0; i < kNotices; ++i) {
        PropertyList::Dictionary info{{"PersistentID", PropertyList(int64_t{0x1000 + i})},
                                      {"Player State", PropertyList("Playing")},
                                      {"Name", PropertyList("Notice " + std::to_string(i + 1))}};
        NSDistributedNotificationCenter::defaultCenter().postNotificationName(
            "com.apple.iTunes.playerInfo", "com.apple.iTunes.player", info);
    }

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0, blocked = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        const qint64 gap = now - last;
        longest = std::max(longest, gap);
        if (gap > 100) blocked += gap;
        last = now;
    });
    ticks.start(10);
    runUntil([&] { return clock.elapsed() >= seconds * 1000LL; }, seconds * 1000 + 60000);
    ticks.stop();

    std::printf(
        "%d notices with the player stopped, %d s observed: longest main-thread stall %lld ms, "
        "blocked %lld ms in all\n",
        kNotices, seconds, static_cast<long long>(longest), static_cast<long long>(blocked));
    kill(player, SIGCONT);
    controller.applicationWillTerminate();
    NSRunningApplication{"com.apple.iTunes", player, ""}.terminate();
    if (!runUntil([] { return PBRunningPlayerProcessID() == 0; }, 10000)) kill(player, SIGTERM);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
    PrivateSessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "stall_bench: no private session bus\n");
        return 1;
    }
    QTemporaryDir home;
    const std::string path = home.path().toStdString();
    std::error_code error;
    std::filesystem::create_directories(path + "/Music/iTunes", error);
    std::filesystem::copy(std::string(BEATWICK_SOURCE_DIR) + "/Resources/SampleLibrary",
                          path + "/Music/iTunes", std::filesystem::copy_options::recursive, error);
    setenv("HOME", path.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (path + "/data").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("BEATWICK_AUDIO", "null", 1);
    setenv("BEATWICK_RESOURCE_DIR", BEATWICK_RESOURCE_DIR, 1);
    unsetenv("DISPLAY");
    QApplication app(argc, argv);
    return measure(seconds);
}
