// A get-data request over the session bus, end to end: built, flattened, carried to a
// player-standin process, answered there, carried back and decoded. Reports the median and
// the 99th percentile of single requests. Run it under dbus-run-session.
#include <benchmark/benchmark.h>
#include <signal.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/LatencyStats.h"
#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/DBusTransport.h"
#include "platform/Foundation/SessionBus.h"

namespace {

void GetPropertyOverBus(benchmark::State& state) {
    const std::optional<BusNameOwner> player =
        SessionBus::ownerOfName(SessionBus::connection(), "com.apple.iTunes");
    if (!player) {
        state.SkipWithError("no player-standin on the bus");
        return;
    }
    ScopedAETransport scoped(std::make_shared<DBusTransport>());
    const SInt32 pid = player->processIdentifier;
    const AEDesc none;
    LatencyStats stats;
    for (auto _ : state) {
        stats.time([&] {
            AppleEvent event;
            AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                              kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                              "'----':obj { form:prop, want:type(prop), seld:type(pVol), from:@ }", &none);
            AppleEvent reply;
            AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 120);
            SInt32 volume = 0;
            AEGetParamPtr(&reply, keyDirectObject, typeSInt32, nullptr, &volume, sizeof volume, nullptr);
            benchmark::DoNotOptimize(volume);
        });
    }
    stats.report(state);
}
BENCHMARK(GetPropertyOverBus);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QProcess player;
    player.start(QStringLiteral(BEATWICK_BINARY_DIR "/player-standin"));
    for (int i = 0; i < 500 && !SessionBus::ownerOfName(SessionBus::connection(), "com.apple.iTunes"); ++i)
        QThread::msleep(10);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    player.terminate();
    player.waitForFinished(5000);
    return 0;
}
