// Sound files for tests: written and read with libsndfile, in a private temporary folder.
#pragma once

#include <sndfile.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace soundfiles {

struct Sound {
    std::vector<float> samples;  // interleaved
    int channels{0};
    int rate{0};
    size_t frames() const { return channels ? samples.size() / channels : 0; }
};

inline bool write(const std::string& path, const std::vector<float>& samples, int channels = 1,
                  int rate = 44100, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    return sf_close(f) == 0;
}

inline Sound read(const std::string& path) {
    Sound sound;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return sound;
    sound.channels = info.channels;
    sound.rate = info.samplerate;
    sound.samples.resize(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, sound.samples.data(), info.frames);
    sf_close(f);
    return sound;
}

// A folder of its own under the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "beatwick-audio-XXXXXX").string();
        mPath = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ec;
        if (!mPath.empty()) std::filesystem::remove_all(mPath, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string file(const std::string& name) const { return mPath + "/" + name; }
    const std::string& path() const { return mPath; }

private:
    std::string mPath;
};

}  // namespace soundfiles
