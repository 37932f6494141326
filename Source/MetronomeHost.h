// What the metronome needs of its controller and of the run loop: the tempo and bar length, the
// clicks, the pendulum, the main thread, the notification centre, the user defaults and a
// one-shot timer. The Controller implements it; tests use a recording host.
#pragma once

#include <functional>
#include <memory>
#include <string>

// A one-shot timer on the main run loop. Destroying the handle cancels the timer.
class MetronomeTimer {
public:
    virtual ~MetronomeTimer() = default;
    // Not yet fired and not cancelled.
    virtual bool isValid() const = 0;
    virtual void setFireDate(double secondsFromNow) = 0;
    virtual void invalidate() = 0;
};

class MetronomeHost {
public:
    virtual ~MetronomeHost() = default;

    // The tracker's displayed tempo. Called from the main thread and from the driver thread.
    virtual int currentDisplayBPM() = 0;
    // The bar length, the "AlternateBeat" setting. Called from the driver thread.
    virtual long alternateBeat() = 0;
    // Plays the click of that beat of the bar. Called from the main thread (a start's first
    // click) and from the driver thread (every other click); must be safe on both.
    virtual void playMetronomeClickForBeat(long beat) = 0;
    // Start and stop the pendulum's beat animation. Main thread.
    virtual void animate(double secondsPerBeat) = 0;
    virtual void stopAnimation() = 0;
    // Runs work on the main thread later, without waiting for it. Called from the driver thread.
    virtual void performOnMainThread(std::function<void()> work) = 0;
    // Posts the named notification, object nil, on the default centre. Main thread.
    virtual void postNotification(const std::string& name) = 0;
    // A boolean user default ("AutoStartMetronome"). Main thread.
    virtual bool boolForKey(const std::string& key) = 0;
    // A one-shot timer firing `fire` on the main thread after `seconds`, also while the mouse
    // button is held or a menu is open. Main thread.
    virtual std::unique_ptr<MetronomeTimer> scheduleTimer(double seconds, std::function<void()> fire) = 0;
};
