// Cost per tap of the tap-tempo tracker: every tap walks the whole run for its averages, so the
// cost grows with the run's length.
#include <benchmark/benchmark.h>

#include "Source/BPMTracker.h"
#include "Source/BPMTrackerHost.h"
#include "Source/MetronomeControl.h"

namespace {

class NullHost : public BPMTrackerHost {
public:
    void setBeatNum(int) override {}
    void updateBPM() override {}
    void updateBPMButtons() override {}
    void setCurrentTrackAssigned(bool) override {}
};

class NullMetronome : public MetronomeControl {
public:
    void stopMetronome() override {}
    void scheduleMetronomeStart(double) override {}
    void startMetronome(const MetronomeTimer*) override {}
    bool isPlaying() const override { return false; }
    void resetMetronome() override {}
};

// One run of state.range(0) taps at a steady 120 BPM, from an arming tap.
void BM_TapRun(benchmark::State& state) {
    const int taps = static_cast<int>(state.range(0));
    NullHost host;
    BPMTracker tracker(host, std::make_unique<NullMetronome>());
    for (auto _ : state) {
        tracker.reset();
        uint64_t t = 1'700'000'000'000;
        for (int i = 0; i <= taps; ++i, t += 500) tracker.tap(t);
        benchmark::DoNotOptimize(tracker.displayBPM());
    }
    state.SetItemsProcessed(state.iterations() * taps);
    state.counters["per_tap"] = benchmark::Counter(static_cast<double>(state.iterations() * taps),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_TapRun)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
