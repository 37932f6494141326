// Makes the application's sounds: the metronome's click sounds (short percussive AIFF files in
// the "Sounds" folder) and the quiet "cacophony" that wakes the sound system up when the
// application becomes active. Everything is synthesised, deterministically.
//
//   make_sounds <Sounds folder> <path of cacophony.aiff>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

// A damped partial: frequency in Hz, level, decay time constant in seconds.
struct Partial {
    double frequency;
    double level;
    double decay;
};

// A click: a few damped partials, an optional burst of noise for the strike, a length.
struct Click {
    const char* name;
    std::vector<Partial> partials;
    double noiseLevel;
    double noiseDecay;
    double seconds;
};

const Click kClicks[] = {
    {"Click", {{2200, 0.55, 0.006}, {3700, 0.25, 0.004}}, 0.35, 0.0015, 0.04},
    {"Tick", {{4200, 0.5, 0.003}, {6100, 0.2, 0.002}}, 0.25, 0.001, 0.025},
    {"Woodblock", {{880, 0.6, 0.018}, {2020, 0.3, 0.009}, {3350, 0.12, 0.005}}, 0.2, 0.002, 0.09},
    {"Clave", {{2500, 0.7, 0.025}, {5000, 0.08, 0.01}}, 0.1, 0.001, 0.1},
    {"Rim", {{1650, 0.35, 0.008}, {450, 0.25, 0.012}}, 0.55, 0.004, 0.07},
};

// A small fixed-seed generator, so that the files come out the same on every build.
class Noise {
public:
    double next() {
        mState = mState * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(mState >> 11) / static_cast<double>(1ULL << 53) * 2.0 - 1.0;
    }

private:
    uint64_t mState{0x5eed};
};

std::vector<float> render(const Click& click) {
    Noise noise;
    const int frames = static_cast<int>(click.seconds * kRate);
    const int fadeFrames = kRate / 500;  // 2 ms fade, ending on a silent sample
    std::vector<float> out(frames);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        double v = click.noiseLevel * noise.next() * std::exp(-t / click.noiseDecay);
        for (const Partial& p : click.partials)
            v += p.level * std::sin(2 * kPi * p.frequency * t) * std::exp(-t / p.decay);
        if (i >= frames - fadeFrames) v *= static_cast<double>(frames - 1 - i) / fadeFrames;
        out[i] = static_cast<float>(std::clamp(v, -1.0, 1.0));
    }
    return out;
}

// Very quiet (about -50 dBFS): a jumble of detuned partials and noise, 0.3 s.
std::vector<float> renderCacophony() {
    Noise noise;
    const int frames = kRate * 3 / 10;
    const double partials[] = {311.1, 329.6, 466.2, 493.9, 739.9};
    std::vector<float> out(frames);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double envelope = std::sin(kPi * i / frames);
        double v = 0.5 * noise.next();
        for (double f : partials) v += std::sin(2 * kPi * f * t);
        out[i] = static_cast<float>(0.0032 * envelope * v / 6.0);
    }
    return out;
}

bool writeAiff(const std::string& path, const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "make_sounds: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return false;
    }
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t written = sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    return sf_close(file) == 0 && written == static_cast<sf_count_t>(samples.size());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sounds <Sounds folder> <cacophony.aiff>\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(argv[1], ec);
    std::filesystem::create_directories(std::filesystem::path(argv[2]).parent_path(), ec);
    bool ok = true;
    for (const Click& click : kClicks)
        ok &= writeAiff(std::string(argv[1]) + "/" + click.name + ".aiff", render(click));
    ok &= writeAiff(argv[2], renderCacophony());
    return ok ? 0 : 1;
}
