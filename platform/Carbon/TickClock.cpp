#include "platform/Carbon/TickClock.h"

#include <atomic>
#include <chrono>

namespace {

std::atomic<const TickSource*> sSource{nullptr};

UInt32 monotonicTicks() {
    using namespace std::chrono;
    auto since = steady_clock::now().time_since_epoch();
    return static_cast<UInt32>(duration_cast<microseconds>(since).count() * 60 / 1000000);
}

}  // namespace

UInt32 TickCount() {
    const TickSource* source = sSource.load(std::memory_order_acquire);
    return source ? source->ticks() : monotonicTicks();
}

void SetTickSource(const TickSource* source) { sSource.store(source, std::memory_order_release); }

ScopedTickSource::ScopedTickSource(const TickSource& source) : mPrevious(sSource.exchange(&source)) {}

ScopedTickSource::~ScopedTickSource() { sSource.store(mPrevious); }
