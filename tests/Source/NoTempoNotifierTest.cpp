#include <gtest/gtest.h>

#include <map>

#include "Source/NoTempoNotifier.h"
#include "Source/NoTempoNotifierHost.h"
#include "Source/NotifyNoBPMWindow.h"
#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "Source/RatingView.h"
#include "platform/AppKit/TextField.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/Source/FakePlayer.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

using Log = std::vector<std::string>;

struct FakeHost : NoTempoNotifierHost, PlayerStatusHost {
    std::map<std::string, bool> flags;
    std::map<std::string, SInt64> numbers;
    std::optional<std::string> sound{"Tink"};
    bool frontmost{false};
    bool playerActive{false};
    bool keep{true};
    bool previouslyAssigned{false};
    bool halfStars{false};
    Log told;

    bool boolForKey(const std::string& key) override { return flags[key]; }
    SInt64 integerForKey(const std::string& key) override { return numbers[key]; }
    std::optional<std::string> stringForKey(const std::string& key) override {
        return key == "NotifySound" ? sound : std::nullopt;
    }
    bool applicationIsActive() override { return frontmost; }
    bool iTunesIsActive() override { return playerActive; }
    bool keepTrack() const override { return keep; }
    bool trackPreviouslyAssigned() const override { return previouslyAssigned; }
    bool ratingViewHasHalfStars() override { return halfStars; }
    void requestUserAttention(bool critical) override {
        told.push_back(critical ? "bounce critical" : "bounce once");
    }
    void playSystemSound(const std::string& name) override { told.push_back("sound " + name); }
    void deliverUserNotification(const std::string& title, const std::string& subtitle,
                                 const std::string& informative) override {
        told.push_back("notification " + title + " | " + subtitle + " | " + informative);
    }

    bool iTunesIsRunning() override { return true; }
    bool iTunesIsResponding(UInt32) override { return true; }
    bool trackAssigned(SInt64, SInt32, bool) override { return false; }
};

struct NoTempoNotifierTest : ::testing::Test {
    QApplication& app = viewTestApplication();
    VirtualScheduler scheduler;
    ScopedScheduler scoped{scheduler};
    FakeHost host;
    FakePlayer player;
    PlayerStatus model{host, player};
    NoTempoNotifier notifier{host, model};

    void newTrack(SInt32 bpm, const std::string& name = "Song") {
        player.track = makeTrack(7, bpm, name);
        player.track->mRating = 60;
        model.updateWithPlayerBridge();
    }
    // What one notice told, the window counted as "window".
    Log notice() {
        host.told.clear();
        notifier.notify();
        Log told = host.told;
        if (notifier.notifyWindow()) told.insert(told.begin(), "window");
        notifier.hideNotifyWindow();
        scheduler.advance(1000);
        return told;
    }
};

TEST_F(NoTempoNotifierTest, WhoIsToldAndHow) {
    const std::string missing = "notification BPM value is missing |  | Song does not have a BPM value.";
    const std::string unreliable =
        "notification BPM value is unreliable | Song has a BPM value that was not determined by Beatwick. | ";
    const struct {
        const char* what;
        SInt32 bpm;
        SInt64 type;
        bool frontmost, playerActive, onlyIfInactive, skeptical, keep, previously;
        Log told;
    } cases[] = {
        {"window, missing", 0, 1, false, false, false, false, true, false, {"window"}},
        {"notification, missing", 0, 0, false, false, false, false, true, false, {missing}},
        {"type 2: neither", 0, 2, false, false, false, false, true, false, {}},
        {"this program frontmost", 0, 1, true, false, false, false, true, false, {}},
        {"player active, told only when inactive", 0, 1, false, true, true, false, true, false, {}},
        {"player active, told anyway", 0, 1, false, true, false, false, true, false, {"window"}},
        {"a tempo, not skeptical", 120, 0, false, false, false, false, true, false, {}},
        {"a tempo, skeptical", 120, 0, false, false, false, true, true, false, {unreliable}},
        {"a tempo this program set", 120, 0, false, false, false, true, true, true, {}},
        {"a tempo, not keeping track", 120, 0, false, false, false, true, false, false, {}},
    };
    for (const auto& c : cases) {
        newTrack(c.bpm);
        host.flags = {{"DoNotify", true},
                      {"NotifyIfiTunesInactive", c.onlyIfInactive},
                      {"NotifyBPMSkeptical", c.skeptical}};
        host.numbers = {{"NotifyType", c.type}};
        host.frontmost = c.frontmost;
        host.playerActive = c.playerActive;
        host.keep = c.keep;
        host.previouslyAssigned = c.previously;
        EXPECT_EQ(notice(), c.told) << c.what;
    }
    host.flags["DoNotify"] = false;
    host.numbers["NotifyType"] = 1;
    newTrack(0);
    EXPECT_EQ(notice(), Log{}) << "notices off";
}

TEST_F(NoTempoNotifierTest, BounceAndSoundFollowTheirOwnSettings) {
    const struct {
        bool bounce, repeat, sound, soundRepeat;
        std::optional<std::string> name;
        Log told;
    } cases[] = {
        {true, true, false, false, "Tink", {"bounce critical"}},
        {true, false, true, false, "Tink", {"bounce once", "sound Tink"}},
        {false, false, true, true, "Tink", {}},
        {false, false, true, false, std::nullopt, {}},
    };
    newTrack(0);
    for (const auto& c : cases) {
        host.flags = {{"DoNotify", true},
                      {"NotifyBounceIcon", c.bounce},
                      {"NotifyBounceRepeat", c.repeat},
                      {"NotifyPlaySound", c.sound},
                      {"NotifySoundRepeat", c.soundRepeat}};
        host.numbers = {{"NotifyType", 2}};
        host.sound = c.name;
        EXPECT_EQ(notice(), c.told) << c.bounce << c.repeat << c.sound << c.soundRepeat;
    }
    host.frontmost = true;
    host.flags = {{"NotifyBounceIcon", true}, {"NotifyPlaySound", true}};
    EXPECT_EQ(notice(), Log{}) << "frontmost: no bounce and no sound either";
}

TEST_F(NoTempoNotifierTest, TheWindowShowsTheTrackAndLivesSevenSeconds) {
    host.flags = {{"DoNotify", true}};
    host.numbers = {{"NotifyType", 1}};
    host.halfStars = true;
    newTrack(0, "First");
    notifier.notify();
    NotifyNoBPMWindow* first = notifier.notifyWindow();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isOpen());
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(notifier.notifyNameField()->stringValue(), "First");
    EXPECT_EQ(notifier.notifyArtistField()->stringValue(), "Artist of First");
    EXPECT_EQ(notifier.notifyRatingView()->rating(), 60);
    EXPECT_TRUE(notifier.notifyRatingView()->halfStars());

    // A second track 5 seconds later: the first notice goes, the second gets its full 7 seconds.
    scheduler.advance(5000);
    newTrack(0, "Second");
    notifier.notify();
    NotifyNoBPMWindow* second = notifier.notifyWindow();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(notifier.notifyNameField()->stringValue(), "Second");
    EXPECT_EQ(notifier.notifyView()->window(), second) << "the panel moved to the new window";
    scheduler.advance(1000);  // the first window's fade ends and it is destroyed
    EXPECT_EQ(notifier.notifyView()->window(), second) << "destroying the old window kept the panel";
    scheduler.advance(5500);
    EXPECT_EQ(notifier.notifyWindow(), second) << "6.5 s: still shown";
    scheduler.advance(600);
    EXPECT_EQ(notifier.notifyWindow(), nullptr) << "7.1 s: hidden";
}

TEST_F(NoTempoNotifierTest, TheWindowFadesOutAndIsGoneAfterItsFade) {
    host.flags = {{"DoNotify", true}};
    host.numbers = {{"NotifyType", 1}};
    newTrack(0);
    notifier.notify();
    QPointer<NotifyNoBPMWindow> window = notifier.notifyWindow();
    ASSERT_TRUE(window);
    EXPECT_DOUBLE_EQ(window->alphaValue(), 1.0);
    notifier.hideNotifyWindow();
    ASSERT_TRUE(window) << "still there while it fades";
    EXPECT_FALSE(window->isOpen());
    scheduler.advance(125);
    EXPECT_GT(window->alphaValue(), 0.2);
    EXPECT_LT(window->alphaValue(), 0.8);
    scheduler.advance(200);
    EXPECT_FALSE(window) << "destroyed once faded";
    scheduler.advance(7000);
    EXPECT_EQ(scheduler.scheduledCount(), 0u) << "nothing left running once the notice's time is up";
}

TEST(NotifyNoBPMWindow, SitsTopRightNeverTakesTheKeyboardAndNeedsAView) {
    viewTestApplication();
    const NSRect frame = NotifyNoBPMWindow::frameForPanel({300, 80}, NSMakeRect(0, 0, 1440, 900), 1.0);
    EXPECT_EQ(frame.origin.x, 1120);
    EXPECT_EQ(frame.origin.y, 780);
    EXPECT_EQ(frame.size.width, 304);
    EXPECT_EQ(frame.size.height, 84);
    EXPECT_EQ(NotifyNoBPMWindow::initWithView(nullptr), nullptr);

    View panel(NSRect{{0, 0}, {300, 80}}, nullptr);
    auto window = NotifyNoBPMWindow::initWithView(&panel);
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->canBecomeKeyWindow());
    EXPECT_TRUE(window->isExcludedFromWindowsMenu());
    EXPECT_EQ(window->level(), NSFloatingWindowLevel);
    EXPECT_EQ(window->frameRect().size.width, 304);
    EXPECT_EQ(window->notifyFrame().origin.x, 2);
    // The panel: dark and 90% opaque inside, clear beyond the rounded corners.
    const QImage background = window->drawBackground();
    const QColor inside = background.pixelColor(150, 40);
    EXPECT_NEAR(inside.alphaF(), 0.9, 0.02);
    EXPECT_NEAR(inside.redF(), 0.12, 0.02);
    EXPECT_EQ(background.pixelColor(0, 0).alpha(), 0);
    window.reset();
    EXPECT_EQ(panel.parentWidget(), nullptr) << "the panel is handed back, not destroyed";
}

}  // namespace
