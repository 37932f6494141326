// A track's BPM read through the bridge, end to end: the template is built into an event,
// flattened, read by the receiver, answered, and the reply decoded. Reports the median and the
// 99th percentile of single requests.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "Source/PlayerBridge/PBTrack.h"
#include "Source/PlayerBridge/PlayerLocator.h"
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
    std::vector<double> samples;
    samples.reserve(1 << 20);

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(track->bpm());
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        if (samples.size() < samples.capacity()) samples.push_back(took.count());
        // The log grows with every send; keep it from skewing long runs.
        if (transport->log().size() > 4096) transport->log().clear();
    }
    if (samples.empty()) return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_ns"] = samples[samples.size() / 2];
    state.counters["p99_ns"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
}
BENCHMARK(BridgeGetProperty);

}  // namespace

BENCHMARK_MAIN();
