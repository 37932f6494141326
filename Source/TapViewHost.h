// What the tap area asks of the controller: the tempo it shows, the bar length, the tap click, the
// tap itself, and the Assign button's claim on Return and Enter. Main thread only.
#pragma once

#include <cstdint>

struct NSEvent;

class TapViewHost {
public:
    virtual ~TapViewHost() = default;

    // The tracker's displayed BPM and accuracy (0 and 0 before any measurement).
    virtual int currentDisplayBPM() const = 0;
    virtual int currentAccuracy() const = 0;
    // The bar length ("AlternateBeat").
    virtual long alternateBeat() const = 0;
    // Plays the tap click, accented when the beat is the bar's last.
    virtual void playMetronomeClickForBeat(long beat) = 0;
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
