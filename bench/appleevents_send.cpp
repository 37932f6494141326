// A get-data request through the in-process transport, end to end on the layer: the event is
// built from its template, flattened, read by the receiver, answered, and the reply decoded.
// Reports the median and the 99th percentile of single requests.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "platform/AppleEvents/AEBuild.h"
#include "platform/AppleEvents/AESend.h"
#include "platform/AppleEvents/AppleEvent.h"
#include "platform/AppleEvents/InProcessTransport.h"

namespace {

void GetPropertyRequest(benchmark::State& state) {
    auto transport = std::make_shared<InProcessTransport>();
    transport->addHandler(4242, fourCC("hook"), [](const AppleEvent& event, AppleEvent& reply) {
        AEDesc specifier;
        if (OSErr err = AEGetParamDesc(&event, keyDirectObject, typeObjectSpecifier, &specifier);
            err != noErr)
            return static_cast<OSStatus>(err);
        const SInt32 bpm = 128;
        return static_cast<OSStatus>(AEPutParamPtr(&reply, keyDirectObject, typeSInt32, &bpm, sizeof bpm));
    });
    ScopedAETransport scoped(transport);
    const SInt32 pid = 4242;
    const AEDesc track = AEDesc::makeRecord(typeObjectSpecifier);
    std::vector<double> samples;
    samples.reserve(1 << 20);

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        AppleEvent event;
        AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                          kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                          "'----':obj { form:prop, want:type(prop), seld:type(pBPM), from:@ }", &track);
        AppleEvent reply;
        AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 120);
        SInt32 bpm = 0;
        AEGetParamPtr(&reply, keyDirectObject, typeSInt32, nullptr, &bpm, sizeof bpm, nullptr);
        benchmark::DoNotOptimize(bpm);
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
BENCHMARK(GetPropertyRequest);

}  // namespace

BENCHMARK_MAIN();
