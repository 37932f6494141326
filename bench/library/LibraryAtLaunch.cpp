// The player's library file at launch, and the playlist menus with many playlists: Beatwick's
// controller on a private session bus, in a fresh home folder per run.
//   library_bench                 the table for 14, 10,000, 70,000 and 100,000 tracks, each size in
//                                 a process of its own (for its peak memory)
//   library_bench tracks N        one row: N generated tracks, the player not running; the time
//                                 to the main window shown and to the library's playlists
//   library_bench menus [P]       the stand-in player with P playlists (300 by default): the first
//                                 and the second opening of the window's add-to-playlist menu
#include <stdlib.h>
#include <sys/resource.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "Source/BridgePlayer.h"
#include "Source/Controller.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/PlaylistMenus.h"
#include "Source/SystemControllerEnvironment.h"
#include "bench/support/PrivateHome.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/Window.h"
#include "platform/AppleEvents/AETransport.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/ApplicationRegistry.h"
#include "platform/Foundation/BusRunningApplications.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/Workspace.h"
#include "tests/support/GeneratedLibrary.h"
#include "tests/support/PrivateSessionBus.h"

namespace {

const char* const kStandIn = BEATWICK_BINARY_DIR "/player-standin";

bool runUntil(const std::function<bool()>& condition, int boundMs) {
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

struct Launched {
    SystemControllerEnvironment environment;
    BridgePlayer bridge;
    std::unique_ptr<Controller> controller;

    void launch() {
        NSUserDefaults& defaults = NSUserDefaults::standardUserDefaults();
        Controller::initialize(defaults);
        defaults.setBool(false, "CheckForUpdates");
        defaults.setBool(false, "StartiTunesOnLaunch");
        controller = std::make_unique<Controller>(
            Controller::Services{environment, bridge, defaults, PreferencesStore::shared(), Clock::system()});
        controller->awakeFromNib();
        controller->applicationWillFinishLaunching();
        controller->applicationDidFinishLaunching();
        controller->showMainWindow();
    }
    ~Launched() {
        if (!controller) return;
        controller->applicationWillTerminate();
        controller.reset();
    }
};

int tracksRow(const std::string& home, long tracks) {
    const std::string library = home + "/Music/iTunes/iTunes Music Library.xml";
    if (!generated_library::write(library, tracks, 20)) {
        std::fprintf(stderr, "library_bench: the library was not written\n");
        return 1;
    }
    const double megabytes = double(std::filesystem::file_size(library)) / 1e6;
    const long before = peakMegabytes();
    Launched app;
    QElapsedTimer clock;
    clock.start();
    app.launch();
    runUntil([&] { return app.controller->window()->isVisible(); }, 60000);
    const qint64 shown = clock.elapsed();
    // A library that is not read at all shows as "none" after a minute.
    const bool listed =
        runUntil([&] { return app.controller->playlistMenus().playlists().size() == 20; }, 60000);
    const std::string available = listed ? std::to_string(clock.elapsed()) + " ms" : "none";
    std::printf("| %7ld | %6.1f MB | %5lld ms | %9s | %5ld MB |\n", tracks, megabytes,
                static_cast<long long>(shown), available.c_str(), peakMegabytes() - before);
    return 0;
}

int menusRun(const std::string& home, int playlists) {
    if (!generated_library::write(home + "/Music/iTunes/iTunes Music Library.xml", 1000, playlists)) return 1;
    ApplicationRegistry::shared().registerApplication("com.apple.iTunes", kStandIn, "iTunes");
    NSWorkspace::sharedWorkspace();
    ScopedAETransport transport{std::make_shared<DBusTransport>()};
    ScopedRunningApplicationSource applications{std::make_shared<BusRunningApplications>()};
    if (!NSWorkspace::sharedWorkspace().launchApplication("com.apple.iTunes") ||
        !runUntil([] { return PBRunningPlayerProcessID() != 0; }, 20000)) {
        std::fprintf(stderr, "library_bench: the stand-in did not start\n");
        return 1;
    }
    const pid_t player = PBRunningPlayerProcessID();
    int result = 0;
    {
        Launched app;
        app.launch();
        runUntil([&] { return false; }, 1000);  // the launch's own refresh settles
        PopUpButton* popUp = app.controller->mainWindow().addToPlaylistButton();
        qint64 openings[2]{};
        for (qint64& opening : openings) {
            QElapsedTimer clock;
            clock.start();
            app.controller->playlistMenus().popUpNeedsUpdate();
            opening = clock.elapsed();
        }
        const int shown = popUp ? popUp->numberOfItems() - 1 : -1;
        if (shown != playlists) {
            std::fprintf(stderr, "library_bench: %d playlists shown, not %d\n", shown, playlists);
            result = 1;
        }
        std::printf("%d playlists: first opening %lld ms, second %lld ms\n", playlists,
                    static_cast<long long>(openings[0]), static_cast<long long>(openings[1]));
    }
    NSRunningApplication{"com.apple.iTunes", player, ""}.terminate();
    if (!runUntil([] { return PBRunningPlayerProcessID() == 0; }, 15000)) kill(player, SIGTERM);
    return result;
}

int table(const char* self) {
    std::printf(
        "| tracks  | file      | shown   | playlists | peak RSS |\n"
        "|---------|-----------|---------|-----------|----------|\n");
    std::fflush(stdout);
    for (const char* tracks : {"14", "10000", "70000", "100000"})
        if (QProcess::execute(QString::fromLocal8Bit(self), {"tracks", tracks}) != 0) return 1;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string scene = argc > 1 ? argv[1] : "";
    if (scene.empty()) {
        QCoreApplication app(argc, argv);
        return table(argv[0]);
    }
    PrivateSessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "library_bench: no private session bus\n");
        return 1;
    }
    QTemporaryDir home;
    const std::string path = home.path().toStdString();
    usePrivateHome(path, BEATWICK_RESOURCE_DIR, nullptr);
    QApplication app(argc, argv);
    if (scene == "tracks" && argc > 2) return tracksRow(path, std::atol(argv[2]));
    if (scene == "menus") return menusRun(path, argc > 2 ? std::atoi(argv[2]) : 300);
    std::fprintf(stderr, "usage: library_bench [tracks N | menus [PLAYLISTS]]\n");
    return 2;
}
