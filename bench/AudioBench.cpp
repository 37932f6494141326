// Click timing of the metronome as heard: the metronome runs on the wall clock with its real
// driver thread, its clicks play through UKSound into the file output, and each click is found
// in the written samples. Reported per tempo: the error of each click against the ideal grid
// T + n * 60000 / BPM (mean, 99th percentile and maximum of its size, in ms, after taking away
// the output's fixed latency), and the CPU time the driver thread used per second of running.
// BEATWICK_BENCH_SECONDS shortens the 60 s run.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <sndfile.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Source/Metronome.h"
#include "Source/UKSound.h"
#include "platform/AudioToolbox/FileOutput.h"
#include "platform/Carbon/FileReference.h"

namespace {

class BenchHost : public MetronomeHost {
public:
    BenchHost(int bpm, UKSound& sound) : mBPM(bpm), mSound(sound) {}
    int currentDisplayBPM() const override { return mBPM; }
    long alternateBeat() const override { return 4; }
    void playMetronomeClickForBeat(long) override {
        if (!mFirstClick.exchange(true)) mFirstClickTime = Clock::system().now();
        if (std::this_thread::get_id() != mMainThread && !mDriverClockSet.load()) {
            pthread_getcpuclockid(pthread_self(), &mDriverClock);
            mDriverClockSet = true;
        }
        mSound.play();
    }
    void animate(double) override {}
    void stopAnimation() override {}
    void performOnMainThread(std::function<void()>) override {}
    void postNotification(const std::string&) override {}
    bool boolForKey(const std::string&) override { return false; }
    SInt64 integerForKey(const std::string&) override { return 0; }
    std::optional<std::string> stringForKey(const std::string&) override { return std::nullopt; }
    std::unique_ptr<MetronomeTimer> scheduleTimer(double, std::function<void()>) override { return nullptr; }

    double driverCpuSeconds() const {
        if (!mDriverClockSet) return 0;
        timespec ts{};
        clock_gettime(mDriverClock, &ts);
        return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
    }
    SInt64 firstClickTime() const { return mFirstClickTime; }

private:
    const int mBPM;
    UKSound& mSound;
    const std::thread::id mMainThread = std::this_thread::get_id();
    std::atomic<bool> mFirstClick{false};
    std::atomic<SInt64> mFirstClickTime{0};
    std::atomic<bool> mDriverClockSet{false};
    clockid_t mDriverClock{};
};

std::vector<float> readLeft(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> all(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, all.data(), info.frames);
    sf_close(f);
    std::vector<float> left(static_cast<size_t>(info.frames));
    for (size_t i = 0; i < left.size(); ++i) left[i] = all[i * info.channels];
    return left;
}

void ClickTiming(benchmark::State& state) {
    const int bpm = static_cast<int>(state.range(0));
    const char* secondsEnv = std::getenv("BEATWICK_BENCH_SECONDS");
    const double seconds = secondsEnv ? std::atof(secondsEnv) : 60.0;
    const std::string path =
        (std::filesystem::temp_directory_path() / ("beatwick-bench-" + std::to_string(bpm) + ".wav"))
            .string();
    for (auto _ : state) {
        auto output = FileOutput::create(path);
        if (!output) {
            state.SkipWithError("cannot write the file output");
            return;
        }
        auto sound = std::make_unique<UKSound>(
            FileURLFromPath(std::string(BEATWICK_RESOURCE_DIR) + "/Sounds/Click.aiff"),
            UKSound::Context{output, {}, {}});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the warm-up
        BenchHost host(bpm, *sound);
        double cpu = 0;
        {
            Metronome metronome(host);
            metronome.startMetronome(nullptr);
            std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
            cpu = host.driverCpuSeconds();
            metronome.stopMetronome();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        sound.reset();
        output->close();

        const std::vector<float> left = readLeft(path);
        const double beat = 60000.0 / bpm;
        const double origin = std::floor(host.firstClickTime() / 1000.0);  // the grid's start, in ms
        const double latency = output->latencyFrames() * 1000.0 / output->sampleRate();
        std::vector<double> errors;
        size_t silent = 1000;
        for (size_t i = 0; i < left.size(); ++i) {
            if (left[i] == 0.0f) {
                ++silent;
                continue;
            }
            if (silent >= 1000) {
                const double heard = output->timeOfSample(static_cast<SInt64>(i)) / 1000.0 - latency;
                const double n = std::round((heard - origin) / beat);
                errors.push_back(std::abs(heard - (origin + n * beat)));
            }
            silent = 0;
        }
        std::filesystem::remove(path);
        std::filesystem::remove(path + ".periods");
        if (errors.empty()) {
            state.SkipWithError("no clicks found");
            return;
        }
        std::vector<double> sorted = errors;
        std::sort(sorted.begin(), sorted.end());
        double sum = 0;
        for (double e : errors) sum += e;
        state.counters["clicks"] = static_cast<double>(errors.size());
        state.counters["mean_ms"] = sum / errors.size();
        state.counters["p99_ms"] =
            sorted[std::min(sorted.size() - 1, static_cast<size_t>(0.99 * sorted.size()))];
        state.counters["max_ms"] = sorted.back();
        state.counters["driver_cpu_ms_per_s"] = cpu * 1000.0 / seconds;
        state.counters["period_frames"] = output->periodFrames();
    }
}

BENCHMARK(ClickTiming)->Arg(120)->Arg(240)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
