#include "network/TSpeedTracker.h"

#include "platform/Carbon/TickClock.h"

void TSpeedTracker::NextSlot(UInt32 now) {
    if (++fCurrent == kSlotCount) {
        fCurrent = 0;
        fRingFull = true;
    }
    fSlots[fCurrent] = Slot{0, now, now, false};
}

void TSpeedTracker::ReceivedBytes(UInt32 bytes) {
    UInt32 now = TickCount();
    Slot& slot = fSlots[fCurrent];
    if (!slot.used) {
        slot = Slot{0, now, now, true};
    }
    slot.bytes += bytes;
    slot.endTicks = now;
    if (now - slot.startTicks > kSlotTicks) NextSlot(now);
}

void TSpeedTracker::Pause() {
    if (fSlots[fCurrent].used) NextSlot(TickCount());
}

bool TSpeedTracker::NeedUpdate() const {
    bool enough = fRingFull || fCurrent >= 1;
    return enough && TickCount() - fLastDisplay > kDisplayTicks;
}

void TSpeedTracker::UpdatedDisplay() {
    fLastDisplay = TickCount();
}

UInt32 TSpeedTracker::GetSpeed() const {
    UInt64 bytes = 0;
    UInt64 ticks = 0;
    for (const Slot& slot : fSlots) {
        if (!slot.used) continue;
        bytes += slot.bytes;
        ticks += slot.endTicks - slot.startTicks;
    }
    if (ticks == 0) return 0;
    return static_cast<UInt32>(bytes * 60 / ticks);
}
