// What the tap area asks of the main window: the tempo it shows, the bar length and the tap click
// (its display source), the tap itself, and the Assign button's claim on Return and Enter. Main
// thread only.
#pragma once

#include <cstdint>

#include "Source/TempoDisplaySource.h"

struct NSEvent;

class TapViewHost : public virtual TempoDisplaySource {
public:
    virtual ~TapViewHost() = default;

    // The tracker's accuracy (0 before any measurement); the tempo comes from the display source.
    virtual int currentAccuracy() const = 0;
    // Sends pulseBPM back to the tap area.
    virtual void pulse() = 0;
    // One tap, stamped in milliseconds since 1970; passed on to the tracker.
    virtual void processTap(uint64_t milliseconds) = 0;
    // Whether the Assign button is the window's default button.
    virtual bool assignBPMIsDefault() const = 0;
    // Offers a Return or Enter key to the Assign button; true when the button took it.
    virtual bool simulateAssignBPMClick(const NSEvent& event) = 0;
    // A key press that the program posted itself is still to come.
    virtual bool waitingOnSimulatedKeypress() const = 0;
    virtual void setWaitingOnSimulatedKeypress(bool waiting) = 0;
};
