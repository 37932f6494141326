// A get-data request through the in-process transport, end to end on the layer: the event is
// built from its template, flattened, read by the receiver, answered, and the reply decoded.
// Reports the median and the 99th percentile of single requests.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/LatencyStats.h"
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
    LatencyStats latencies;

    for (auto _ : state) {
        latencies.time([&] {
            AppleEvent event;
            AEBuildAppleEvent(kCoreEventClass, kAEGetData, typeKernelProcessID, &pid, sizeof pid,
                              kAutoGenerateReturnID, kAnyTransactionID, &event, nullptr,
                              "'----':obj { form:prop, want:type(prop), seld:type(pBPM), from:@ }", &track);
            AppleEvent reply;
            AESendMessage(&event, &reply, kAEWaitReply | kAENeverInteract, 120);
            SInt32 bpm = 0;
            AEGetParamPtr(&reply, keyDirectObject, typeSInt32, nullptr, &bpm, sizeof bpm, nullptr);
            benchmark::DoNotOptimize(bpm);
        });
        // The log grows with every send; keep it from skewing long runs.
        if (transport->log().size() > 4096) transport->log().clear();
    }
    latencies.report(state);
}
BENCHMARK(GetPropertyRequest);

}  // namespace

BENCHMARK_MAIN();
