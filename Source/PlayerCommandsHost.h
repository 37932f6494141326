// What the player commands ask of the window around them: the system beep, the modifier keys of
// the event being handled, the settings (its defaults reader), the rating view, the volume slider and the
// player application itself. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "Source/DefaultsReader.h"
#include "platform/Carbon/MacTypes.h"

class PlayerCommandsHost : public virtual DefaultsReader {
public:
    virtual ~PlayerCommandsHost() = default;

    virtual void beep() = 0;
    // The modifier flags (Cocoa masks) of the event that sent the command.
    virtual UInt32 currentModifierFlags() = 0;

    // The main rating view: whether it offers half stars, and the rating it shows.
    virtual bool ratingViewHasHalfStars() = 0;
    virtual void showRating(SInt32 rating) = 0;
    // The model's side of a rating change.
    virtual void ratingChanged(SInt32 rating) = 0;

    virtual SInt32 volumeSliderValue() = 0;
    virtual void setVolumeSliderValue(SInt32 value) = 0;

    virtual bool playerIsRunning() = 0;
    // Starts the player without waiting for it ("com.apple.iTunes", asynchronous launch).
    virtual void launchPlayer() = 0;
    // Brings the running player forward, ignoring other applications.
    virtual void activatePlayer() = 0;
};
