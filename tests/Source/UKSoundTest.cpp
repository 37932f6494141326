#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Source/SystemControllerEnvironment.h"
#include "Source/UKSound.h"
#include "platform/AudioToolbox/AudioFile.h"
#include "platform/AudioToolbox/AudioOutput.h"
#include "platform/AudioToolbox/FileOutput.h"
#include "platform/Carbon/FileReference.h"
#include "tests/platform/AudioToolbox/SoundFiles.h"

namespace {

constexpr SInt64 kMs = 1000;

// Sounds playing on virtual time into a WAV file, with what they post and log.
class Sounds : public ::testing::Test {
protected:
    void SetUp() override {
        output = FileOutput::create(folder.file("out.wav"), clock);
        ASSERT_TRUE(output);
    }
    UKSound::Context context() {
        return {output, [this](const std::string& n) { posted.push_back(n); },
                [this](const std::string& m) { logged.push_back(m); }};
    }
    std::string soundFile(const std::string& name, const std::vector<float>& samples) {
        const std::string path = folder.file(name);
        soundfiles::write(path, samples);
        return FileURLFromPath(path);
    }
    soundfiles::Sound finish() {
        output->close();
        return soundfiles::read(output->path());
    }
    static size_t firstSounding(const soundfiles::Sound& s, size_t from = 0) {
        while (from < s.frames() && s.samples[from * 2] == 0.0f) ++from;
        return from;
    }

    VirtualClock clock;
    soundfiles::TempFolder folder;
    std::shared_ptr<FileOutput> output;
    std::vector<std::string> posted, logged;
};

TEST_F(Sounds, FileThatCannotBeReadLeavesTheSoundSilentAndReportsNothing) {
    std::ofstream(folder.file("words.aiff")) << "these are words, not sound";
    std::filesystem::create_directory(folder.file("folder.aiff"));
    struct Case {
        const char* name;
        std::string url;
    };
    const Case cases[] = {
        {"missing", FileURLFromPath(folder.file("absent.aiff"))},
        {"not a sound", FileURLFromPath(folder.file("words.aiff"))},
        {"a folder", FileURLFromPath(folder.file("folder.aiff"))},
        {"not a file URL", "http://example.com/Click.aiff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        logged.clear();
        UKSound sound(c.url, context());
        EXPECT_FALSE(sound.isLoaded());
        EXPECT_NE(sound.play(), noErr);
        EXPECT_FALSE(sound.isPlaying());
        sound.prepNextPlay();
        EXPECT_EQ(logged.front(), "Couldn't open AudioFile.");
    }
    EXPECT_TRUE(posted.empty()) << "a bad file is not a failing audio queue";
    clock.sleepFor(50 * kMs);
    auto written = finish();
    EXPECT_EQ(firstSounding(written), written.frames());
}

TEST_F(Sounds, WarmUpIsSilentAndEveryPlayIsHeardWholeFromItsStart) {
    UKSound sound(soundFile("blip.wav", std::vector<float>(300, 0.5f)), context());
    ASSERT_TRUE(sound.isLoaded());
    EXPECT_TRUE(sound.isPlaying()) << "warming up";
    clock.sleepFor(50 * kMs);
    EXPECT_FALSE(sound.isPlaying()) << "a sound within one buffer stops after it has played";
    std::vector<SInt64> starts;
    for (int i = 0; i < 2; ++i) {
        starts.push_back(clock.now());
        EXPECT_EQ(sound.play(), noErr);
        clock.sleepFor(100 * kMs + 1234);
    }
    EXPECT_TRUE(posted.empty());
    EXPECT_TRUE(logged.empty());
    auto written = finish();
    size_t at = 0;
    for (SInt64 start : starts) {
        at = firstSounding(written, at);
        ASSERT_LT(at + 300, written.frames());
        EXPECT_NEAR(static_cast<double>(output->timeOfSample(at) - start),
                    output->latencyFrames() * 1e6 / 44100, 23.0);
        for (size_t i = 0; i < 300; ++i) ASSERT_EQ(written.samples[(at + i) * 2], 0.5f) << "frame " << i;
        EXPECT_EQ(written.samples[(at + 300) * 2], 0.0f);
        at += 300;
    }
    EXPECT_EQ(firstSounding(written, at), written.frames());
}

// The controller hands its sounds over as paths; characters a URL must escape, and an escape
// that is a real part of a folder's name, still name the file.
TEST_F(Sounds, EnvironmentLoadsAndPlaysSoundsWhosePathNeedsEscaping) {
    const std::string folderName = folder.file("50% off a%20b");
    std::filesystem::create_directory(folderName);
    const std::string path = folderName + "/Click sound.wav";
    soundfiles::write(path, std::vector<float>(300, 0.5f));
    AudioOutput::setCurrent(output);
    SystemControllerEnvironment environment;
    std::shared_ptr<UKSound> sound = environment.makeUKSound(path);
    ASSERT_TRUE(sound);
    EXPECT_TRUE(sound->isLoaded());
    clock.sleepFor(50 * kMs);
    EXPECT_EQ(sound->play(), noErr);
    clock.sleepFor(50 * kMs);
    sound.reset();
    AudioOutput::setCurrent(nullptr);
    auto written = finish();
    EXPECT_LT(firstSounding(written), written.frames()) << "the click was heard";
}

TEST_F(Sounds, LongSoundIsRefilledAndARestartCutsInFromTheFirstPacket) {
    std::vector<float> ramp(40000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<float>(i + 1) / 65536.0f;
    UKSound sound(soundFile("long.wav", ramp), context());
    clock.sleepFor(1000 * kMs);
    sound.play();
    clock.sleepFor(500 * kMs);  // 22050 frames: past the first 16384-frame buffer
    sound.play();
    clock.sleepFor(1000 * kMs);
    EXPECT_FALSE(sound.isPlaying());
    auto written = finish();
    const size_t first = firstSounding(written);
    size_t restart = first + 1;
    while (restart < written.frames() && written.samples[restart * 2] != ramp[0]) ++restart;
    EXPECT_EQ(restart - first, 22050u) << "each play starts one latency after its call";
    // The first play runs on through its refills until the stop, at most a period before the restart.
    for (size_t i = 0; i < 22050 - output->periodFrames(); ++i)
        ASSERT_EQ(written.samples[(first + i) * 2], ramp[i]) << "frame " << i;
    ASSERT_LT(restart + ramp.size(), written.frames());
    for (size_t i = 0; i < ramp.size(); ++i)
        ASSERT_EQ(written.samples[(restart + i) * 2], ramp[i]) << "frame " << i;
    EXPECT_EQ(firstSounding(written, restart + ramp.size()), written.frames());
}

// Taps on the main thread and clicks on the driver thread play the same sound while the audio
// thread refills it; every play starts cleanly.
TEST_F(Sounds, PlaysFromTwoThreadsAtOnce) {
    std::vector<float> samples(20000, 0.25f);
    UKSound sound(soundFile("shared.wav", samples), context());
    auto player = [&](SInt64 step, std::vector<OSStatus>& results) {
        ClockThreadToken token(clock);
        return std::thread([&, step, token = std::move(token)]() mutable {
            for (int i = 0; i < 100; ++i) {
                results.push_back(sound.play());
                clock.sleepFor(step);
            }
            token.leave();
        });
    };
    std::vector<OSStatus> a, b;
    std::thread first = player(7 * kMs, a), second = player(11 * kMs + 300, b);
    clock.sleepFor(2000 * kMs);
    first.join();
    second.join();
    EXPECT_EQ(std::count(a.begin(), a.end(), noErr), 100);
    EXPECT_EQ(std::count(b.begin(), b.end(), noErr), 100);
    EXPECT_TRUE(logged.empty());
}

TEST(ClickSounds, AreShortPercussiveAndTheCacophonyIsQuiet) {
    const std::filesystem::path resources(BEATWICK_RESOURCE_DIR);
    int clicks = 0;
    for (const auto& entry : std::filesystem::directory_iterator(resources / "Sounds")) {
        if (entry.path().extension() != ".aiff") continue;
        ++clicks;
        SCOPED_TRACE(entry.path().filename().string());
        std::unique_ptr<AudioFile> file;
        ASSERT_EQ(AudioFile::open(entry.path().string(), file), noErr);
        EXPECT_LE(file->duration(), 0.15);
        const auto sound = soundfiles::read(entry.path().string());
        float peak = 0, early = 0;
        for (size_t i = 0; i < sound.frames(); ++i) {
            peak = std::max(peak, std::abs(sound.samples[i]));
            if (i < 5 * 44100 / 1000) early = std::max(early, std::abs(sound.samples[i]));
        }
        EXPECT_GE(peak, 0.3f);
        EXPECT_EQ(early, peak) << "the loudest moment is the strike, within 5 ms";
        EXPECT_EQ(sound.samples.back(), 0.0f) << "ends in silence";
    }
    EXPECT_GE(clicks, 3);
    const auto cacophony = soundfiles::read((resources / "cacophony.aiff").string());
    ASSERT_GT(cacophony.frames(), 0u);
    float peak = 0;
    for (float v : cacophony.samples) peak = std::max(peak, std::abs(v));
    EXPECT_GT(peak, 0.0f);
    EXPECT_LT(peak, 0.01f);
}

}  // namespace
