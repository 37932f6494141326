#include "platform/AudioToolbox/DeviceOutput.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>

#include "platform/Carbon/ThreadPriority.h"

namespace {

// ALSA prints each step of a failed device look-up on stderr, eight lines for a machine with no
// card. SDL loads the library by name, so setting its error handler on our own handle of the
// same library reaches SDL's use of it too.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                                  const char* format, ...);
using AlsaSetErrorHandler = int (*)(AlsaErrorHandler);

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

class QuietAlsa {
public:
    QuietAlsa(const QuietAlsa&) = delete;
    QuietAlsa& operator=(const QuietAlsa&) = delete;

    QuietAlsa() : mLibrary(dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL)) {
        if (mLibrary)
            mSetHandler = reinterpret_cast<AlsaSetErrorHandler>(dlsym(mLibrary, "snd_lib_error_set_handler"));
        if (mSetHandler) mSetHandler(&ignoreAlsaError);
    }
    // Back to ALSA's own handler, so the trouble of a device in use still shows.
    ~QuietAlsa() {
        if (mSetHandler) mSetHandler(nullptr);
        if (mLibrary) dlclose(mLibrary);
    }

private:
    void* mLibrary;
    AlsaSetErrorHandler mSetHandler{nullptr};
};

std::string lastSdlError() {
    const char* error = SDL_GetError();
    return error && *error ? error : "no reason given";
}

}  // namespace

std::shared_ptr<DeviceOutput> DeviceOutput::open(std::string* why) {
    const QuietAlsa quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (why) *why = lastSdlError();
        return nullptr;
    }
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
        if (why) *why = lastSdlError();
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
