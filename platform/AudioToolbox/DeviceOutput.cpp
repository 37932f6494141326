#include "platform/AudioToolbox/DeviceOutput.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>

#include "platform/Carbon/ThreadPriority.h"

std::shared_ptr<DeviceOutput> DeviceOutput::open() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    std::shared_ptr<DeviceOutput> output(new DeviceOutput(44100.0, kRequestedPeriodFrames));
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kRequestedPeriodFrames;
    want.callback = &DeviceOutput::fill;
    want.userdata = output.get();
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(
        nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_SAMPLES_CHANGE);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    output->mDevice = device;
    output->setSampleRate(have.freq);
    output->setPeriodFrames(have.samples);
    if (have.samples != kRequestedPeriodFrames)
        std::fprintf(stderr, "Beatwick: the sound device plays in periods of %u frames.\n",
                     unsigned{have.samples});
    SDL_PauseAudioDevice(device, 0);
    return output;
}

DeviceOutput::DeviceOutput(double sampleRate, UInt32 periodFrames)
    : AudioOutput(Clock::system(), sampleRate, periodFrames) {}

DeviceOutput::~DeviceOutput() {
    stopPlaying();
}

void DeviceOutput::stopPlaying() {
    if (mDevice == 0) return;
    SDL_CloseAudioDevice(mDevice);  // waits for a callback in progress
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    mDevice = 0;
}

void DeviceOutput::fill(void* self, uint8_t* stream, int length) {
    auto* output = static_cast<DeviceOutput*>(self);
    if (!output->mPriorityAsked) {
        output->mPriorityAsked = true;
        RaiseCurrentThreadPriority(1.0);
    }
    auto* out = reinterpret_cast<float*>(stream);
    const UInt32 frames = static_cast<UInt32>(length) / (2 * sizeof(float));
    output->renderPeriod(out, frames, output->clock().now());
    for (UInt32 i = 0; i < frames * 2; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}
