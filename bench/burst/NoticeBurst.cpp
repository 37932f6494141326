// A burst of the player's playerInfo notices at a running Beatwick (the real executable and the
// real stand-in on a private session bus). Once Beatwick follows the player, the benchmark
// posts the burst on a connection of its own, then waits for Beatwick's requests to the player
// to settle and gives the stand-in three `--ctl next`, counting the requests each brings within
// 5 s and the time to the first one. Beatwick's RSS is read before the burst and 10 s after it.
//   burst_bench                 100,000 notices of about 1 kB, then 1,500 of about 60 kB
//   burst_bench COUNT BYTES     one burst of COUNT notices of about BYTES
#include <signal.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/PrivateHome.h"
#include "platform/Foundation/DistributedNotificationCenter.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/SessionBus.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/support/PrivateSessionBus.h"

namespace {

const char* const kStandIn = BEATWICK_BINARY_DIR "/player-standin";
const char* const kBeatwick = BEATWICK_BINARY_DIR "/Beatwick";
constexpr int kRoutedEvery = 500;  // notices between waits for the daemon to have routed them

struct Burst {
    int count;
    size_t bytes;
};

QString control(const QStringList& arguments) {
    QProcess process;
    process.start(QString::fromLatin1(kStandIn), QStringList{"--ctl"} + arguments);
    process.waitForFinished(15000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Apple events the stand-in has answered so far.
long long requests() {
    const QString log = control({"events"});
    return log.isEmpty() ? 0 : log.count(QLatin1Char('\n')) + 1;
}

// A field of /proc/PID/status in KiB: VmRSS now, VmHWM the peak so far.
long long statusKiB(qint64 pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::atoll(line.c_str() + field.size() + 1);
    return -1;
}

bool waitUntil(const std::function<bool()>& condition, int boundMs) {
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
    return true;
}

// Waits until the request count holds still for `quietMs`; answers the count.
long long settledRequests(int quietMs, int boundMs) {
    QElapsedTimer clock;
    clock.start();
    long long last = requests();
    QElapsedTimer still;
    still.start();
    while (still.elapsed() < quietMs && clock.elapsed() < boundMs) {
        QThread::msleep(100);
        const long long now = requests();
        if (now != last) {
            last = now;
            still.restart();
        }
    }
    return last;
}

// The notice as the player broadcasts it, for the track it plays, padded to about `bytes`.
QByteArray playerInfo(const QString& state, size_t bytes) {
    const QStringList fields = state.split(QLatin1Char('\t'));
    PropertyList::Dictionary info{{"Player State", PropertyList("Playing")}};
    if (fields.size() >= 4) {
        info.emplace("PersistentID", PropertyList(static_cast<int64_t>(fields[3].toULongLong(nullptr, 16))));
        info.emplace("Name", PropertyList(fields[1].toStdString()));
        info.emplace("Artist", PropertyList(fields[2].toStdString()));
    }
    info.emplace("Comments", PropertyList(std::string(bytes > 200 ? bytes - 200 : 0, 'c')));
    const Result<PropertyList::Data> data =
        PropertyListSerialization::dataWithPropertyList(PropertyList(info), PropertyListFormat::Binary);
    return data ? QByteArray(reinterpret_cast<const char*>(data.value().data()),
                             static_cast<qsizetype>(data.value().size()))
                : QByteArray();
}

bool quitBeatwick(QProcess& beatwick) {
    QDBusMessage quit = QDBusMessage::createMethodCall("com.orvo.Beatwick", "/com/orvo/Application",
                                                       "com.orvo.Application", "Quit");
    QDBusConnection::sessionBus().call(quit, QDBus::Block, 5000);
    if (beatwick.waitForFinished(10000)) return true;
    beatwick.kill();
    beatwick.waitForFinished(5000);
    return false;
}

int measure(const Burst& burst) {
    QProcess player;
    player.start(QString::fromLatin1(kStandIn), {});
    if (!player.waitForStarted() || !waitUntil([] { return !control({"state"}).isEmpty(); }, 20000)) {
        std::fprintf(stderr, "burst_bench: the stand-in did not start\n");
        return 1;
    }
    control({"play"});
    QProcess beatwick;
    beatwick.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    beatwick.start(QString::fromLatin1(kBeatwick), {});
    if (!beatwick.waitForStarted() || !waitUntil([] { return requests() > 0; }, 30000)) {
        std::fprintf(stderr, "burst_bench: Beatwick asked the player nothing\n");
        player.kill();
        return 1;
    }
    settledRequests(2000, 30000);
    const long long rssBefore = statusKiB(beatwick.processId(), "VmRSS");

    const QByteArray info = playerInfo(control({"state"}), burst.bytes);
    QDBusConnection poster = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "burst-poster");
    QDBusMessage notice = QDBusMessage::createSignal(QString::fromLatin1(kDistributedNotificationsPath),
                                                     QString::fromLatin1(kDistributedNotificationsInterface),
                                                     QStringLiteral("Posted"));
    notice << QStringLiteral("com.apple.iTunes.playerInfo") << QStringLiteral("com.apple.iTunes.player")
           << info;
    const long long requestsBefore = requests();
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= burst.count; ++i) {
        poster.send(notice);
        // The daemon has routed every notice before the answer comes: keeps the poster's own
        // queue short and says when the burst is over.
        if (i % kRoutedEvery == 0 || i == burst.count) SessionBus::askDaemon(poster, "GetId", {});
    }
    const qint64 burstMs = clock.elapsed();
    // Read on time while the requests are counted below.
    std::atomic<long long> rssAfter{-1};
    std::atomic<long long> peak{-1};
    std::thread sampler([&, pid = beatwick.processId()] {
        std::this_thread::sleep_for(std::chrono::seconds(10));
        rssAfter = statusKiB(pid, "VmRSS");
        peak = statusKiB(pid, "VmHWM");
    });

    std::printf("%d notices of %lld bytes in %lld ms; Beatwick's RSS before: %.1f MB\n", burst.count,
                static_cast<long long>(info.size()), static_cast<long long>(burstMs), rssBefore / 1024.0);
    const long long afterBurst = settledRequests(1500, 120000);
    std::printf("  requests while the burst was handled: %lld, settled %.1f s after its end\n",
                afterBurst - requestsBefore, (clock.elapsed() - burstMs - 1500) / 1000.0);
    for (int step = 1; step <= 3; ++step) {
        const long long before = requests();
        QElapsedTimer since;
        since.start();
        control({"next"});
        qint64 firstMs = -1;
        waitUntil(
            [&] {
                if (firstMs < 0 && requests() > before) firstMs = since.elapsed();
                return since.elapsed() >= 5000;
            },
            6000);
        const long long brought = requests() - before;
        if (firstMs >= 0)
            std::printf("  --ctl next %d: %lld requests within 5 s, the first after %lld ms\n", step, brought,
                        static_cast<long long>(firstMs));
        else
            std::printf("  --ctl next %d: no request within 5 s\n", step);
    }
    sampler.join();
    std::printf("  RSS 10 s after the burst: %.1f MB (%+.1f MB); peak so far %.1f MB\n", rssAfter / 1024.0,
                (rssAfter - rssBefore) / 1024.0, peak / 1024.0);

    QDBusConnection::disconnectFromBus("burst-poster");
    quitBeatwick(beatwick);
    control({"quit"});
    if (!player.waitForFinished(10000)) player.kill();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Burst> bursts{{100000, 1024}, {1500, 60 * 1024}};
    if (argc >= 3)
        bursts = {{std::max(1, std::atoi(argv[1])), static_cast<size_t>(std::max(0, std::atoi(argv[2])))}};
    PrivateSessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "burst_bench: no private session bus\n");
        return 1;
    }
    QTemporaryDir home;
    const std::string path = home.path().toStdString();
    usePrivateHome(path, BEATWICK_RESOURCE_DIR, BEATWICK_SOURCE_DIR "/Resources/SampleLibrary");
    QCoreApplication app(argc, argv);
    NSUserDefaults::standardUserDefaults().setBool(false, "CheckForUpdates");
    NSUserDefaults::standardUserDefaults().setBool(false, "StartiTunesOnLaunch");
    for (const Burst& burst : bursts)
        if (const int failed = measure(burst)) return failed;
    return 0;
}
