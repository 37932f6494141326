// What the main window's settings ask of the application around them: the settings, the player's
// own preferences and the metronome's state. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/Foundation/PropertyList.h"

class MainWindowSettingsHost {
public:
    virtual ~MainWindowSettingsHost() = default;

    virtual bool boolForKey(const std::string& key) = 0;
    virtual std::optional<std::string> stringForKey(const std::string& key) = 0;
    // A value of the player's own preferences ("com.apple.iTunes"), or nullopt.
    virtual std::optional<PropertyList> playerPreference(const std::string& key) = 0;
    virtual bool metronomeIsPlaying() = 0;
};
