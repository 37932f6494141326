// The tap and accent clicks with real sounds from the bundle, each copy on an output of virtual
// time: which of the four sounds a tap or beat starts, and the fallback to the NSSound copies
// after a low-latency failure until the tap sound is reloaded.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Source/ClickSounds.h"
#include "Source/ClickSoundsHost.h"
#include "Source/UKSound.h"
#include "platform/AudioToolbox/AudioOutput.h"
#include "platform/AudioToolbox/FileOutput.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Carbon/Clock.h"
#include "platform/Carbon/FileReference.h"
#include "tests/platform/AudioToolbox/SoundFiles.h"

namespace {

constexpr SInt64 kMs = 1000;

class ClickSoundsTest : public ::testing::Test, public ClickSoundsHost {
protected:
    void SetUp() override {
        output = FileOutput::create(folder.file("out.wav"), clock);
        ASSERT_TRUE(output);
        AudioOutput::setCurrent(output);  // where the NSSound copies play
        strings = {{"TapSound", "Click"}, {"AlternateSound", "Woodblock"}};
    }
    void TearDown() override {
        sounds.reset();
        low.clear();
        copies.clear();
        AudioOutput::setCurrent(nullptr);
        output->close();
    }

    // ClickSoundsHost: the settings, and sounds remembered by the name of their file.
    bool boolForKey(const std::string& key) override { return bools[key]; }
    SInt64 integerForKey(const std::string& key) override { return integers[key]; }
    std::optional<std::string> stringForKey(const std::string& key) override {
        auto found = strings.find(key);
        return found == strings.end() ? std::nullopt : std::optional(found->second);
    }
    std::shared_ptr<UKSound> makeUKSound(const std::string& path) override {
        return low[stem(path)] =
                   std::make_shared<UKSound>(FileURLFromPath(path), UKSound::Context{output, {}, {}});
    }
    std::shared_ptr<NSSound> makeNSSound(const std::string& path) override {
        return copies[stem(path)] = NSSound::createWithContentsOfFile(path, false);
    }
    void setTapAreaPlaysClick(bool playClick) override { tapAreaClicks = playClick; }
    void pulse() override { ++pulses; }

    static std::string stem(const std::string& path) {
        const size_t slash = path.rfind('/');
        return path.substr(slash + 1, path.rfind('.') - slash - 1);
    }

    // The sounds loaded afresh and quiet again: their warm-up plays are over.
    void reload() {
        sounds->updateTapSound();
        sounds->updateAlternateSound();
        settle();
    }
    void settle() { clock.sleepFor(300 * kMs); }

    // Which sounds play now: "Click", "Woodblock", "Click copy", ... joined by "+"; "" for none.
    std::string heard() {
        std::string names;
        auto add = [&](const std::string& name) { names += (names.empty() ? "" : "+") + name; };
        for (const auto& [name, sound] : low)
            if (sound && sound->isPlaying()) add(name);
        for (const auto& [name, sound] : copies)
            if (sound && sound->isPlaying()) add(name + " copy");
        return names;
    }

    VirtualClock clock;
    soundfiles::TempFolder folder;
    std::shared_ptr<FileOutput> output;
    std::map<std::string, bool> bools;
    std::map<std::string, SInt64> integers;
    std::map<std::string, std::string> strings;
    std::map<std::string, std::shared_ptr<UKSound>> low;
    std::map<std::string, std::shared_ptr<NSSound>> copies;
    bool tapAreaClicks{false};
    int pulses{0};
    std::unique_ptr<ClickSounds> sounds = std::make_unique<ClickSounds>(*this);
};

TEST_F(ClickSoundsTest, TheBeatAndTheSettingsChooseTheClickOrTheAccent) {
    const struct {
        const char* name;
        bool click;
        bool accent;
        SInt64 accentedBeat;
        long beat;
        const char* heard;
    } cases[] = {
        {"a tap clicks", true, false, 1, 1, "Click"},
        {"the accented beat", true, true, 4, 4, "Woodblock"},
        {"another beat", true, true, 4, 2, "Click"},
        {"accent without clicks", false, true, 1, 1, "Woodblock"},
        {"the other beats stay silent", false, true, 1, 3, ""},
        {"neither", false, false, 1, 1, ""},
    };
    for (const auto& c : cases) {
        bools = {{"PlayClickOnTap", c.click}, {"PlayAlternate", c.accent}};
        integers = {{"AlternateBeat", c.accentedBeat}};
        sounds->updateSoundOptions();
        EXPECT_EQ(tapAreaClicks, c.click) << c.name << ": the tap area is told";
        EXPECT_EQ(sounds->alternateBeat(), c.accentedBeat) << c.name;
        reload();
        ASSERT_EQ(heard(), "") << c.name;
        sounds->playMetronomeClickForBeat(c.beat);
        EXPECT_EQ(heard(), c.heard) << c.name;
    }
}

TEST_F(ClickSoundsTest, AfterALowLatencyFailureTheCopiesPlayUntilTheTapSoundIsReloaded) {
    bools = {{"PlayClickOnTap", true}, {"PlayAlternate", true}};
    integers = {{"AlternateBeat", 1}};
    sounds->updateSoundOptions();
    reload();
    sounds->audioQueueNotWorking();
    ASSERT_TRUE(sounds->audioQueueScrewedUp());

    sounds->playMetronomeClickForBeat(2);
    EXPECT_EQ(heard(), "Click copy");
    settle();
    sounds->playMetronomeClickForBeat(1);
    EXPECT_EQ(heard(), "Woodblock copy");

    // A new accent sound keeps the failure; only the tap sound's reload clears it.
    settle();
    sounds->updateAlternateSound();
    settle();
    sounds->playMetronomeClickForBeat(1);
    EXPECT_EQ(heard(), "Woodblock copy");
    settle();
    sounds->updateTapSound();
    settle();
    EXPECT_FALSE(sounds->audioQueueScrewedUp());
    sounds->playMetronomeClickForBeat(2);
    EXPECT_EQ(heard(), "Click");
}

TEST_F(ClickSoundsTest, TheSingleClickPulsesTheTapAreaOnlyWhenItClicks) {
    reload();
    for (bool click : {false, true}) {
        bools = {{"PlayClickOnTap", click}};
        sounds->updateSoundOptions();
        pulses = 0;
        sounds->playMetronomeClick();
        EXPECT_EQ(heard(), click ? "Click" : "") << click;
        EXPECT_EQ(pulses, click ? 1 : 0) << click;
        settle();
        sounds->playMetronomeClickOnly();
        EXPECT_EQ(heard(), click ? "Click" : "") << click;
        EXPECT_EQ(pulses, click ? 1 : 0) << click << ": the click alone does not pulse";
        settle();
    }
}

// A sound whose file is not in the bundle stays silent, and the other one still plays.
TEST_F(ClickSoundsTest, AMissingSoundIsSilent) {
    strings["AlternateSound"] = "NoSuchSound";
    bools = {{"PlayClickOnTap", true}, {"PlayAlternate", true}};
    integers = {{"AlternateBeat", 1}};
    sounds->updateSoundOptions();
    reload();
    sounds->playMetronomeClickForBeat(1);
    EXPECT_EQ(heard(), "");
    EXPECT_FALSE(sounds->audioQueueScrewedUp()) << "a missing file is no failing queue";
    sounds->playMetronomeClickForBeat(2);
    EXPECT_EQ(heard(), "Click");
}

}  // namespace
