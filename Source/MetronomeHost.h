// What the metronome needs of the window and of the run loop: the tempo, the bar length and the
// clicks (its display source), the pendulum, the main thread, the notification centre, the user
// defaults ("AutoStartMetronome", main thread) and a one-shot timer. The main window implements
// it; tests use a recording host.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Source/DefaultsReader.h"
#include "Source/TempoDisplaySource.h"

// A one-shot timer on the main run loop. Destroying the handle cancels the timer.
class MetronomeTimer {
public:
    virtual ~MetronomeTimer() = default;
    // Not yet fired and not cancelled.
    virtual bool isValid() const = 0;
    virtual void setFireDate(double secondsFromNow) = 0;
    virtual void invalidate() = 0;
};

class MetronomeHost : public virtual TempoDisplaySource, public virtual DefaultsReader {
public:
    virtual ~MetronomeHost() = default;

    // Start and stop the pendulum's beat animation. Main thread.
    virtual void animate(double secondsPerBeat) = 0;
    virtual void stopAnimation() = 0;
    // Runs work on the main thread later, without waiting for it. Called from the driver thread.
    virtual void performOnMainThread(std::function<void()> work) = 0;
    // Posts the named notification, object nil, on the default centre. Main thread.
    virtual void postNotification(const std::string& name) = 0;
    // A one-shot timer firing `fire` on the main thread after `seconds`, also while the mouse
    // button is held or a menu is open. Main thread.
    virtual std::unique_ptr<MetronomeTimer> scheduleTimer(double seconds, std::function<void()> fire) = 0;
};
