#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "Source/Metronome.h"
#include "Source/UKSound.h"
#include "platform/AudioToolbox/FileOutput.h"
#include "platform/Carbon/FileReference.h"
#include "tests/Source/RecordingMetronomeHost.h"
#include "tests/platform/AudioToolbox/SoundFiles.h"

namespace {

constexpr SInt64 kMs = 1000;

// A metronome on virtual time with a recording host; its driver is the real thread.
struct Rig {
    VirtualClock clock;
    RecordingMetronomeHost host{clock};
    Metronome metronome{host, clock};

    // Clicks as (milliseconds from `start`, beat).
    std::vector<std::pair<double, long>> clicksFrom(SInt64 start) {
        std::vector<std::pair<double, long>> out;
        for (const auto& c : host.clicks())
            out.emplace_back(static_cast<double>(c.microseconds - start) / 1000.0, c.beat);
        return out;
    }
};

TEST(Metronome, UserAndTimedStartsNumberTheBeatsOfTheBar) {
    struct Case {
        const char* name;
        bool timed;
        std::vector<long> beats;
    };
    const Case cases[] = {{"user start", false, {1, 2, 3, 4, 1}}, {"timed start", true, {1, 3, 4, 1, 2}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const SInt64 start = rig.clock.now();
        if (c.timed) {
            rig.metronome.scheduleMetronomeStart(1.0);
            ASSERT_EQ(rig.host.timersMade, 1);
            EXPECT_EQ(rig.host.lastTimer->seconds, 1.0);
            ASSERT_TRUE(rig.host.fireTimer());
        } else {
            rig.metronome.startMetronome(nullptr);
        }
        EXPECT_TRUE(rig.metronome.isPlaying());
        rig.clock.sleepUntil(start + 2000 * kMs + 500);
        rig.metronome.stopMetronome();
        EXPECT_FALSE(rig.metronome.isPlaying());
        const std::vector<std::pair<double, long>> expected = {
            {0, c.beats[0]}, {500, c.beats[1]}, {1000, c.beats[2]}, {1500, c.beats[3]}, {2000, c.beats[4]}};
        EXPECT_EQ(rig.clicksFrom(start), expected);
        EXPECT_EQ(rig.host.notifications.back(), "MetronomeStateChanged");
    }
}

TEST(Metronome, TempoChangeMidBeatClicksAtOnceAsBeatOneOfANewGrid) {
    Rig rig;
    const SInt64 start = rig.clock.now();
    rig.metronome.startMetronome(nullptr);
    rig.clock.sleepUntil(start + 1250 * kMs + 500);
    rig.host.bpm = 60;
    rig.clock.sleepUntil(start + 3300 * kMs);
    rig.metronome.stopMetronome();
    const std::vector<std::pair<double, long>> expected = {{0, 1},    {500, 2},  {1000, 3},
                                                           {1251, 1}, {2251, 2}, {3251, 3}};
    EXPECT_EQ(rig.clicksFrom(start), expected);
}

TEST(Metronome, ClickCostingMoreThanABeatRebasesTheGrid) {
    Rig rig;
    int clickCount = 0;
    // Every click costs 1.3 ms; the second costs 700 ms, longer than a beat at 120.
    rig.host.onClick = [&](long) { rig.clock.sleepFor(clickCount++ == 1 ? 700 * kMs : 1300); };
    const SInt64 start = rig.clock.now();
    rig.metronome.startMetronome(nullptr);
    rig.clock.sleepUntil(start + 12000 * kMs);
    rig.metronome.stopMetronome();
    const auto clicks = rig.host.clicks();
    ASSERT_GE(clicks.size(), 23u);
    const SInt64 late = clicks[1].microseconds;
    const SInt64 rebased = (late + 700 * kMs) / kMs * kMs;  // the pass after the late click
    for (size_t m = 1; m <= 20; ++m) {
        const double error =
            static_cast<double>(clicks[1 + m].microseconds - (rebased + SInt64(m) * 500 * kMs)) / kMs;
        EXPECT_NEAR(error, 0.5, 1.5) << "beat " << m << " after the late click";
    }
}

TEST(Metronome, HundredBeatsAt130StayOnTheGrid) {
    Rig rig;
    rig.host.bpm = 130;
    rig.host.onClick = [&](long) { rig.clock.sleepFor(300); };
    const SInt64 start = rig.clock.now();
    rig.metronome.startMetronome(nullptr);
    rig.clock.sleepUntil(start + static_cast<SInt64>(99.5 * 60000.0 / 130 * kMs));
    rig.metronome.stopMetronome();
    const auto clicks = rig.host.clicks();
    ASSERT_EQ(clicks.size(), 100u);
    for (size_t n = 0; n < clicks.size(); ++n) {
        const double ideal = static_cast<double>(start) / kMs + n * 60000.0 / 130;
        const double error = static_cast<double>(clicks[n].microseconds) / kMs - ideal;
        EXPECT_GT(error, -1.0) << "click " << n;
        EXPECT_LT(error, 1.5) << "click " << n;
    }
}

TEST(Metronome, TempoAtOrBelowZeroNeverClicks) {
    struct Case {
        const char* name;
        int bpm;
    };
    for (const Case& c : {Case{"zero", 0}, Case{"below zero", -3}}) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.host.bpm = c.bpm;
        rig.metronome.startMetronome(nullptr);
        EXPECT_FALSE(rig.metronome.isPlaying()) << "does not start";
        EXPECT_TRUE(rig.host.clicks().empty());

        // Playing at 120, then the tempo falls to it: the driver holds, and goes on as beat 1
        // of a new grid once the tempo is positive again.
        rig.host.bpm = 120;
        const SInt64 start = rig.clock.now();
        rig.metronome.startMetronome(nullptr);
        rig.clock.sleepUntil(start + 1250 * kMs + 500);
        rig.host.bpm = c.bpm;
        rig.clock.sleepUntil(start + 3000 * kMs + 500);
        EXPECT_TRUE(rig.metronome.isPlaying());
        rig.host.bpm = 90;
        rig.clock.sleepUntil(start + 3800 * kMs);
        rig.metronome.stopMetronome();
        const std::vector<std::pair<double, long>> expected = {
            {0, 1}, {500, 2}, {1000, 3}, {3001, 1}, {3667, 2}};
        EXPECT_EQ(rig.clicksFrom(start), expected);
    }
}

TEST(Metronome, PendulumSwingsOnlyWhilePlaying) {
    Rig rig;
    const SInt64 start = rig.clock.now();
    rig.metronome.startMetronome(nullptr);
    EXPECT_EQ(rig.host.swings, std::vector<double>{0.5}) << "the first swing comes with the start";
    rig.clock.sleepUntil(start + 1000 * kMs + 500);
    rig.host.runMainThreadWork();
    EXPECT_EQ(rig.host.swings, (std::vector<double>{0.5, 0.5, 0.5}));
    rig.clock.sleepUntil(start + 2000 * kMs + 500);
    rig.metronome.stopMetronome();
    EXPECT_EQ(rig.host.animationStops, 1);
    rig.host.runMainThreadWork();  // swings asked for before the stop arrive after it
    EXPECT_EQ(rig.host.swings.size(), 3u);
}

TEST(Metronome, ScheduledStartFollowsAutoStart) {
    {
        SCOPED_TRACE("auto-start off");
        Rig rig;
        rig.host.defaults["AutoStartMetronome"] = false;
        rig.metronome.scheduleMetronomeStart(1.0);
        EXPECT_EQ(rig.host.timersMade, 0);
        EXPECT_FALSE(rig.metronome.isPlaying());
        EXPECT_EQ(rig.host.notifications, std::vector<std::string>{"MetronomeStateChanged"})
            << "the stop is announced even though nothing played";
    }
    {
        SCOPED_TRACE("auto-start on");
        Rig rig;
        rig.metronome.scheduleMetronomeStart(1.0);
        rig.metronome.scheduleMetronomeStart(0.5);
        EXPECT_EQ(rig.host.timersMade, 1) << "a pending start is moved, not doubled";
        EXPECT_EQ(rig.host.lastTimer->seconds, 0.5);
        rig.metronome.scheduleMetronomeStart(0);
        EXPECT_FALSE(*rig.host.lastTimerAlive) << "a delay of 0 cancels the pending start";
        EXPECT_FALSE(rig.host.fireTimer());
    }
    {
        SCOPED_TRACE("user start while a start is pending");
        Rig rig;
        rig.metronome.scheduleMetronomeStart(1.0);
        rig.metronome.startMetronome(nullptr);
        EXPECT_FALSE(rig.host.fireTimer()) << "the pending start no longer restarts the bar";
        rig.metronome.stopMetronome();
    }
}

TEST(Metronome, DestroyedMetronomeLeavesNothingThatCanReachIt) {
    VirtualClock clock;
    RecordingMetronomeHost host(clock);
    auto metronome = std::make_unique<Metronome>(host, clock);
    metronome->scheduleMetronomeStart(1.0);
    ASSERT_TRUE(host.lastTimerAlive && *host.lastTimerAlive);
    auto timer = host.lastTimerAlive;
    host.lastTimerAlive.reset();
    metronome->scheduleMetronomeStart(1.0);  // still the same pending timer
    host.lastTimerAlive = timer;
    // Run a while so that swing requests wait for the main thread.
    auto second = std::make_unique<Metronome>(host, clock);
    second->startMetronome(nullptr);
    clock.sleepFor(1200 * kMs);
    metronome.reset();
    second.reset();
    EXPECT_FALSE(*timer) << "the timer went with the metronome";
    EXPECT_FALSE(host.fireTimer());
    const size_t swings = host.swings.size();
    host.runMainThreadWork();
    EXPECT_EQ(host.swings.size(), swings) << "requests for a destroyed metronome do nothing";
}

// The whole road with the real driver thread and the file output, on virtual time.
TEST(Metronome, FortyClicksAt120ComeOutOfTheFileOutputInOrderWithAccents) {
    VirtualClock clock;
    soundfiles::TempFolder folder;
    auto output = FileOutput::create(folder.file("metronome.wav"), clock);
    ASSERT_TRUE(output);
    const std::string sounds = std::string(BEATWICK_RESOURCE_DIR) + "/Sounds/";
    UKSound::Context context{output, {}, {}};
    auto tap = std::make_unique<UKSound>(FileURLFromPath(sounds + "Click.aiff"), context);
    auto accent = std::make_unique<UKSound>(FileURLFromPath(sounds + "Woodblock.aiff"), context);
    EXPECT_TRUE(tap->isPlaying() && accent->isPlaying()) << "the warm-up plays at creation";

    RecordingMetronomeHost host(clock);
    host.onClick = [&](long beat) { (beat == host.bar ? accent : tap)->play(); };
    clock.sleepFor(300 * kMs);
    EXPECT_FALSE(tap->isPlaying() || accent->isPlaying());
    {
        Metronome metronome(host, clock);
        metronome.startMetronome(nullptr);
        clock.sleepFor(19750 * kMs);
        metronome.stopMetronome();
    }
    clock.sleepFor(300 * kMs);
    tap.reset();
    accent.reset();
    output->close();

    const auto written = soundfiles::read(output->path());
    const auto tapFile = soundfiles::read(sounds + "Click.aiff");
    const auto accentFile = soundfiles::read(sounds + "Woodblock.aiff");
    ASSERT_GT(written.frames(), 0u);
    auto firstNonZero = [](const soundfiles::Sound& s) {
        size_t i = 0;
        while (i < s.frames() && s.samples[i * s.channels] == 0.0f) ++i;
        return i;
    };
    auto matches = [&](size_t at, const soundfiles::Sound& file) {
        const size_t from = firstNonZero(file);
        for (size_t i = 0; i < 64; ++i)
            if (at + i >= written.frames() || written.samples[(at + i) * 2] != file.samples[from + i])
                return false;
        return true;
    };
    // A click begins at a sounding sample after at least 1000 silent frames.
    std::vector<size_t> onsets;
    size_t silent = 1000;
    for (size_t i = 0; i < written.frames(); ++i) {
        if (written.samples[i * 2] == 0.0f) {
            ++silent;
            continue;
        }
        if (silent >= 1000) onsets.push_back(i);
        silent = 0;
    }
    ASSERT_EQ(onsets.size(), 40u) << "the warm-up is silent and every click is heard once";
    const auto first = host.clicks().front();
    EXPECT_NEAR(static_cast<double>(output->timeOfSample(onsets[0]) - first.microseconds),
                output->latencyFrames() * 1e6 / 44100, 1000.0);
    for (size_t n = 0; n < onsets.size(); ++n) {
        const bool accented = n % 4 == 3;
        EXPECT_TRUE(matches(onsets[n], accented ? accentFile : tapFile))
            << "click " << n << " should be the " << (accented ? "accent" : "tap") << " sound";
        if (n > 0) {
            EXPECT_NEAR(static_cast<double>(onsets[n] - onsets[n - 1]), 22050.0, 100.0) << "click " << n;
        }
    }
}

}  // namespace
