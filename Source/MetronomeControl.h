// The metronome operations the tap-tempo tracker uses; the Metronome implements them.
#pragma once

// Main thread only.
class MetronomeControl {
public:
    virtual ~MetronomeControl() = default;

    virtual void stopMetronome() = 0;
    // Starts the metronome by itself after the given delay (seconds); every call moves the start.
    virtual void scheduleMetronomeStart(double seconds) = 0;
    // sender: nullptr for a user command, the start timer when it fires.
    virtual void startMetronome(const void* sender) = 0;
    virtual bool isPlaying() const = 0;
    virtual void resetMetronome() = 0;
};
