// What the click sounds ask of the application around them: the sound settings (its defaults reader), sounds
// made from the bundle's files, and the tap area, which clicks for each tap and pulses with a click. Main
// thread only, except where a member says otherwise.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Source/DefaultsReader.h"
#include "platform/Carbon/MacTypes.h"

class NSSound;
class UKSound;

class ClickSoundsHost : public virtual DefaultsReader {
public:
    virtual ~ClickSoundsHost() = default;

    // The sound of the file at path, or null when there is none to play.
    virtual std::shared_ptr<UKSound> makeUKSound(const std::string& path) = 0;
    virtual std::shared_ptr<NSSound> makeNSSound(const std::string& path) = 0;

    // Whether the tap area clicks for each tap ("PlayClickOnTap").
    virtual void setTapAreaPlaysClick(bool playClick) = 0;
    // Sends pulseBPM to the tap area.
    virtual void pulse() = 0;
};
