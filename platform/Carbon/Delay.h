// Delay: waits a number of ticks through a replaceable sleep, so tests never wait on wall time.
#pragma once

#include <functional>

#include "platform/Carbon/MacTypes.h"

// Sleeps `numTicks` sixtieths of a second, then stores TickCount() in `finalTicks` when given.
// May be called from any thread.
void Delay(unsigned long numTicks, unsigned long* finalTicks);

// The sleep behind Delay; it receives the ticks to wait.
using DelaySleep = std::function<void(unsigned long ticks)>;

// Replaces the sleep behind Delay (an empty function restores the real one). Meant for tests,
// before other threads call Delay.
void SetDelaySleep(DelaySleep sleep);

// Installs a sleep for a scope and restores the previous one afterwards.
class ScopedDelaySleep {
public:
    explicit ScopedDelaySleep(DelaySleep sleep);
    ~ScopedDelaySleep();
    ScopedDelaySleep(const ScopedDelaySleep&) = delete;
    ScopedDelaySleep& operator=(const ScopedDelaySleep&) = delete;

private:
    DelaySleep fPrevious;
};
