// What the BPM badge asks of the main window to choose its look. Main thread only.
#pragma once

class BPMBadgeViewHost {
public:
    virtual ~BPMBadgeViewHost() = default;

    // Play state is not "no track" and the model has a track.
    virtual bool hasCurrentTrack() const = 0;
    // This program set the current track's BPM during this visit to it.
    virtual bool currentTrackAssigned() const = 0;
    // The assigned-tracks list says this program set the track's stored BPM before.
    virtual bool trackPreviouslyAssigned() const = 0;
};
