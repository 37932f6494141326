// The tick counter: 1/60 second on the monotonic clock, replaceable so tests run on virtual time.
#pragma once

#include <cstdint>

#include "platform/Carbon/MacTypes.h"

class TickSource {
public:
    virtual ~TickSource() = default;
    virtual UInt32 ticks() const = 0;
};

// A tick source that tests advance by hand.
class ManualTickSource : public TickSource {
public:
    UInt32 ticks() const override { return mTicks; }
    void advance(UInt32 by) { mTicks += by; }
    void set(UInt32 ticks) { mTicks = ticks; }

private:
    UInt32 mTicks{1};
};

// Ticks since an arbitrary start. May be called from any thread.
UInt32 TickCount();

// Replaces the clock behind TickCount (nullptr restores the monotonic clock). The source is
// not owned and must outlive its use; meant for tests, before other threads read the clock.
void SetTickSource(const TickSource* source);

// Restores the previous tick source when it goes out of scope.
class ScopedTickSource {
public:
    explicit ScopedTickSource(const TickSource& source);
    ~ScopedTickSource();
    ScopedTickSource(const ScopedTickSource&) = delete;
    ScopedTickSource& operator=(const ScopedTickSource&) = delete;

private:
    const TickSource* mPrevious;
};
