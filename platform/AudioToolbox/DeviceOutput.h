// The sound device, through SDL2. It asks for 44.1 kHz stereo float in periods of 256 frames
// and plays in whatever period the device grants (periodFrames()); SDL converts to the
// device's own format. The audio thread is SDL's; it asks for a raised priority. While it looks
// for a device, the ALSA library's own error lines are kept quiet: a missing device is said
// once, by the caller, with SDL's reason.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/AudioToolbox/AudioOutput.h"

class DeviceOutput : public AudioOutput {
public:
    // nullptr when there is no sound device (or SDL cannot open one); then `why`, when given,
    // holds SDL's reason.
    static std::shared_ptr<DeviceOutput> open(std::string* why = nullptr);
    ~DeviceOutput() override;
    // Closes the device: SDL joins its audio thread.
    void stopPlaying() override;

    static constexpr UInt32 kRequestedPeriodFrames = 256;

private:
    DeviceOutput(double sampleRate, UInt32 periodFrames);
    static void fill(void* self, uint8_t* stream, int length);

    uint32_t mDevice{0};
    bool mPriorityAsked{false};
};
