// The main window's settings on a window and views of their own: the floating level, half stars,
// the skip buttons' tooltips and the metronome button's image.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <map>
#include <string>

#include "Source/MainWindowSettings.h"
#include "Source/MainWindowSettingsHost.h"
#include "Source/RatingView.h"
#include "Source/TapView.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/Window.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

class MainWindowSettingsTest : public ::testing::Test, public MainWindowSettingsHost {
protected:
    void SetUp() override { viewTestApplication(); }

    bool boolForKey(const std::string& key) override { return bools[key]; }
    SInt64 integerForKey(const std::string&) override { return 0; }
    std::optional<std::string> stringForKey(const std::string& key) override {
        auto found = strings.find(key);
        return found == strings.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<PropertyList> playerPreference(const std::string& key) override {
        return key == "allow-half-stars" ? playerHalfStars : std::nullopt;
    }
    bool metronomeIsPlaying() override { return metronomePlays; }

    std::map<std::string, bool> bools;
    std::map<std::string, std::string> strings;
    std::optional<PropertyList> playerHalfStars;
    bool metronomePlays{false};

    Window window{NSSize{420, 400}};
    RatingView* rating = new RatingView(NSRect{{120, 294}, {80, 16}}, window.contentView());
    TapView* tapArea = new TapView(NSRect{{10, 60}, {400, 212}}, window.contentView());
    Button* metronome = new Button(NSRect{{162, 24}, {28, 28}}, window.contentView());
    Button* skipForward = new Button(NSRect{{100, 24}, {28, 28}}, window.contentView());
    Button* skipNext = new Button(NSRect{{130, 24}, {28, 28}}, window.contentView());
    MainWindowSettings settings{*this, {window, *rating, *tapArea, *metronome, *skipForward, *skipNext}};
};

TEST_F(MainWindowSettingsTest, AFloatingWindowStaysOnTopAndComesForward) {
    window.orderOut();
    bools["MakeFloatingWindow"] = true;
    settings.windowStyleChanged();
    EXPECT_EQ(window.level(), CGWindowLevelForKey(5));
    EXPECT_GT(window.level(), NSNormalWindowLevel);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.isVisible()) << "brought forward";

    bools["MakeFloatingWindow"] = false;
    settings.windowStyleChanged();
    EXPECT_EQ(window.level(), NSNormalWindowLevel);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.isVisible()) << "a window in sight stays in sight";
}

TEST_F(MainWindowSettingsTest, HalfStarsNeedTheSettingAndThePlayersOwnPreference) {
    const struct {
        const char* name;
        bool allowed;
        std::optional<PropertyList> player;
        bool halfStars;
    } cases[] = {
        {"both", true, PropertyList(true), true},
        {"the player's is off", true, PropertyList(false), false},
        {"the player has none", true, std::nullopt, false},
        {"the player's as a number", true, PropertyList(int64_t{1}), true},
        {"the player's as zero", true, PropertyList(int64_t{0}), false},
        {"the setting is off", false, PropertyList(true), false},
    };
    for (const auto& c : cases) {
        rating->setHalfStars(!c.halfStars);
        bools["AllowHalfStarRating"] = c.allowed;
        playerHalfStars = c.player;
        settings.halfStarRatingChanged();
        EXPECT_EQ(rating->halfStars(), c.halfStars) << c.name;
    }
}

// The tooltips promise the step the skip commands take, whatever text is stored.
TEST_F(MainWindowSettingsTest, SkipTooltipsTellTheStepTheCommandsUse) {
    const struct {
        std::optional<std::string> stored;
        const char* seconds;
    } cases[] = {
        {"30", "30"}, {" 45 s", "45"}, {"abc", "10"}, {"0", "10"}, {"301", "10"}, {std::nullopt, "10"},
    };
    for (const auto& c : cases) {
        const std::string name = c.stored.value_or("(none)");
        if (c.stored)
            strings["AdvanceSeconds"] = *c.stored;
        else
            strings.erase("AdvanceSeconds");
        settings.updateSkipChanged();
        EXPECT_EQ(skipForward->toolTip().toStdString(), std::string("Skip forward ") + c.seconds + " seconds")
            << name;
        EXPECT_EQ(skipNext->toolTip().toStdString(),
                  std::string("Skip to ") + c.seconds + " seconds into next track")
            << name;
    }
}

TEST_F(MainWindowSettingsTest, TheMetronomeButtonShowsWhetherTheMetronomePlays) {
    for (bool plays : {true, false}) {
        metronomePlays = plays;
        settings.updateMetronome();
        EXPECT_EQ(metronome->image(),
                  NSImage::imageNamed(plays ? "metronome_stopc.png" : "metronome_startc.png"))
            << plays;
        EXPECT_NE(metronome->image(), nullptr);
    }
}

}  // namespace
