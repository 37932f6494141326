// What the main window's settings ask of the application around them: the settings (its defaults reader), the
// player's own preferences and the metronome's state. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "Source/DefaultsReader.h"
#include "platform/Foundation/PropertyList.h"

class MainWindowSettingsHost : public virtual DefaultsReader {
public:
    virtual ~MainWindowSettingsHost() = default;

    // A value of the player's own preferences ("com.apple.iTunes"), or nullopt.
    virtual std::optional<PropertyList> playerPreference(const std::string& key) = 0;
    virtual bool metronomeIsPlaying() = 0;
};
