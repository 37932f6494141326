// Time stamps of taps: milliseconds since 1970, from the time of day. The tap area takes its stamps
// from a TapClock, so tests and benchmarks give it one of their own.
#pragma once

#include <cstdint>
#include <functional>

using TapClock = std::function<uint64_t()>;

// seconds × 1000 + microseconds / 1000 of the current time of day.
uint64_t timeOfDayMilliseconds();
