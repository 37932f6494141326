#include "platform/Carbon/Delay.h"

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/Carbon/TickClock.h"

namespace {

std::mutex gSleepMutex;
DelaySleep gSleep;

void RealSleep(unsigned long ticks) {
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(ticks) * 1000000 / 60));
}

DelaySleep CurrentSleep() {
    std::lock_guard lock(gSleepMutex);
    return gSleep;
}

}  // namespace

void Delay(unsigned long numTicks, unsigned long* finalTicks) {
    const DelaySleep sleep = CurrentSleep();
    if (sleep)
        sleep(numTicks);
    else
        RealSleep(numTicks);
    if (finalTicks) *finalTicks = TickCount();
}

void SetDelaySleep(DelaySleep sleep) {
    std::lock_guard lock(gSleepMutex);
    gSleep = std::move(sleep);
}

ScopedDelaySleep::ScopedDelaySleep(DelaySleep sleep) : fPrevious(CurrentSleep()) {
    SetDelaySleep(std::move(sleep));
}

ScopedDelaySleep::~ScopedDelaySleep() {
    SetDelaySleep(std::move(fPrevious));
}
