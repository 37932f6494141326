// What the tap-tempo tracker asks of the metronome it owns. All calls on the main thread.
#pragma once

class MetronomeTimer;

class MetronomeControl {
public:
    virtual ~MetronomeControl() = default;

    virtual void stopMetronome() = 0;
    // Starts the metronome by itself after the given seconds, when auto-start is on.
    virtual void scheduleMetronomeStart(double seconds) = 0;
    // sender: nullptr for a user command, the start timer when it fires.
    virtual void startMetronome(const MetronomeTimer* sender) = 0;
    virtual bool isPlaying() const = 0;
    virtual void resetMetronome() = 0;
};
