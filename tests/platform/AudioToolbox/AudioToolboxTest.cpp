#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <QtGlobal>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/AudioToolbox/AudioFile.h"
#include "platform/AudioToolbox/AudioQueue.h"
#include "platform/AudioToolbox/ClockedOutput.h"
#include "platform/AudioToolbox/FileOutput.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Carbon/FileReference.h"
#include "tests/platform/AudioToolbox/SoundFiles.h"

namespace {

constexpr double kRate = 44100.0;
constexpr SInt64 kSampleMicros = 23;  // a little more than one sample at 44.1 kHz

// A queue holding one buffer of a steady level, set to stop once it has played.
struct Tone {
    std::unique_ptr<AudioQueue> queue;
    AudioQueueBuffer* buffer{nullptr};
};

Tone makeTone(std::shared_ptr<AudioOutput> output, float level, UInt32 frames) {
    Tone tone;
    EXPECT_EQ(AudioQueue::newOutput(FloatStreamDescription(kRate, 1), {}, tone.queue, output), noErr);
    EXPECT_EQ(tone.queue->allocateBuffer(frames * 4, tone.buffer), noErr);
    auto* data = static_cast<float*>(tone.buffer->mAudioData);
    for (UInt32 i = 0; i < frames; ++i) data[i] = level;
    tone.buffer->mAudioDataByteSize = frames * 4;
    EXPECT_EQ(tone.queue->enqueueBuffer(tone.buffer), noErr);
    tone.queue->stop(false);
    return tone;
}

size_t firstSounding(const soundfiles::Sound& sound, size_t from = 0) {
    for (size_t i = from; i < sound.frames(); ++i)
        if (sound.samples[i * 2] != 0.0f) return i;
    return sound.frames();
}

// Playback on virtual time into a WAV file: the output's thread and the test's run in step.
class Playback : public ::testing::Test {
protected:
    std::shared_ptr<FileOutput> newOutput(const std::string& name) {
        auto output = FileOutput::create(folder.file(name), clock);
        EXPECT_TRUE(output);
        return output;
    }
    soundfiles::Sound finish(const std::shared_ptr<FileOutput>& output) {
        output->close();
        return soundfiles::read(output->path());
    }
    SInt64 periodMicros(double periods) const { return static_cast<SInt64>(periods * 256 * 1e6 / kRate); }

    VirtualClock clock;
    soundfiles::TempFolder folder;
};

TEST_F(Playback, QueueStartedBetweenPeriodsSoundsOneLatencyAfterItsStart) {
    struct Case {
        const char* name;
        double phase;  // where in a period the start falls
    };
    const Case cases[] = {{"on a period's start", 0.0},
                          {"a quarter in", 0.25},
                          {"mid-period", 0.5},
                          {"just before the next period", 0.999}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto output = newOutput(std::string("phase") + std::to_string(c.phase) + ".wav");
        const SInt64 latency = std::llround(output->latencyFrames() * 1e6 / kRate);
        Tone tone = makeTone(output, 0.5f, 64);
        const SInt64 startAt = clock.now() + periodMicros(10 + c.phase);
        clock.sleepUntil(startAt);
        ASSERT_EQ(tone.queue->start(), noErr);
        clock.sleepFor(periodMicros(4));
        auto sound = finish(output);
        const size_t first = firstSounding(sound);
        ASSERT_LT(first, sound.frames());
        EXPECT_NEAR(static_cast<double>(output->timeOfSample(first) - startAt), static_cast<double>(latency),
                    kSampleMicros);
        EXPECT_EQ(firstSounding(sound, first + 64), sound.frames()) << "the tone lasts its 64 frames";
    }
}

TEST_F(Playback, SoundsPlayedTogetherComeOutSummed) {
    auto output = newOutput("sum.wav");
    Tone longer = makeTone(output, 0.25f, 1000);
    Tone shorter = makeTone(output, 0.5f, 400);
    clock.sleepFor(periodMicros(3.3));
    longer.queue->start();
    shorter.queue->start();
    clock.sleepFor(periodMicros(8));
    EXPECT_FALSE(longer.queue->isRunning()) << "stops once its buffer has played";
    auto sound = finish(output);
    const size_t first = firstSounding(sound);
    ASSERT_LT(first + 1000, sound.frames());
    for (size_t i = first; i < first + 1000; ++i) {
        const float expected = i < first + 400 ? 0.75f : 0.25f;
        ASSERT_FLOAT_EQ(sound.samples[i * 2], expected) << "frame " << i - first;
        ASSERT_FLOAT_EQ(sound.samples[i * 2 + 1], expected) << "right, frame " << i - first;
    }
    EXPECT_EQ(firstSounding(sound, first + 1000), sound.frames());
}

TEST_F(Playback, CallbackRefillsBuffersWithoutGapsAndStopsAfterDraining) {
    auto output = newOutput("refill.wav");
    constexpr UInt32 kBlock = 100, kBlocks = 10;
    UInt32 filled = 0;
    auto fill = [&](AudioQueue& queue, AudioQueueBuffer& buffer) {
        if (filled == kBlocks) {
            queue.stop(false);
            return;
        }
        auto* data = static_cast<float*>(buffer.mAudioData);
        for (UInt32 i = 0; i < kBlock; ++i) data[i] = static_cast<float>(filled * kBlock + i + 1) / 4096.0f;
        buffer.mAudioDataByteSize = kBlock * 4;
        ++filled;
        EXPECT_EQ(queue.enqueueBuffer(&buffer), noErr);
    };
    std::unique_ptr<AudioQueue> queue;
    ASSERT_EQ(AudioQueue::newOutput(FloatStreamDescription(kRate, 1), fill, queue, output), noErr);
    std::vector<bool> runningSeen;
    AudioQueue::ListenerToken token;
    ASSERT_EQ(queue->addRunningListener([&](AudioQueue& q) { runningSeen.push_back(q.isRunning()); }, token),
              noErr);
    for (int i = 0; i < 2; ++i) {
        AudioQueueBuffer* buffer;
        ASSERT_EQ(queue->allocateBuffer(kBlock * 4, buffer), noErr);
        fill(*queue, *buffer);
    }
    queue->start();
    clock.sleepFor(periodMicros(10));
    EXPECT_EQ(runningSeen, (std::vector<bool>{true, false}));
    auto sound = finish(output);
    const size_t first = firstSounding(sound);
    ASSERT_LT(first + kBlock * kBlocks, sound.frames());
    for (UInt32 i = 0; i < kBlock * kBlocks; ++i)
        ASSERT_FLOAT_EQ(sound.samples[(first + i) * 2], static_cast<float>(i + 1) / 4096.0f) << "frame " << i;
    EXPECT_EQ(firstSounding(sound, first + kBlock * kBlocks), sound.frames());
}

TEST_F(Playback, FormatsAndVolumeAreAppliedOnPlay) {
    struct Case {
        const char* name;
        double rate;
        bool int16;
        float volume;
        size_t frames;  // output frames from 100 input frames
        float level;    // output level of input level 0.5
    };
    const Case cases[] = {
        {"float at the output's rate", kRate, false, 1.0f, 100, 0.5f},
        {"16-bit integers", kRate, true, 1.0f, 100, 0.5f},
        {"half the output's rate", kRate / 2, false, 1.0f, 200, 0.5f},
        {"half volume", kRate, false, 0.5f, 100, 0.25f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto output = newOutput(std::string(c.name) + ".wav");
        AudioStreamDescription format = FloatStreamDescription(c.rate, 1);
        if (c.int16) {
            format.mFormatFlags = kAudioFormatFlagSignedInteger | kAudioFormatFlagPacked;
            format.mBitsPerChannel = 16;
            format.mBytesPerFrame = format.mBytesPerPacket = 2;
        }
        std::unique_ptr<AudioQueue> queue;
        ASSERT_EQ(AudioQueue::newOutput(format, {}, queue, output), noErr);
        AudioQueueBuffer* buffer;
        ASSERT_EQ(queue->allocateBuffer(400, buffer), noErr);
        for (UInt32 i = 0; i < 100; ++i) {
            if (c.int16)
                static_cast<SInt16*>(buffer->mAudioData)[i] = 16384;
            else
                static_cast<float*>(buffer->mAudioData)[i] = 0.5f;
        }
        buffer->mAudioDataByteSize = 100 * format.mBytesPerFrame;
        ASSERT_EQ(queue->enqueueBuffer(buffer), noErr);
        queue->setVolume(c.volume);
        queue->stop(false);
        queue->start();
        clock.sleepFor(periodMicros(4));
        auto sound = finish(output);
        const size_t first = firstSounding(sound);
        ASSERT_LT(first + c.frames, sound.frames());
        EXPECT_FLOAT_EQ(sound.samples[first * 2], c.level);
        EXPECT_FLOAT_EQ(sound.samples[(first + c.frames - 1) * 2 + 1], c.level);
        EXPECT_EQ(firstSounding(sound, first + c.frames), sound.frames());
    }
}

TEST_F(Playback, QueuesRefuseWhatTheyCannotPlay) {
    auto output = newOutput("refuse.wav");
    auto withFlags = [](AudioFormatFlags flags, UInt32 bits) {
        AudioStreamDescription f = FloatStreamDescription(kRate, 2);
        f.mFormatFlags = flags;
        f.mBitsPerChannel = bits;
        f.mBytesPerFrame = f.mBytesPerPacket = 2 * bits / 8;
        return f;
    };
    struct FormatCase {
        const char* name;
        AudioStreamDescription format;
    };
    AudioStreamDescription notPCM = FloatStreamDescription(kRate, 2),
                           noChannels = FloatStreamDescription(kRate, 0),
                           noRate = FloatStreamDescription(0, 2);
    notPCM.mFormatID = fourCC("aac ");
    const FormatCase formats[] = {
        {"not linear PCM", notPCM},
        {"no channels", noChannels},
        {"no rate", noRate},
        {"big-endian", withFlags(kAudioFormatFlagSignedInteger | kAudioFormatFlagBigEndian, 16)},
        {"24-bit", withFlags(kAudioFormatFlagSignedInteger, 24)},
    };
    for (const FormatCase& c : formats) {
        std::unique_ptr<AudioQueue> queue;
        EXPECT_EQ(AudioQueue::newOutput(c.format, {}, queue, output), kAudioQueueFormatErr) << c.name;
        EXPECT_FALSE(queue) << c.name;
    }

    Tone tone = makeTone(output, 0.5f, 10);
    Tone other = makeTone(output, 0.5f, 10);
    AudioQueueBuffer* empty;
    ASSERT_EQ(tone.queue->allocateBuffer(64, empty), noErr);
    struct BufferCase {
        const char* name;
        AudioQueueBuffer* buffer;
        OSStatus expected;
    };
    const BufferCase buffers[] = {
        {"already enqueued", tone.buffer, kAudioQueueBufferBusyErr},
        {"another queue's", other.buffer, kAudioQueueBufferErr},
        {"none", nullptr, kAudioQueueBufferErr},
        {"empty", empty, kAudioQueueBufferEmptyErr},
    };
    for (const BufferCase& c : buffers) EXPECT_EQ(tone.queue->enqueueBuffer(c.buffer), c.expected) << c.name;
    EXPECT_EQ(tone.queue->stop(true), noErr);
    EXPECT_EQ(tone.queue->enqueueBuffer(tone.buffer), noErr) << "an immediate stop hands the buffers back";
    EXPECT_EQ(tone.queue->setVolume(1.5f), paramErr);
}

TEST(AudioFile, FailuresGiveAStatusAndNoFile) {
    soundfiles::TempFolder folder;
    std::ofstream(folder.file("notes.txt")) << "not a sound at all, just some words in a file";
    std::filesystem::create_directory(folder.file("folder.aiff"));
    soundfiles::write(folder.file("locked.wav"), {0.1f, 0.2f});
    chmod(folder.file("locked.wav").c_str(), 0);
    struct Case {
        const char* name;
        std::string path;
        OSStatus expected;
    };
    std::vector<Case> cases = {
        {"missing", folder.file("absent.aiff"), fnfErr},
        {"empty path", "", fnfErr},
        {"text", folder.file("notes.txt"), kAudioFileNotAudioErr},
        {"a folder", folder.file("folder.aiff"), kAudioFileNotAudioErr},
    };
    if (geteuid() != 0) cases.push_back({"unreadable", folder.file("locked.wav"), permErr});
    for (const Case& c : cases) {
        std::unique_ptr<AudioFile> file;
        EXPECT_EQ(AudioFile::open(c.path, file), c.expected) << c.name;
        EXPECT_FALSE(file) << c.name;
    }
    std::unique_ptr<AudioFile> file;
    EXPECT_EQ(AudioFile::openURL("http://example.com/a.aiff", file), paramErr);
}

TEST(AudioFile, ReadsPacketsOfFloatFramesUpToTheEnd) {
    soundfiles::TempFolder folder;
    std::vector<float> samples;
    for (int i = 0; i < 200; ++i) samples.push_back(static_cast<float>(i) / 256.0f);
    const std::string path = folder.file("ramp.aiff");
    ASSERT_TRUE(soundfiles::write(path, samples, 2, 22050, SF_FORMAT_AIFF | SF_FORMAT_FLOAT));
    std::unique_ptr<AudioFile> file;
    ASSERT_EQ(AudioFile::openURL(FileURLFromPath(path), file), noErr);
    AudioStreamDescription format;
    ASSERT_EQ(file->dataFormat(format), noErr);
    EXPECT_EQ(format.mSampleRate, 22050);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);
    EXPECT_EQ(format.mBytesPerPacket, 8u);
    EXPECT_EQ(format.mFramesPerPacket, 1u);
    UInt32 bound = 0;
    EXPECT_EQ(file->packetSizeUpperBound(bound), noErr);
    EXPECT_EQ(bound, 8u);
    std::vector<UInt8> cookie{1};
    EXPECT_EQ(file->magicCookie(cookie), noErr);
    EXPECT_TRUE(cookie.empty());
    EXPECT_EQ(file->packetCount(), 100);

    struct Case {
        SInt64 start;
        UInt32 asked, got;
    };
    const Case cases[] = {{0, 10, 10}, {95, 10, 5}, {100, 10, 0}, {500, 1, 0}};
    for (const Case& c : cases) {
        std::vector<float> out(c.asked * 2, -1.0f);
        std::vector<AudioPacketDescription> descriptions(c.asked);
        UInt32 packets = c.asked, bytes = 99;
        EXPECT_EQ(file->readPackets(c.start, packets, bytes, out.data(), descriptions.data()), noErr);
        EXPECT_EQ(packets, c.got) << "from " << c.start;
        EXPECT_EQ(bytes, c.got * 8) << "from " << c.start;
        if (c.got > 0) {
            EXPECT_FLOAT_EQ(out[0], samples[c.start * 2]) << "from " << c.start;
            EXPECT_EQ(descriptions[c.got - 1].mDataByteSize, 8u);
        }
    }
}

class CurrentOutput : public Playback {
protected:
    void SetUp() override {
        output = newOutput("current.wav");
        AudioOutput::setCurrent(output);
    }
    void TearDown() override { AudioOutput::setCurrent(nullptr); }
    std::shared_ptr<FileOutput> output;
};

TEST_F(CurrentOutput, NSSoundPlaysWholeAndOnceAtATime) {
    EXPECT_FALSE(NSSound::createWithContentsOfFile(folder.file("absent.aiff"), false));
    const std::string path = folder.file("blip.wav");
    soundfiles::write(path, std::vector<float>(441, 0.5f));
    auto sound = NSSound::createWithContentsOfFile(path, false);
    ASSERT_TRUE(sound);
    EXPECT_NEAR(sound->duration(), 0.01, 1e-9);
    EXPECT_TRUE(sound->play());
    EXPECT_FALSE(sound->play()) << "already playing";
    clock.sleepFor(20000);
    EXPECT_FALSE(sound->isPlaying());
    EXPECT_TRUE(sound->play()) << "plays again once done";
    clock.sleepFor(20000);
    auto written = finish(output);
    const size_t first = firstSounding(written);
    const size_t second = firstSounding(written, first + 441);
    EXPECT_EQ(firstSounding(written, first + 1), first + 1);
    EXPECT_LT(second, written.frames());
    EXPECT_EQ(firstSounding(written, second + 441), written.frames());
}

TEST_F(CurrentOutput, NSSoundFindsThemeSoundsByName) {
    const std::string theme = folder.file("share/sounds/freedesktop/stereo");
    std::filesystem::create_directories(theme);
    soundfiles::write(theme + "/ding.wav", std::vector<float>(100, 0.5f));
    setenv("XDG_DATA_HOME", folder.file("home").c_str(), 1);
    setenv("XDG_DATA_DIRS", folder.file("share").c_str(), 1);
    auto ding = NSSound::soundNamed("ding");
    ASSERT_TRUE(ding);
    EXPECT_EQ(ding->name(), "ding");
    EXPECT_EQ(NSSound::soundNamed("ding"), ding) << "shared while held";
    EXPECT_FALSE(NSSound::soundNamed("gong"));
    EXPECT_FALSE(NSSound::soundNamed("../ding"));
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_DATA_DIRS");
}

// The null output renders nothing while no queue runs, so a silent program sleeps; a queue
// started after a rest plays from one latency after its start, not from where the rest began.
TEST(NullOutput, RestsWhileNoQueueRunsAndPlaysAQueueStartedLater) {
    VirtualClock clock;
    auto output = NullOutput::create(clock);
    const SInt64 latency = output->latencyFrames();
    SInt64 atRest = output->renderedFrames();
    for (int play = 1; play <= 2; ++play) {
        SCOPED_TRACE(play);
        clock.sleepFor(1'000'000);
        EXPECT_EQ(output->renderedFrames(), atRest) << "a second without a queue";
        EXPECT_EQ(output->startSampleFor(clock.now()), atRest + latency);
        Tone tone = makeTone(output, 0.5f, 1000);
        ASSERT_EQ(tone.queue->start(), noErr);
        clock.sleepFor(100'000);
        EXPECT_FALSE(tone.queue->isRunning()) << "played its buffer and stopped";
        const SInt64 played = output->renderedFrames();
        EXPECT_GE(played, atRest + 1000 + latency);
        EXPECT_LT(played, atRest + 1000 + 4 * latency) << "only the periods the tone needed, and a few";
        atRest = played;
    }
}

// At quit the output's thread must end before static objects go, also while sounds still hold
// the output.
TEST_F(CurrentOutput, ShutdownStopsTheAudioThreadAndMakesNoOtherOutput) {
    Tone tone = makeTone(AudioOutput::current(), 0.5f, 44100);
    ASSERT_EQ(tone.queue->start(), noErr);
    clock.sleepFor(periodMicros(4));
    EXPECT_GT(output->renderedFrames(), 0);

    AudioOutput::shutdown();
    const SInt64 before = output->renderedFrames();  // the thread may finish the period it is in
    EXPECT_EQ(AudioOutput::current(), nullptr);
    clock.sleepFor(periodMicros(20));  // time moves on at once: no thread of the output sleeps on it
    EXPECT_EQ(output->renderedFrames(), before);
    std::unique_ptr<AudioQueue> late;
    EXPECT_EQ(AudioQueue::newOutput(FloatStreamDescription(kRate, 1), {}, late), kAudioQueueNoOutputErr);

    const soundfiles::Sound written = soundfiles::read(output->path());
    EXPECT_EQ(static_cast<SInt64>(written.frames()), before) << "the file is complete";
    tone.queue.reset();
    AudioOutput::setCurrent(nullptr);
    EXPECT_NE(AudioOutput::current(), nullptr) << "a new output can be chosen again";
}

TEST(AudioOutputChoice, FollowsTheEnvironment) {
    soundfiles::TempFolder folder;
    struct Case {
        const char* name;
        std::string value;
        bool file;
    };
    const Case cases[] = {
        {"null output", "null", false},
        {"file output", "file:" + folder.file("out.wav"), true},
        {"unwritable file falls back to null", "file:" + folder.file("no/such/dir.wav"), false},
    };
    for (const Case& c : cases) {
        setenv("BEATWICK_AUDIO", c.value.c_str(), 1);
        AudioOutput::setCurrent(nullptr);
        auto output = AudioOutput::current();
        ASSERT_TRUE(output) << c.name;
        EXPECT_EQ(dynamic_cast<FileOutput*>(output.get()) != nullptr, c.file) << c.name;
        EXPECT_NE(dynamic_cast<NullOutput*>(output.get()) != nullptr, c.file) << c.name;
        EXPECT_EQ(output->periodFrames(), 256u) << c.name;
        output.reset();
        AudioOutput::setCurrent(nullptr);
    }
    unsetenv("BEATWICK_AUDIO");
}

std::vector<std::string> gMessages;

void keepMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    gMessages.push_back(message.toStdString());
}

// With no device to open, the choice says once through the log that sound is off and why, and
// what ALSA itself prints while SDL looks for the device stays off stderr. A card number no
// machine has makes the failure the same everywhere.
TEST(AudioOutputChoice, MissingDeviceIsOneLineInTheLog) {
    soundfiles::TempFolder folder;
    unsetenv("BEATWICK_AUDIO");
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    setenv("AUDIODEV", "hw:99", 1);
    const std::string errPath = folder.file("stderr.txt");
    std::fflush(stderr);
    const int savedErr = dup(STDERR_FILENO);
    const int errFile = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(errFile, 0);
    dup2(errFile, STDERR_FILENO);
    close(errFile);
    gMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(keepMessage);

    AudioOutput::setCurrent(nullptr);
    auto output = AudioOutput::current();

    qInstallMessageHandler(previous);
    std::fflush(stderr);
    dup2(savedErr, STDERR_FILENO);
    close(savedErr);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("AUDIODEV");

    EXPECT_TRUE(dynamic_cast<NullOutput*>(output.get()));
    ASSERT_EQ(gMessages.size(), 1u);
    EXPECT_EQ(gMessages[0].rfind("Beatwick: sound is off: no sound device could be opened (", 0), 0u)
        << gMessages[0];
    EXPECT_EQ(gMessages[0].find("()"), std::string::npos) << "with a reason";
    std::stringstream printed;
    printed << std::ifstream(errPath).rdbuf();
    EXPECT_EQ(printed.str().find("ALSA lib"), std::string::npos) << printed.str();
    output.reset();
    AudioOutput::setCurrent(nullptr);
}

}  // namespace
