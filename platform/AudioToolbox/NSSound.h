// A sound played whole, on the current output: loaded from a file, or found by name among the
// desktop's sound-theme sounds.
#pragma once

#include <memory>
#include <string>

class AudioFile;
class AudioQueue;
class AudioQueueBuffer;

class NSSound {
public:
    NSSound(const NSSound&) = delete;
    NSSound& operator=(const NSSound&) = delete;
    ~NSSound();

    // nullptr when the file is missing or not a sound. The file is read at once either way;
    // byReference only keeps its path as the sound's name.
    static std::shared_ptr<NSSound> createWithContentsOfFile(const std::string& path, bool byReference);
    // A sound of the sound theme (files named "<name>.oga", ".ogg", ".wav", ".flac", ".aiff"
    // under "sounds" in $XDG_DATA_HOME and $XDG_DATA_DIRS, /usr/share/sounds by default),
    // loaded once and shared while anyone holds it; nullptr when there is none. Any thread.
    static std::shared_ptr<NSSound> soundNamed(const std::string& name);

    // Plays from the start; false while it is already playing. Any thread.
    bool play();
    bool stop();
    bool isPlaying() const;
    void setVolume(float volume);
    float volume() const;
    double duration() const;
    const std::string& name() const { return mName; }

private:
    NSSound() = default;

    std::string mName;
    double mDuration{0};
    std::unique_ptr<AudioQueue> mQueue;
    AudioQueueBuffer* mBuffer{nullptr};
};
