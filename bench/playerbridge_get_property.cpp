// A track's BPM read through the bridge, end to end: the template is built into an event,
// flattened, read by the receiver, answered, and the reply decoded. Reports the median and the
// 99th percentile of single requests.
#include <benchmark/benchmark.h>

#include <memory>

#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "bench/LatencyStats.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/InProcessTransport.h"

namespace {

void BridgeGetProperty(benchmark::State& state) {
    constexpr SInt32 kPID = 4242;
    auto transport = std::make_shared<InProcessTransport>();
    transport->addHandler(kPID, fourCC("hook"), [](const AppleEvent& event, AppleEvent& reply) {
        AEDesc specifier;
        if (OSErr err = AEGetParamDesc(&event, keyDirectObject, typeObjectSpecifier, &specifier);
            err != noErr)
            return static_cast<OSStatus>(err);
        const SInt32 bpm = 128;
        return static_cast<OSStatus>(AEPutParamPtr(&reply, keyDirectObject, typeSInt32, &bpm, sizeof bpm));
    });
    ScopedAETransport scoped(transport);
    ScopedPlayerProcessLookup lookup([] { return kPID; });
    AEDesc specifier = AEDesc::makeRecord(typeObjectSpecifier);
    const SInt32 id = 77;
    specifier.put(keyAEKeyData, AEDesc::makeData(typeSInt32, &id, sizeof id));
    const auto track = PBTrack::create(std::move(specifier));
    LatencyStats latencies;

    for (auto _ : state) {
        latencies.time([&] { benchmark::DoNotOptimize(track->bpm()); });
        // The log grows with every send; keep it from skewing long runs.
        if (transport->log().size() > 4096) transport->log().clear();
    }
    latencies.report(state);
}
BENCHMARK(BridgeGetProperty);

}  // namespace

BENCHMARK_MAIN();
