// A display speed in bytes per second over a ring of six slots of received bytes, each at most
// half a second (30 ticks) long. Times are TickCount ticks. One thread at a time.
#pragma once

#include <array>

#include "platform/Carbon/MacTypes.h"

class TSpeedTracker {
public:
    static constexpr int kSlotCount = 6;
    static constexpr UInt32 kSlotTicks = 30;
    static constexpr UInt32 kDisplayTicks = 30;

    void ReceivedBytes(UInt32 bytes);
    // Closes the current slot so the pause is not counted.
    void Pause();
    bool NeedUpdate() const;
    void UpdatedDisplay();
    // Bytes per second; 0 without time.
    UInt32 GetSpeed() const;

private:
    struct Slot {
        UInt64 bytes{0};
        UInt32 startTicks{0};
        UInt32 endTicks{0};
        bool used{false};
    };

    void NextSlot(UInt32 now);

    std::array<Slot, kSlotCount> fSlots{};
    int fCurrent{0};
    bool fRingFull{false};
    UInt32 fLastDisplay{0};
};
