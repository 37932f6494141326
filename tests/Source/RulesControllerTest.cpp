#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "Source/RulesController.h"
#include "Source/RulesControllerHost.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/PredicateParser.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/UserDefaults.h"
#include "tests/Source/FakePlayer.h"

namespace {

namespace fs = std::filesystem;

Predicate::Pointer condition(const char* format) {
    auto p = PredicateParser::predicateWithFormat(format);
    EXPECT_TRUE(p.ok()) << format << ": " << p.error();
    return p.ok() ? p.value() : nullptr;
}

struct StatusHost : PlayerStatusHost {
    bool iTunesIsRunning() override { return true; }
    bool iTunesIsResponding(UInt32) override { return true; }
    bool trackAssigned(SInt64, SInt32, bool) override { return false; }
};

// The player's side of the engine: playlists of track IDs, and every request in the order sent.
struct FakeRulesHost : RulesControllerHost {
    std::map<SInt64, std::shared_ptr<FakePlaylist>> playlists;
    std::vector<std::string> requests;
    SInt16 addStatus{0};  // what an add answers; not 0: nothing joins the playlist

    std::shared_ptr<PlayerPlaylist> playlistWithPersistentId(SInt64 id) override {
        auto it = playlists.find(id);
        return it == playlists.end() ? nullptr : it->second;
    }
    std::shared_ptr<PlayerTrack> trackInPlaylist(const PlayerPlaylist& playlist, SInt64 trackId) override {
        for (const auto& track : static_cast<const FakePlaylist&>(playlist).tracks)
            if (track->mId == trackId) return track;
        return nullptr;
    }
    std::optional<std::string> pathOfTrack(const PlayerTrack& track) override {
        auto location = track.location();
        if (!location || !location->starts_with("file://")) return std::nullopt;
        return location->substr(7);
    }
    SInt16 addTrackPath(const std::string& path, const PlayerPlaylist& playlist) override {
        requests.push_back("add " + path + " to " + std::to_string(playlist.persistentId()));
        if (addStatus != 0) return addStatus;
        auto& tracks = playlists.at(playlist.persistentId())->tracks;
        tracks.push_back(makeTrack(0x77, 0));  // the player gives the added file the track's ID
        return 0;
    }
    void removeTrack(const PlayerTrack& track, const PlayerPlaylist& playlist) override {
        requests.push_back("remove " + std::to_string(track.persistentId()) + " from " +
                           std::to_string(playlist.persistentId()));
    }
    void activatePlayer() override { requests.push_back("activate"); }
    void runGetInfoScript() override { requests.push_back("get info"); }

    void addPlaylist(SInt64 id, std::vector<SInt64> trackIds = {}) {
        auto playlist = std::make_shared<FakePlaylist>();
        playlist->mId = id;
        for (SInt64 t : trackIds) playlist->tracks.push_back(makeTrack(t, 0));
        playlists[id] = playlist;
    }
};

struct RulesControllerTest : ::testing::Test {
    fs::path folder;
    std::unique_ptr<PreferencesStore> store;
    std::unique_ptr<NSUserDefaults> defaults;
    NSNotificationCenter center;
    std::vector<std::string> logged;
    std::vector<NSNotification> posted;

    StatusHost statusHost;
    FakePlayer player;
    PlayerStatus status{statusHost, player};
    FakeRulesHost host;

    void SetUp() override {
        folder =
            fs::temp_directory_path() / ("rules-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        store = std::make_unique<PreferencesStore>(folder.string());
        defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
        center.addObserver(this, "", nullptr, [this](const NSNotification& n) { posted.push_back(n); });
        player.track = makeTrack(0x77, 120, "Slow Song");
        status.updateWithPlayerBridge();
    }
    void TearDown() override { fs::remove_all(folder); }

    std::unique_ptr<RulesController> makeStore() {
        return std::make_unique<RulesController>(*defaults, center,
                                                 [this](const std::string& m) { logged.push_back(m); });
    }

    // Stores the rules as the archive under "RulesDicts" would hold them.
    void storeRules(const std::vector<Rule>& rules) {
        PropertyList::Array array;
        for (const Rule& rule : rules) array.push_back(rule.archive());
        defaults->setObject(PropertyList(PropertyListSerialization::dataWithPropertyList(
                                             PropertyList(array), PropertyListFormat::Binary)
                                             .value()),
                            RulesController::kRulesDictsKey);
    }
    static Rule rule(int index, const char* description = "", Predicate::Pointer when = nullptr) {
        Rule r;
        r.index = index;
        r.description = description;
        r.rules = std::move(when);
        return r;
    }
    static std::vector<int> indexes(const RulesController& rules) {
        std::vector<int> out;
        for (int row = 0; row < rules.numberOfRules(); ++row) out.push_back(rules.indexForRow(row));
        return out;
    }
    std::vector<std::string> postedNames() const {
        std::vector<std::string> names;
        for (const auto& n : posted) names.push_back(n.name);
        return names;
    }
};

// ---------------------------------------------------------------------------------------------
// The store.

TEST_F(RulesControllerTest, NewRulesTakeTheLowestFreeIndex) {
    const struct {
        const char* name;
        std::vector<int> stored;
        int expected;
    } cases[] = {
        {"a gap", {0, 1, 3}, 2},           {"zero free", {1, 2}, 0}, {"no gap", {0, 1, 2}, 3},
        {"out of order", {3, 0, 2, 1}, 4}, {"an empty list", {}, 0},
    };
    for (const auto& c : cases) {
        std::vector<Rule> rules;
        for (int i : c.stored) rules.push_back(rule(i));
        storeRules(rules);
        auto store = makeStore();
        store->addNewRule();
        ASSERT_EQ(store->numberOfRules(), static_cast<int>(c.stored.size()) + 1) << c.name;
        const int row = store->numberOfRules() - 1;
        EXPECT_EQ(store->indexForRow(row), c.expected) << c.name;
        EXPECT_TRUE(store->activeForIndex(c.expected)) << c.name;
        EXPECT_EQ(store->descriptionForIndex(c.expected), "") << c.name;
    }
}

TEST_F(RulesControllerTest, WithoutStoredRulesThereIsNoListUntilTheFirstAdd) {
    auto store = makeStore();
    EXPECT_EQ(store->numberOfRules(), 0);
    EXPECT_EQ(store->rowValueForIndex(0), -1);
    EXPECT_EQ(store->rulesForRow(-1), nullptr);
    store->applyRules(status, host);
    EXPECT_TRUE(host.requests.empty());

    store->addNewRule();
    EXPECT_EQ(indexes(*store), std::vector<int>{0});
    EXPECT_EQ(postedNames(), std::vector<std::string>{"UpdateRules"});
    EXPECT_EQ(posted[0].object, store.get());
    EXPECT_EQ(makeStore()->numberOfRules(), 1) << "adding saves";
}

TEST_F(RulesControllerTest, NoSelectionIsNoIndex) {
    // Row -1 is the table's "nothing selected"; answering Index 0 would act on a real rule.
    storeRules({rule(0, "zero"), rule(5, "five")});
    auto store = makeStore();
    const struct {
        int row;
        int index;
    } cases[] = {{-1, -1}, {0, 0}, {1, 5}, {2, -1}, {-7, -1}};
    for (const auto& c : cases) EXPECT_EQ(store->indexForRow(c.row), c.index) << "row " << c.row;
    EXPECT_EQ(store->rowValueForIndex(5), 1);
    EXPECT_EQ(store->rowValueForIndex(-1), -1);
    EXPECT_EQ(store->rowValueForIndex(3), -1);
}

TEST_F(RulesControllerTest, DuplicateCopiesEverythingButIndexAndDescription) {
    Rule slow = rule(0, "Slow", condition("trackBPM < 90"));
    slow.active = false;
    slow.addToPlaylist = true;
    slow.addPlaylistID = 0x1111;
    slow.removeFromPlaylist = true;
    slow.removePlaylistID = 0x2222;
    slow.showGetInfo = true;
    slow.activateiTunes = true;
    storeRules({slow, rule(1, "Other")});
    auto store = makeStore();

    store->duplicateRuleWithRowIndex(0);
    ASSERT_EQ(store->numberOfRules(), 3);
    const Rule copy = *store->ruleAtRow(2);
    EXPECT_EQ(copy.index, 2);
    EXPECT_EQ(copy.description, "Copy of Slow");
    EXPECT_FALSE(copy.active);
    EXPECT_EQ(copy.rules, store->rulesForIndex(0)) << "the condition is shared";
    EXPECT_TRUE(copy.addToPlaylist && copy.removeFromPlaylist && copy.showGetInfo && copy.activateiTunes);
    EXPECT_EQ(copy.addPlaylistID, 0x1111);
    EXPECT_EQ(copy.removePlaylistID, 0x2222);

    const Rule source = *store->ruleAtRow(0);
    EXPECT_EQ(source.index, 0);
    EXPECT_EQ(source.description, "Slow");

    store->duplicateRuleWithRowIndex(3);
    store->duplicateRuleWithRowIndex(-1);
    EXPECT_EQ(store->numberOfRules(), 3) << "rows outside the list do nothing";
    EXPECT_EQ(makeStore()->descriptionForIndex(2), "Copy of Slow") << "duplicating saves";
}

TEST_F(RulesControllerTest, MoveTakesADropPositionBetweenRows) {
    const struct {
        const char* name;
        int from, to;
        std::vector<int> order;
    } cases[] = {
        {"first below the last", 0, 4, {1, 2, 3, 0}},  {"first to drop 3", 0, 3, {1, 2, 0, 3}},
        {"last to the top", 3, 0, {3, 0, 1, 2}},       {"onto its own gap", 1, 1, {0, 1, 2, 3}},
        {"onto the gap below it", 1, 2, {0, 1, 2, 3}}, {"up one", 2, 1, {0, 2, 1, 3}},
        {"drop past the end", 0, 5, {0, 1, 2, 3}},     {"row outside", 4, 0, {0, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        storeRules({rule(0), rule(1), rule(2), rule(3)});
        auto store = makeStore();
        posted.clear();
        store->moveRuleAtRow(c.from, c.to);
        EXPECT_EQ(indexes(*store), c.order) << c.name;
        EXPECT_EQ(indexes(*makeStore()), c.order) << c.name << ": saved";
    }
}

TEST_F(RulesControllerTest, RemovePostsTheRemovedIndexBeforeTheUpdate) {
    storeRules({rule(0, "a"), rule(4, "b"), rule(2, "c")});
    auto store = makeStore();
    store->removeRuleWithRowIndex(1);
    EXPECT_EQ(indexes(*store), (std::vector<int>{0, 2}));
    ASSERT_EQ(postedNames(), (std::vector<std::string>{"RuleRemoved", "UpdateRules"}));
    ASSERT_TRUE(posted[0].userInfo);
    EXPECT_EQ(*posted[0].userInfo, (PropertyList::Dictionary{{"Index", 4}}));
    EXPECT_EQ(posted[0].object, store.get());
    EXPECT_EQ(indexes(*makeStore()), (std::vector<int>{0, 2})) << "the stored list no longer holds it";

    posted.clear();
    store->removeRuleWithRowIndex(2);
    store->removeRuleWithRowIndex(-1);
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(store->numberOfRules(), 2);
}

TEST_F(RulesControllerTest, ArchiveRoundTripKeepsEveryKeyAndTheConditions) {
    auto store = makeStore();
    store->addNewRule();
    store->addNewRule();
    store->setDescription("Fast jazz", 0);
    store->setAddToPlaylist(true, 0);
    store->setAddPlaylistID(INT64_C(-0x7edcba9876543210), 0);
    store->setRemovePlaylistID(42, 0);
    store->setShowGetInfo(true, 0);
    store->setActivateiTunes(true, 1);
    store->setRemoveFromPlaylist(true, 1);
    store->setRules(condition("trackGenre ==[cd] \"Jazz\" AND (trackBPM > 140 OR trackRating >= fourstars)"),
                    0);
    store->setActive(false, 1);

    auto back = makeStore();
    ASSERT_EQ(back->numberOfRules(), 2);
    for (int row = 0; row < 2; ++row) {
        const Rule a = *store->ruleAtRow(row), b = *back->ruleAtRow(row);
        EXPECT_EQ(b.index, a.index);
        EXPECT_EQ(b.active, a.active);
        EXPECT_EQ(b.description, a.description);
        EXPECT_EQ(b.addToPlaylist, a.addToPlaylist);
        EXPECT_EQ(b.addPlaylistID, a.addPlaylistID);
        EXPECT_EQ(b.removeFromPlaylist, a.removeFromPlaylist);
        EXPECT_EQ(b.removePlaylistID, a.removePlaylistID);
        EXPECT_EQ(b.showGetInfo, a.showGetInfo);
        EXPECT_EQ(b.activateiTunes, a.activateiTunes);
        ASSERT_EQ(b.rules == nullptr, a.rules == nullptr) << "row " << row;
        if (a.rules) {
            EXPECT_TRUE(b.rules->isEqual(*a.rules)) << b.rules->predicateFormat();
        }
    }
    EXPECT_EQ(back->addPlaylistIDForIndex(0), INT64_C(-0x7edcba9876543210));
    EXPECT_EQ(back->removePlaylistIDForIndex(1), std::nullopt);
    EXPECT_TRUE(logged.empty());
}

TEST_F(RulesControllerTest, OnlySomeSettersSave) {
    storeRules({rule(0, "old", condition("trackBPM > 1"))});
    auto store = makeStore();
    store->setDescription("new", 0);
    store->setShowGetInfo(true, 0);
    store->setRules(nullptr, 0);
    EXPECT_EQ(postedNames(), std::vector<std::string>{"UpdateRules"});
    {
        auto stored = makeStore();
        EXPECT_EQ(stored->descriptionForIndex(0), "old");
        EXPECT_FALSE(stored->showGetInfoForIndex(0));
        EXPECT_NE(stored->rulesForIndex(0), nullptr) << "removing the condition does not save";
    }
    EXPECT_EQ(store->rulesForIndex(0), nullptr);
    store->setActive(false, 0);
    EXPECT_FALSE(makeStore()->activeForIndex(0)) << "Active saves at once";
    EXPECT_EQ(makeStore()->descriptionForIndex(0), "new") << "with everything else changed so far";

    // Unknown indexes: setters do nothing, getters answer false or null.
    posted.clear();
    store->setDescription("x", 9);
    store->setActive(true, 9);
    store->setRules(condition("trackBPM > 1"), -1);
    EXPECT_TRUE(posted.empty());
    EXPECT_FALSE(store->activeForIndex(9));
    EXPECT_EQ(store->addPlaylistIDForIndex(9), std::nullopt);
    EXPECT_EQ(store->rulesForIndex(9), nullptr);
}

TEST_F(RulesControllerTest, AnUnreadableArchiveIsSetAsideNotOverwritten) {
    Rule good = rule(0, "good");
    PropertyList::Dictionary badRule = *rule(1, "bad", condition("trackBPM > 1")).archive().dictionary();
    (*badRule["BeatwickRules"].dictionary())["Operator"] = "~";
    const struct {
        const char* name;
        PropertyList::Data data;
    } cases[] = {
        {"not a property list", {'j', 'u', 'n', 'k'}},
        {"not a list",
         PropertyListSerialization::dataWithPropertyList(PropertyList("x"), PropertyListFormat::Binary)
             .value()},
        {"a bad condition",
         PropertyListSerialization::dataWithPropertyList(
             PropertyList(PropertyList::Array{good.archive(), badRule}), PropertyListFormat::Binary)
             .value()},
    };
    for (const auto& c : cases) {
        logged.clear();
        defaults->removeObjectForKey(RulesController::kUnreadableRulesDictsKey);
        defaults->setObject(PropertyList(c.data), RulesController::kRulesDictsKey);
        auto store = makeStore();
        EXPECT_EQ(store->numberOfRules(), 0) << c.name;
        ASSERT_EQ(logged.size(), 1u) << c.name;
        EXPECT_NE(logged[0].find("unreadable"), std::string::npos) << logged[0];
        store->addNewRule();
        EXPECT_EQ(defaults->dataForKey(RulesController::kUnreadableRulesDictsKey), c.data) << c.name;
    }
}

// ---------------------------------------------------------------------------------------------
// The engine.

struct RulesEngineTest : RulesControllerTest {
    static Rule acting(int index, const char* when) {
        Rule r = rule(index, "rule", condition(when));
        r.addToPlaylist = true;
        r.addPlaylistID = 100;
        r.removeFromPlaylist = true;
        r.removePlaylistID = 200;
        r.activateiTunes = true;
        return r;
    }
};

TEST_F(RulesEngineTest, AddThenRemoveThenActivateOrGetInfo) {
    host.addPlaylist(100);
    host.addPlaylist(200, {0x77});
    Rule both = acting(1, "trackBPM == 120");
    both.showGetInfo = true;
    storeRules({acting(0, "trackName CONTAINS[c] \"slow\""), both});
    makeStore()->applyRules(status, host);
    EXPECT_EQ(host.requests,
              (std::vector<std::string>{"add /music/Slow Song.mp3 to 100", "remove 119 from 200", "activate",
                                        // the second rule: the track is in 100 now and stays in 200 (the
                                        // fake keeps it), and Get Info wins over Activate
                                        "remove 119 from 200", "get info"}));
}

// A file the player cannot add is logged in one line; the rule goes on with its next steps.
TEST_F(RulesEngineTest, AFailedAddIsLoggedOnceAndTheRuleGoesOn) {
    host.addPlaylist(100);
    host.addPlaylist(200, {0x77});
    host.addStatus = fnfErr;
    storeRules({acting(0, "trackBPM > 0")});
    makeStore()->applyRules(status, host);
    EXPECT_EQ(host.requests, (std::vector<std::string>{"add /music/Slow Song.mp3 to 100",
                                                       "remove 119 from 200", "activate"}));
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0], "The track could not be added to a playlist (-43): /music/Slow Song.mp3");
}

TEST_F(RulesEngineTest, AddAndRemoveOnOnePlaylistRemovesWhatWasJustAdded) {
    host.addPlaylist(100);
    Rule r = acting(0, "trackBPM > 0");
    r.removePlaylistID = 100;
    r.activateiTunes = false;
    storeRules({r});
    makeStore()->applyRules(status, host);
    EXPECT_EQ(host.requests,
              (std::vector<std::string>{"add /music/Slow Song.mp3 to 100", "remove 119 from 100"}));
}

TEST_F(RulesEngineTest, StepsThatCannotActAreSkipped) {
    const struct {
        const char* name;
        std::function<void(FakeRulesHost&, FakeTrack&, Rule&)> setUp;
        std::vector<std::string> requests;
    } cases[] = {
        {"already in the add playlist",
         [](FakeRulesHost& h, FakeTrack&, Rule&) { h.addPlaylist(100, {0x77}); },
         {"activate"}},
        {"not in the remove playlist",
         [](FakeRulesHost& h, FakeTrack&, Rule&) {
             h.addPlaylist(100, {0x77});
             h.addPlaylist(200, {0x12});
         },
         {"activate"}},
        {"a stream has no path",
         [](FakeRulesHost& h, FakeTrack& t, Rule&) {
             h.addPlaylist(100);
             h.addPlaylist(200, {0x77});
             t.mLocation = std::nullopt;
         },
         {"activate"}},
        {"missing playlists", [](FakeRulesHost&, FakeTrack&, Rule&) {}, {"activate"}},
        {"no playlist IDs",
         [](FakeRulesHost& h, FakeTrack&, Rule& r) {
             h.addPlaylist(100);
             h.addPlaylist(200, {0x77});
             r.addPlaylistID.reset();
             r.removePlaylistID.reset();
         },
         {"activate"}},
        {"flags off",
         [](FakeRulesHost& h, FakeTrack&, Rule& r) {
             h.addPlaylist(100);
             h.addPlaylist(200, {0x77});
             r.addToPlaylist = r.removeFromPlaylist = r.activateiTunes = false;
         },
         {}},
        {"inactive",
         [](FakeRulesHost& h, FakeTrack&, Rule& r) {
             h.addPlaylist(100);
             h.addPlaylist(200, {0x77});
             r.active = false;
             r.showGetInfo = true;
         },
         {}},
        {"no condition",
         [](FakeRulesHost& h, FakeTrack&, Rule& r) {
             h.addPlaylist(100);
             h.addPlaylist(200, {0x77});
             r.rules = nullptr;
             r.showGetInfo = true;
         },
         {}},
        {"condition false",
         [](FakeRulesHost& h, FakeTrack&, Rule& r) {
             h.addPlaylist(100);
             r.rules = condition("trackBPM > 120");
         },
         {}},
    };
    for (const auto& c : cases) {
        host = FakeRulesHost();
        player.track = makeTrack(0x77, 120, "Slow Song");
        Rule r = acting(0, "assigned == NO");
        c.setUp(host, *player.track, r);
        status.updateWithPlayerBridge();
        storeRules({r});
        makeStore()->applyRules(status, host);
        EXPECT_EQ(host.requests, c.requests) << c.name;
    }
}

TEST_F(RulesEngineTest, AnEvaluationErrorIsLoggedAndTheNextRuleRuns) {
    Rule broken = rule(0, "broken", condition("trackTempo > 100"));
    broken.activateiTunes = true;
    Rule next = rule(1, "next", condition("trackBPM == 120"));
    next.showGetInfo = true;
    storeRules({broken, next});
    makeStore()->applyRules(status, host);
    EXPECT_EQ(host.requests, std::vector<std::string>{"get info"});
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_TRUE(logged[0].starts_with("Error when evaluating predicate (trackTempo > 100) - ")) << logged[0];
    EXPECT_NE(logged[0].find("trackTempo"), std::string::npos);
}

TEST_F(RulesEngineTest, RulesRunInRowOrderAndNotWithoutATrack) {
    host.addPlaylist(100);
    host.addPlaylist(200);
    Rule first = rule(0, "a", condition("trackBPM == 120"));
    first.addToPlaylist = true;
    first.addPlaylistID = 100;
    Rule second = rule(1, "b", condition("trackBPM == 120"));
    second.addToPlaylist = true;
    second.addPlaylistID = 200;
    storeRules({first, second});
    auto store = makeStore();
    store->moveRuleAtRow(1, 0);
    store->applyRules(status, host);
    EXPECT_EQ(host.requests, (std::vector<std::string>{"add /music/Slow Song.mp3 to 200",
                                                       "add /music/Slow Song.mp3 to 100"}));

    host.requests.clear();
    player.track.reset();
    status.updateWithPlayerBridge();
    store->applyRules(status, host);
    EXPECT_TRUE(host.requests.empty());
}

}  // namespace
