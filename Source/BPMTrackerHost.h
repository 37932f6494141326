// What the tap-tempo tracker asks of the main window, which owns it.
#pragma once

// Implemented by the main window; tests use their own. Main thread only.
class BPMTrackerHost {
public:
    virtual ~BPMTrackerHost() = default;

    // Sets the tap area's beat counter; the tracker always passes 1 (the tap just made is beat 1).
    virtual void setBeatNum(int beat) = 0;
    // Redraws the tempo display from the tracker's displayBPM and accuracy.
    virtual void updateBPM() = 0;
    // Re-evaluates which tempo controls are enabled and whether Assign is the default button.
    virtual void updateBPMButtons() = 0;
    // The tracker passes false: the shown tempo is no longer the one assigned to the track.
    virtual void setCurrentTrackAssigned(bool assigned) = 0;
};
