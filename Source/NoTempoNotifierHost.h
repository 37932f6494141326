// What the no-tempo notifier asks of the application around it: the settings (its defaults reader), who is
// active, the tempo state of the new track, and the channels it tells the user through. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "Source/DefaultsReader.h"
#include "platform/Carbon/MacTypes.h"

class NoTempoNotifierHost : public virtual DefaultsReader {
public:
    virtual ~NoTempoNotifierHost() = default;

    // This program is the active application.
    virtual bool applicationIsActive() = 0;
    // The player is the active application.
    virtual bool iTunesIsActive() = 0;
    // "KeepTrack" as it was at launch, and whether this program set the new track's tempo.
    virtual bool keepTrack() const = 0;
    virtual bool trackPreviouslyAssigned() const = 0;
    // The main rating view's half-star rule.
    virtual bool ratingViewHasHalfStars() = 0;

    // Critical repeats until the application is activated; informational asks once.
    virtual void requestUserAttention(bool critical) = 0;
    // Plays the system sound of that name; nothing when there is none.
    virtual void playSystemSound(const std::string& name) = 0;
    // A desktop notification; nothing when the desktop has no notification service.
    virtual void deliverUserNotification(const std::string& title, const std::string& subtitle,
                                         const std::string& informativeText) = 0;
};
