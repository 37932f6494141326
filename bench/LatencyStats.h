// Single-request latencies of a benchmark loop, reported as the run's median and 99th percentile
// ("median_ns", "p99_ns"). Keeps at most about a million samples; later requests are timed but
// not kept.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

class LatencyStats {
public:
    LatencyStats(const LatencyStats&) = delete;
    LatencyStats& operator=(const LatencyStats&) = delete;

    LatencyStats() { mSamples.reserve(1 << 20); }

    // Runs one request and keeps how long it took.
    template <class Request>
    void time(Request&& request) {
        const auto start = std::chrono::steady_clock::now();
        request();
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        if (mSamples.size() < mSamples.capacity()) mSamples.push_back(took.count());
    }

    // Sets the counters; none when nothing was timed.
    void report(benchmark::State& state) {
        if (mSamples.empty()) return;
        std::sort(mSamples.begin(), mSamples.end());
        state.counters["median_ns"] = mSamples[mSamples.size() / 2];
        state.counters["p99_ns"] = mSamples[std::min(mSamples.size() - 1, mSamples.size() * 99 / 100)];
    }

private:
    std::vector<double> mSamples;
};
