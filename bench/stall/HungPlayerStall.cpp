// The main thread's longest stall while the player hangs: Beatwick's controller with the real
// stand-in on a private session bus. A 10 ms timer on the main thread records every gap between
// its ticks for the given seconds (25 by default); the longest gap and the main thread's blocked
// time (gaps above 100 ms) are printed, then the stand-in goes on (SIGCONT) and quits.
//   stall_bench [notices] [SECONDS]   once the track shows and has settled, the stand-in is
//                                     stopped (SIGSTOP) and ten of the player's notices posted
//   stall_bench launch [SECONDS]      the stand-in takes its bus name and is stopped before
//                                     Beatwick hears of its launch
//   stall_bench apply [SECONDS]       a tapped tempo is applied while the stand-in holds its next
//                                     reply 8 s (--ctl delay 8000); also when the alert came
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
#include "platform/AppKit/Alert.h"
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

enum class Scene { notices, launch, apply };

// Answers every alert at once, noting when it came.
struct TimedPresenter : AlertPresenter {
    QElapsedTimer* clock{nullptr};
    qint64 shownAt{-1};
    std::string message;
    void present(const NSAlert& alert, Window*, std::function<void(NSModalResponse)> done) override {
        if (shownAt < 0 && clock) shownAt = clock->elapsed();
        message = alert.messageText;
        done(NSAlertFirstButtonReturn);
    }
};

bool runUntil(const std::function<bool()>& condition, int boundMs) {
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// Waits for the stand-in to answer without running this process's event loop, so Beatwick hears
// of nothing meanwhile.
bool standInAnswers() {
    for (int i = 0; i < 200; ++i) {
        if (QProcess::execute(QString::fromLatin1(kStandIn), {"--ctl", "state"}) == 0) return true;
        QThread::msleep(50);
    }
    return false;
}

int measure(Scene scene, int seconds) {
    ApplicationRegistry::shared().registerApplication("com.apple.iTunes", kStandIn, "iTunes");
    NSWorkspace::sharedWorkspace();
    ScopedAETransport transport{std::make_shared<DBusTransport>()};
    ScopedRunningApplicationSource applications{std::make_shared<BusRunningApplications>()};
    TimedPresenter presenter;
    AlertPresenter::setCurrent(&presenter);

    SystemControllerEnvironment environment;
    BridgePlayer bridge;
    NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
    Controller::initialize(defaults);
    defaults.setBool(false, "CheckForUpdates");
    defaults.setBool(false, "StartiTunesOnLaunch");
    std::unique_ptr<Controller> controller;
    auto startController = [&] {
        controller = std::make_unique<Controller>(
            Controller::Services{environment, bridge, defaults, PreferencesStore::shared(), Clock::system()});
        controller->awakeFromNib();
        controller->applicationWillFinishLaunching();
        controller->applicationDidFinishLaunching();
    };
    if (scene == Scene::launch) {
        startController();
        runUntil([] { return false; }, 500);
    }

    if (!NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes") || !standInAnswers()) {
        std::fprintf(stderr, "stall_bench: the stand-in did not start\n");
        return 1;
    }
    const pid_t player = PBRunningPlayerProcessID();
    if (player == 0) {
        std::fprintf(stderr, "stall_bench: the stand-in has no process id\n");
        return 1;
    }
    if (scene == Scene::launch) kill(player, SIGSTOP);  // Beatwick hears of the launch only now

    if (scene != Scene::launch) {
        QProcess::execute(QString::fromLatin1(kStandIn), {"--ctl", "play"});
        startController();
        if (!runUntil([&] { return controller->playerStatus().persistentID() != 0; }, 20000)) {
            std::fprintf(stderr, "stall_bench: no track shown\n");
            kill(player, SIGTERM);
            return 1;
        }
        // The player's launch notice and its broadcast of the play are handled before it stops.
        QElapsedTimer settle;
        settle.start();
        runUntil([&] { return settle.elapsed() > 1500; }, 5000);
    }

    if (scene == Scene::notices) {
        kill(player, SIGSTOP);
        for (int i = 0; i < kNotices; ++i) {
            PropertyList::Dictionary info{{"PersistentID", PropertyList(int64_t{0x1000 + i})},
                                          {"Player State", PropertyList("Playing")},
                                          {"Name", PropertyList("Notice " + std::to_string(i + 1))}};
            NSDistributedNotificationCenter::defaultCenter().postNotificationName(
                "com.apple.iTunes.playerInfo", "com.apple.iTunes.player", info);
        }
    }

    QElapsedTimer clock;
    clock.start();
    presenter.clock = &clock;
    qint64 last = 0, longest = 0, blocked = 0, applyAt = -1;
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
    if (scene == Scene::apply) {
        for (int i = 0; i < 8; ++i) controller->mainWindow().processTap(1'700'000'000'000ULL + 500ULL * i);
        QProcess::execute(QString::fromLatin1(kStandIn), {"--ctl", "delay", "8000"});
        last = clock.elapsed();
        QTimer::singleShot(50, [&] {
            applyAt = clock.elapsed();
            controller->applyBPM();
        });
    }
    runUntil([&] { return clock.elapsed() >= seconds * 1000LL; }, seconds * 1000 + 60000);
    ticks.stop();

    static const char* const kScenes[] = {"10 notices with the player stopped",
                                          "the launch of a player that never answers",
                                          "Apply with the player's next reply 8 s late"};
    std::printf("%s, %d s observed: longest main-thread stall %lld ms, blocked %lld ms in all\n",
                kScenes[static_cast<int>(scene)], seconds, static_cast<long long>(longest),
                static_cast<long long>(blocked));
    if (scene == Scene::apply)
        std::printf("alert \"%s\" %lld ms after Apply\n", presenter.message.c_str(),
                    static_cast<long long>(presenter.shownAt - applyAt));
    kill(player, SIGCONT);
    controller->applicationWillTerminate();
    controller.reset();
    AlertPresenter::setCurrent(nullptr);
    NSRunningApplication{"com.apple.iTunes", player, ""}.terminate();
    if (!runUntil([] { return PBRunningPlayerProcessID() == 0; }, 15000)) kill(player, SIGTERM);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Scene scene = Scene::notices;
    int argument = 1;
    if (argc > argument) {
        const std::string name = argv[argument];
        if (name == "launch" || name == "apply" || name == "notices") {
            scene = name == "launch" ? Scene::launch : name == "apply" ? Scene::apply : Scene::notices;
            ++argument;
        }
    }
    const int seconds = argc > argument ? std::max(1, std::atoi(argv[argument])) : 25;
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
    return measure(scene, seconds);
}
