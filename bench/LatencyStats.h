// Single-request latencies of a benchmark loop, reported as the run's median and 99th percentile
// ("median_ns", "p99_ns", after a prefix when one is given). Keeps at most about a million samples; later
// requests are timed but not kept.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
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
        mSorted = false;
    }

    bool empty() const { return mSamples.empty(); }
    // Both 0 when nothing was timed.
    double median() { return at(mSamples.size() / 2); }
    double percentile99() { return at(mSamples.size() * 99 / 100); }

    // Sets the counters; none when nothing was timed.
    void report(benchmark::State& state, const std::string& prefix = {}) {
        if (mSamples.empty()) return;
        state.counters[prefix + "median_ns"] = median();
        state.counters[prefix + "p99_ns"] = percentile99();
    }

private:
    double at(size_t index) {
        if (mSamples.empty()) return 0;
        if (!mSorted) std::sort(mSamples.begin(), mSamples.end());
        mSorted = true;
        return mSamples[std::min(mSamples.size() - 1, index)];
    }

    std::vector<double> mSamples;
    bool mSorted{false};
};
