// A get-data request over the session bus, end to end: built, flattened, carried to a
// player-standin process, answered there, carried back and decoded; and beside it a bare
// QtDBus call carrying the same bytes to an echo service of this benchmark's own (this
// program started again with --echo-service). The two take turns, so both meet the same load.
// Reports the median and the 99th percentile of single calls of each, the request's as
// multiples of the echo's, and the calls to the bus daemon a request makes besides itself.
// Run it under dbus-run-session.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/LatencyStats.h"
#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AEFlatten.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Foundation/SessionBus.h"

namespace {

constexpr const char* kEchoName = "com.orvo.BusBenchEcho";
constexpr const char* kEchoPath = "/com/orvo/BusBenchEcho";
constexpr const char* kEchoInterface = "com.orvo.BusBenchEcho";

// Answers every call with its own arguments.
class EchoObject : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        return connection.send(message.createReply(message.arguments()));
    }
};

int runEchoService(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    EchoObject echo;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(QString::fromLatin1(kEchoPath), &echo) ||
        !SessionBus::ownName(bus, kEchoName))
        return 1;
    return app.exec();
}

AppleEvent getVolumeEvent(SInt32 pid) {
    AppleEvent event;
    const AEDesc none;
    AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                      kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                      "'----':obj { form:prop, want:type(prop), seld:type(pVol), from:@ }", &none);
    return event;
}

// The last run's figures, printed once all runs are done.
std::string gSummary;

void GetPropertyBesideEcho(benchmark::State& state) {
    QDBusConnection bus = SessionBus::connection();
    const std::optional<BusNameOwner> player = SessionBus::ownerOfName(bus, "com.apple.iTunes");
    if (!player || !SessionBus::ownerOfName(bus, kEchoName)) {
        state.SkipWithError("no player-standin or no echo service on the bus");
        return;
    }
    ScopedAETransport scoped(std::make_shared<DBusTransport>());
    const SInt32 pid = player->processIdentifier;
    const std::vector<uint8_t> flattened =
        AEFlattenEvent(getVolumeEvent(pid), kAEWaitReply | kAENeverInteract, 120);
    const QByteArray bytes(reinterpret_cast<const char*>(flattened.data()),
                           static_cast<qsizetype>(flattened.size()));
    LatencyStats requests;
    LatencyStats echoes;
    uint64_t daemonCalls = 0;
    for (auto _ : state) {
        const uint64_t before = SessionBus::daemonCalls();
        requests.time([&] {
            const AppleEvent event = getVolumeEvent(pid);
            AppleEvent reply;
            AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 120);
            SInt32 volume = 0;
            AEGetParamPtr(&reply, keyDirectObject, typeSInt32, nullptr, &volume, sizeof volume, nullptr);
            benchmark::DoNotOptimize(volume);
        });
        daemonCalls += SessionBus::daemonCalls() - before;
        echoes.time([&] {
            QDBusMessage call =
                QDBusMessage::createMethodCall(QString::fromLatin1(kEchoName), QString::fromLatin1(kEchoPath),
                                               QString::fromLatin1(kEchoInterface), QStringLiteral("Echo"));
            call << bytes;
            const QDBusMessage answer = bus.call(call, QDBus::Block, 2000);
            benchmark::DoNotOptimize(answer.arguments().value(0).toByteArray().size());
        });
    }
    if (requests.empty()) return;
    requests.report(state, "request_");
    echoes.report(state, "echo_");
    state.counters["median_ratio"] = requests.median() / echoes.median();
    state.counters["p99_ratio"] = requests.percentile99() / echoes.percentile99();
    const double perRequest = static_cast<double>(daemonCalls) / static_cast<double>(state.iterations());
    state.counters["daemon_calls"] = perRequest;
    char summary[512];
    std::snprintf(summary, sizeof summary,
                  "request: median %.1f us, p99 %.1f us, %.2f calls to the bus daemon besides\n"
                  "echo:    median %.1f us, p99 %.1f us\n"
                  "request / echo: median %.2f, p99 %.2f\n",
                  requests.median() / 1000, requests.percentile99() / 1000, perRequest,
                  echoes.median() / 1000, echoes.percentile99() / 1000, requests.median() / echoes.median(),
                  requests.percentile99() / echoes.percentile99());
    gSummary = summary;
}
BENCHMARK(GetPropertyBesideEcho);

// Starts a helper and waits (at most five seconds) until it owns its bus name.
bool startOwner(QProcess& process, const QString& program, const QStringList& arguments, const char* name) {
    process.start(program, arguments);
    for (int i = 0; i < 500; ++i) {
        if (SessionBus::ownerOfName(SessionBus::connection(), name)) return true;
        QThread::msleep(10);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--echo-service") == 0) return runEchoService(argc, argv);
    QCoreApplication app(argc, argv);
    QProcess player;
    QProcess echo;
    if (!startOwner(player, QStringLiteral(BEATWICK_BINARY_DIR "/player-standin"), {}, "com.apple.iTunes"))
        std::fprintf(stderr, "bus_bench: no player-standin on the bus\n");
    if (!startOwner(echo, QCoreApplication::applicationFilePath(), {QStringLiteral("--echo-service")},
                    kEchoName))
        std::fprintf(stderr, "bus_bench: the echo service did not start\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::fputs(gSummary.c_str(), stdout);
    for (QProcess* helper : {&player, &echo}) {
        helper->terminate();
        helper->waitForFinished(5000);
    }
    return 0;
}
