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
//   stall_bench burst [SECONDS]       10,000 of the player's notices, each naming another track,
//                                     posted from another connection in about 0.94 s while the
//                                     stand-in answers; also the requests made to the player and
//                                     how long after the burst's end the latest notice was shown
//                                     and the main thread last stalled
//   stall_bench burst-same [SECONDS]  the same, every notice naming the track shown
//   stall_bench slow [SECONDS]        every reply of the stand-in leaves 1.9 s late (--ctl slow);
//                                     the track changes every 6 s (--ctl next): the longest stall
//                                     of each track change
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/SystemControllerEnvironment.h"
#include "bench/support/PrivateHome.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppleEvents/AEDataModel.h"
#include "platform/AppleEvents/AETransport.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/Workspace.h"
#include "tests/support/PrivateSessionBus.h"

namespace {

const char* const kStandIn = BEATWICK_BINARY_DIR "/player-standin";
constexpr int kNotices = 10;
constexpr int kBurstNotices = 10000;
constexpr int kBurstMs = 940;
constexpr int kSlowReplyMs = 1900;
constexpr int kTrackChangeMs = 6000;

enum class Scene { notices, launch, apply, burst, burstSame, slow };

struct SceneName {
    const char* name;
    Scene scene;
    const char* description;
};

constexpr SceneName kScenes[] = {
    {"notices", Scene::notices, "10 notices with the player stopped"},
    {"launch", Scene::launch, "the launch of a player that never answers"},
    {"apply", Scene::apply, "Apply with the player's next reply 8 s late"},
    {"burst", Scene::burst, "10,000 notices of other tracks in 0.94 s"},
    {"burst-same", Scene::burstSame, "10,000 notices of the track shown in 0.94 s"},
    {"slow", Scene::slow, "track changes with every reply 1.9 s late"},
};

// The bus transport, counting the requests that wait for a reply.
class CountingTransport : public AETransport {
public:
    OSStatus send(const AETarget& target, const std::vector<uint8_t>& event, AESendMode mode,
                  SInt32 timeoutTicks, std::vector<uint8_t>* reply) override {
        if (reply) ++requests;
        return fBus.send(target, event, mode, timeoutTicks, reply);
    }
    std::atomic<long> requests{0};

private:
    DBusTransport fBus;
};

// The player's notices as ~1 kB user infos, sent from a connection of their own on another thread.
class NoticeBurst {
public:
    NoticeBurst() : fConnection(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "stall-burst")) {}
    ~NoticeBurst() {
        if (fThread.joinable()) fThread.join();
        QDBusConnection::disconnectFromBus("stall-burst");
    }
    // sameID: the persistent ID every notice names, or 0 for another one each.
    void start(SInt64 sameID) {
        fThread = std::thread([this, sameID] {
            const auto begin = std::chrono::steady_clock::now();
            for (int i = 1; i <= kBurstNotices; ++i) {
                const SInt64 id = sameID != 0 ? sameID : 0x10000 + i;
                PropertyList::Dictionary info{
                    {"PersistentID", PropertyList(int64_t{id})},
                    {"Player State", PropertyList("Playing")},
                    {"Name", PropertyList("Burst " + std::to_string(i))},
                    {"Artist", PropertyList(std::string(300, 'a'))},
                    {"Album", PropertyList(std::string(300, 'b'))},
                    {"Location", PropertyList("file:///music/" + std::string(300, 'c') + ".mp3")},
                    {"Total Time", PropertyList(int64_t{215000})},
                    {"Track Number", PropertyList(int64_t{i % 20})},
                };
                const auto data = PropertyListSerialization::dataWithPropertyList(PropertyList(info),
                                                                                  PropertyListFormat::Binary);
                QDBusMessage signal = QDBusMessage::createSignal(
                    QString::fromLatin1(kDistributedNotificationsPath),
                    QString::fromLatin1(kDistributedNotificationsInterface), QStringLiteral("Posted"));
                signal << QStringLiteral("com.apple.iTunes.playerInfo")
                       << QStringLiteral("com.apple.iTunes.player")
                       << QByteArray(reinterpret_cast<const char*>(data.value().data()),
                                     static_cast<qsizetype>(data.value().size()));
                fConnection.send(signal);
                std::this_thread::sleep_until(
                    begin + std::chrono::microseconds(int64_t{kBurstMs} * 1000 * i / kBurstNotices));
            }
            fEnd.store(std::chrono::steady_clock::now().time_since_epoch().count());
        });
    }
    // When the last notice left, on the steady clock; 0 while the burst goes on.
    std::atomic<int64_t> fEnd{0};

private:
    QDBusConnection fConnection;
    std::thread fThread;
};

int64_t steadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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
    auto counting = std::make_shared<CountingTransport>();
    ScopedAETransport transport{counting};
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

    const bool burst = scene == Scene::burst || scene == Scene::burstSame;
    if (scene == Scene::slow)
        QProcess::execute(QString::fromLatin1(kStandIn), {"--ctl", "slow", QString::number(kSlowReplyMs)});
    NoticeBurst notices;
    const long requestsBefore = counting->requests.load();

    QElapsedTimer clock;
    clock.start();
    presenter.clock = &clock;
    qint64 last = 0, longest = 0, blocked = 0, applyAt = -1;
    // The burst: when its latest notice was shown and when the main thread last stalled after
    // its end (steady milliseconds); the slow player: the longest stall of each track change.
    int64_t shownAt = -1, lastStallEnd = -1;
    std::vector<qint64> longestPerChange;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        const qint64 gap = now - last;
        longest = std::max(longest, gap);
        if (gap > 100) {
            blocked += gap;
            lastStallEnd = steadyNowMs();
        }
        if (scene == Scene::slow) {
            const auto change = static_cast<size_t>(last / kTrackChangeMs);
            if (longestPerChange.size() <= change) longestPerChange.resize(change + 1, 0);
            longestPerChange[change] = std::max(longestPerChange[change], gap);
        }
        if (burst && shownAt < 0 && controller->mainWindow().nameField()->stringValue() == "Burst 10000")
            shownAt = steadyNowMs();
        last = now;
    });
    ticks.start(10);
    QTimer changes;
    if (scene == Scene::slow) {
        QObject::connect(&changes, &QTimer::timeout, [] {
            QProcess::startDetached(QString::fromLatin1(kStandIn), {"--ctl", "next"});
        });
        changes.start(kTrackChangeMs);
    }
    if (burst) notices.start(scene == Scene::burstSame ? controller->playerStatus().persistentID() : 0);
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
    changes.stop();

    std::printf("%s, %d s observed: longest main-thread stall %lld ms, blocked %lld ms in all\n",
                kScenes[static_cast<int>(scene)].description, seconds, static_cast<long long>(longest),
                static_cast<long long>(blocked));
    if (scene == Scene::apply)
        std::printf("alert \"%s\" %lld ms after Apply\n", presenter.message.c_str(),
                    static_cast<long long>(presenter.shownAt - applyAt));
    if (burst) {
        const int64_t end = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::duration(notices.fEnd.load()))
                                .count();
        std::printf(
            "requests to the player %ld; after the burst's end: latest notice shown %s, last stall "
            "ended %lld ms\n",
            counting->requests.load() - requestsBefore,
            shownAt < 0 ? "never" : (std::to_string(shownAt - end) + " ms").c_str(),
            static_cast<long long>(lastStallEnd < 0 ? 0 : std::max<int64_t>(lastStallEnd - end, 0)));
    }
    if (scene == Scene::slow) {
        std::printf("longest stall of each track change (ms):");
        for (size_t i = 1; i < longestPerChange.size(); ++i)
            std::printf(" %lld", static_cast<long long>(longestPerChange[i]));
        std::printf("\nrequests to the player %ld\n", counting->requests.load() - requestsBefore);
        QProcess::execute(QString::fromLatin1(kStandIn), {"--ctl", "slow", "0"});
    }
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
        for (const SceneName& entry : kScenes)
            if (argv[argument] == std::string(entry.name)) {
                scene = entry.scene;
                ++argument;
                break;
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
    usePrivateHome(path, BEATWICK_RESOURCE_DIR, BEATWICK_SOURCE_DIR "/Resources/SampleLibrary");
    QApplication app(argc, argv);
    return measure(scene, seconds);
}
