// Tap-to-display latency: from a key press reaching the tap area to the new BPM painted on screen
// (the offscreen platform's backing store), through a controller stand-in that updates the shown
// value on every tap, as the real one does through the tracker. Reports the median and the 99th
// percentile of the per-tap latency.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "Source/TapView.h"
#include "Source/TapViewHost.h"
#include "platform/AppKit/Window.h"

namespace {

// A tap area that remembers the BPM it last painted.
class MeasuredTapView : public TapView {
public:
    using TapView::TapView;
    void drawRect(const NSRect& dirtyRect) override {
        TapView::drawRect(dirtyRect);
        paintedBPM = shownBPM ? *shownBPM : 0;
    }
    const int* shownBPM{nullptr};
    int paintedBPM{-1};
};

// Each tap moves the displayed tempo and asks the tap area to redraw, as the controller does.
class UpdatingHost : public TapViewHost {
public:
    int currentDisplayBPM() const override { return bpm; }
    int currentAccuracy() const override { return bpm ? 100 : 0; }
    long alternateBeat() const override { return 4; }
    void playMetronomeClickForBeat(long) override {}
    void pulse() override {}
    void processTap(uint64_t) override {
        bpm = bpm >= 200 ? 60 : bpm + 1;
        view->updateBPM();
    }
    bool assignBPMIsDefault() const override { return false; }
    bool simulateAssignBPMClick(const NSEvent&) override { return false; }
    bool waitingOnSimulatedKeypress() const override { return false; }
    void setWaitingOnSimulatedKeypress(bool) override {}

    int bpm{120};
    TapView* view{nullptr};
};

QApplication& application() {
    static int argc = 1;
    static char name[] = "bench_tap_latency";
    static char* argv[] = {name, nullptr};
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("BEATWICK_RESOURCE_DIR", BEATWICK_RESOURCE_DIR, 0);
    static QApplication app(argc, argv);
    return app;
}

double percentile(std::vector<double> samples, double p) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    const size_t index = std::min(samples.size() - 1, static_cast<size_t>(p * (samples.size() - 1) + 0.5));
    return samples[index];
}

void BM_KeyTapToPaintedBPM(benchmark::State& state) {
    application();
    Window window(NSMakeSize(420, 260));
    auto* view = new MeasuredTapView(NSMakeRect(0, 0, 420, 260), window.contentView());
    UpdatingHost host;
    host.view = view;
    view->shownBPM = &host.bpm;
    view->setController(&host);
    uint64_t stamp = 1'700'000'000'000;
    view->setClock([&stamp] { return stamp += 250; });
    view->awakeFromNib();
    window.show();
    window.makeFirstResponder(view);
    QApplication::processEvents();

    std::vector<double> micros;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
        QApplication::sendEvent(view, &press);
        while (view->paintedBPM != host.bpm) QApplication::processEvents();
        const auto end = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        micros.push_back(seconds * 1e6);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
        QApplication::sendEvent(view, &release);
    }
    state.counters["median_us"] = percentile(micros, 0.5);
    state.counters["p99_us"] = percentile(micros, 0.99);
}
BENCHMARK(BM_KeyTapToPaintedBPM)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
