#include <gtest/gtest.h>

#include <limits>

#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/platform/Foundation/PropertyListPrinter.h"
#include "tests/platform/Foundation/TemporaryHome.h"

namespace {

class UserDefaults : public ::testing::Test {
protected:
    TemporaryHome home;
    PreferencesStore store;
    NSUserDefaults defaults{store, "com.orvo.Beatwick"};
};

}  // namespace

TEST_F(UserDefaults, TypedGettersConvertAsCocoaDoes) {
    struct Case {
        const char* name;
        std::optional<PropertyList> stored;
        bool asBool;
        int64_t asInteger;
        std::optional<std::string> asString;
    };
    const Case cases[] = {
        {"absent", std::nullopt, false, 0, std::nullopt},
        {"YES", PropertyList("YES"), true, 0, "YES"},
        {"yes", PropertyList("yes"), true, 0, "yes"},
        {"true", PropertyList("true"), true, 0, "true"},
        {"string 1", PropertyList("1"), true, 1, "1"},
        {"string NO", PropertyList("NO"), false, 0, "NO"},
        {"string 0", PropertyList("0"), false, 0, "0"},
        {"number as text", PropertyList(" 42 seconds"), true, 42, " 42 seconds"},
        {"negative text", PropertyList("-7"), true, -7, "-7"},
        {"text too large", PropertyList("99999999999999999999"), true, std::numeric_limits<int64_t>::max(),
         "99999999999999999999"},
        {"word", PropertyList("abc"), false, 0, "abc"},
        {"integer", PropertyList(300), true, 300, "300"},
        {"zero", PropertyList(0), false, 0, "0"},
        {"real", PropertyList(2.75), true, 2, "2.75"},
        {"small real", PropertyList(0.25), true, 0, "0.25"},
        {"boolean", PropertyList(true), true, 1, "1"},
        {"data", PropertyList(PropertyList::Data{1}), false, 0, std::nullopt},
        {"array", PropertyList(PropertyList::Array{1}), false, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        if (c.stored)
            defaults.setObject(*c.stored, "Key");
        else
            defaults.removeObjectForKey("Key");
        EXPECT_EQ(defaults.boolForKey("Key"), c.asBool) << c.name;
        EXPECT_EQ(defaults.integerForKey("Key"), c.asInteger) << c.name;
        EXPECT_EQ(defaults.stringForKey("Key"), c.asString) << c.name;
    }
    defaults.setObject(PropertyList("0.5"), "Key");
    EXPECT_EQ(defaults.doubleForKey("Key"), 0.5);
    EXPECT_EQ(defaults.floatForKey("Key"), 0.5f);
}

TEST_F(UserDefaults, CollectionGettersAnswerOnlyTheirOwnType) {
    defaults.setObject(PropertyList::Dictionary{{"keyCode", 36}}, "Shortcuts");
    defaults.setObject(PropertyList::Array{1, 2}, "RulesDicts");
    defaults.setObject(PropertyList::Data{9}, "Archive");
    EXPECT_EQ(defaults.dictionaryForKey("Shortcuts"), (PropertyList::Dictionary{{"keyCode", 36}}));
    EXPECT_EQ(defaults.arrayForKey("RulesDicts"), (PropertyList::Array{1, 2}));
    EXPECT_EQ(defaults.dataForKey("Archive"), (PropertyList::Data{9}));
    EXPECT_EQ(defaults.arrayForKey("Shortcuts"), std::nullopt);
    EXPECT_EQ(defaults.dictionaryForKey("RulesDicts"), std::nullopt);
    EXPECT_EQ(defaults.dataForKey("Missing"), std::nullopt);
}

TEST_F(UserDefaults, RegisteredValuesLieBeneathTheUsersAndAreNeverSaved) {
    defaults.registerDefaults({{"KeepTrack", false}, {"AdvanceSeconds", "10"}});
    EXPECT_EQ(defaults.objectForKey("KeepTrack"), PropertyList(false));  // present, though NO
    EXPECT_EQ(defaults.objectForKey("Absent"), std::nullopt);
    defaults.setBool(true, "KeepTrack");
    EXPECT_TRUE(defaults.boolForKey("KeepTrack"));
    EXPECT_EQ(defaults.integerForKey("AdvanceSeconds"), 10);

    // Each change is on disk at once, without the registered values.
    EXPECT_EQ(PreferencesStore().copyDomain("com.orvo.Beatwick"),
              (PropertyList::Dictionary{{"KeepTrack", true}}));

    defaults.removeObjectForKey("KeepTrack");
    EXPECT_EQ(defaults.objectForKey("KeepTrack"), PropertyList(false));
    EXPECT_EQ(defaults.dictionaryRepresentation(),
              (PropertyList::Dictionary{{"KeepTrack", false}, {"AdvanceSeconds", "10"}}));
}

TEST_F(UserDefaults, FactoryValuesComeFromTheBundlesDefaultsFile) {
    Result<PropertyList> factory =
        PropertyListSerialization::propertyListWithContentsOfFile(BEATWICK_RESOURCE_DIR "/Defaults.plist");
    ASSERT_TRUE(factory) << factory.error();
    ASSERT_NE(factory.value().dictionary(), nullptr);
    defaults.registerDefaults(*factory.value().dictionary());
    for (const char* key : {"KeepTrack",
                            "MakeFloatingWindow",
                            "AllowHalfStarRating",
                            "StartiTunesOnLaunch",
                            "CheckForUpdates",
                            "QuitiTunesOnQuit",
                            "QuitOnlyIfStarted",
                            "AdvanceWithBPM",
                            "AdvancePlus",
                            "SwitchToPrevApp",
                            "AdvanceSeconds",
                            "SkipIfHasBPM",
                            "OnlyIfConfirmed",
                            "TapSound",
                            "AlternateSound",
                            "PlayClickOnTap",
                            "PlayAlternate",
                            "AlternateBeat",
                            "DoNotify",
                            "NotifyType",
                            "NotifyIfiTunesInactive",
                            "NotifyBPMSkeptical",
                            "NotifyBounceIcon",
                            "NotifyBounceRepeat",
                            "NotifyPlaySound",
                            "NotifySoundRepeat",
                            "NotifySound",
                            "Shortcuts"})
        EXPECT_TRUE(defaults.objectForKey(key)) << key;
    const PropertyList shortcuts(defaults.dictionaryForKey("Shortcuts").value_or(PropertyList::Dictionary{}));
    for (const char* command :
         {"Assign", "HalveBPM", "DoubleBPM", "PlayPause", "Next", "Previous", "SkipForward", "SkipBack",
          "NextPlusSkip", "GetInfo", "Switch", "RatingUp", "RatingDown", "VolumeUp", "VolumeDown"}) {
        const PropertyList* entry = shortcuts.objectForKey(command);
        ASSERT_NE(entry, nullptr) << command;
        EXPECT_TRUE(entry->objectForKey("keyCode") && entry->objectForKey("modifierFlags")) << command;
    }
}
