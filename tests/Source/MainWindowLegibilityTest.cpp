// The main window as a user reads it: every text reaches 4.5 : 1 and every icon 3 : 1 against
// what it is drawn on, and a disabled control's title or icon is dimmed, computed from the
// grabbed window in the states a user meets. The tap area's prompt is a watermark and stays soft.
#include <gtest/gtest.h>

#include <QPixmap>
#include <filesystem>
#include <sstream>

#include "Source/BPMBadgeView.h"
#include "Source/BPMTracker.h"
#include "Source/Controller.h"
#include "Source/ControllerEnvironment.h"
#include "Source/MetronomeView.h"
#include "Source/RatingView.h"
#include "Source/TapView.h"
#include "Source/Toolkit/TexturedSlider.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/SegmentedControl.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/Window.h"
#include "platform/Carbon/Clock.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/RunningApplication.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/Source/FakePlayer.h"
#include "tests/Source/InkContrast.h"
#include "tests/Source/ViewTestApplication.h"

namespace {

namespace fs = std::filesystem;

constexpr double kText = 4.5;
constexpr double kIcon = 3.0;

struct QuietEnvironment : ControllerEnvironment {
    std::function<void(const NSNotification&)> playerInfo;
    std::string supportFolder;
    bool launchPlayerWithPlayEvent() override { return true; }
    bool launchPlayer() override { return true; }
    bool probePlayer(pid_t, UInt32) override { return true; }
    void observePlayerInfo(std::function<void(const NSNotification&)> observer) override {
        playerInfo = std::move(observer);
    }
    void stopObservingPlayerInfo() override { playerInfo = nullptr; }
    void observeWorkspace(std::function<void(const NSRunningApplication&)>,
                          std::function<void(const NSRunningApplication&)>) override {}
    void stopObservingWorkspace() override {}
    std::optional<NSRunningApplication> activeApplication() override { return std::nullopt; }
    std::optional<XWindowID> activeWindow() override { return std::nullopt; }
    bool windowExists(XWindowID) override { return false; }
    bool activateWindow(XWindowID) override { return false; }
    SInt64 currentDate() override { return 1'000'000'000; }
    UInt32 currentModifierFlags() override { return 0; }
    void checkVersion(bool) override {}
    std::shared_ptr<UKSound> makeUKSound(const std::string&) override { return nullptr; }
    std::shared_ptr<NSSound> makeNSSound(const std::string&) override { return nullptr; }
    std::optional<std::string> applicationSupportDirectory() override { return supportFolder; }
    void terminateApplication() override {}
};

// The player is running, so the window shows its track.
struct PlayerRunning : RunningApplicationSource {
    std::vector<NSRunningApplication> runningApplications() const override {
        return {{"com.apple.iTunes", 4242, "iTunes"}};
    }
    bool activate(const NSRunningApplication&, unsigned) override { return true; }
    bool terminate(const NSRunningApplication&) override { return true; }
};

struct AnsweringPresenter : AlertPresenter {
    void present(const NSAlert&, Window*, std::function<void(NSModalResponse)> done) override {
        done(NSAlertFirstButtonReturn);
    }
};

// Faint: a disabled control's title or icon, and the tap area's watermark prompt.
enum class Look { Text, Icon, Faint };

// What a check reads: a rectangle of a widget, in the widget's own (y-down) pixels. Marks drawn
// on a background of the widget's own are rated against that; a widget that draws only its marks
// is rated against the window grabbed without it.
struct Check {
    std::string name;
    QWidget* widget;
    QRect area;  // empty: the whole widget
    Look look;
    bool ownBackground{false};
};

struct MainWindowLegibility : ::testing::Test {
    fs::path folder;
    std::unique_ptr<PreferencesStore> store;
    std::unique_ptr<NSUserDefaults> defaults;
    QuietEnvironment environment;
    FakePlayer player;
    ScopedRunningApplicationSource applications{std::make_shared<PlayerRunning>()};
    VirtualScheduler scheduler;
    std::unique_ptr<ScopedScheduler> scopedScheduler;
    AnsweringPresenter presenter;
    std::unique_ptr<Controller> controller;

    void SetUp() override {
        viewTestApplication();
        folder = fs::temp_directory_path() / ("legibility-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder / "support");
        environment.supportFolder = (folder / "support").string();
        store = std::make_unique<PreferencesStore>((folder / "prefs").string());
        defaults = std::make_unique<NSUserDefaults>(*store, "com.orvo.Beatwick");
        Controller::initialize(*defaults);
        defaults->setBool(false, "CheckForUpdates");
        scopedScheduler = std::make_unique<ScopedScheduler>(scheduler);
        AlertPresenter::setCurrent(&presenter);
        player.track = makeTrack(0x100, 0, "Morning Run");
        player.track->mRating = 60;
        player.track->mGenre = "Electronic";
        controller = std::make_unique<Controller>(
            Controller::Services{environment, player, *defaults, *store, Clock::system()});
        controller->awakeFromNib();
        controller->applicationWillFinishLaunching();
        controller->applicationDidFinishLaunching();
        controller->window()->show();
    }
    void TearDown() override {
        controller.reset();
        AlertPresenter::setCurrent(nullptr);
        fs::remove_all(folder);
    }

    void taps(int count, uint64_t gapMs) {
        for (int i = 0; i < count; ++i) controller->mainWindow().processTap(1'700'000'000'000ULL + gapMs * i);
    }

    void post(SInt64 id, const char* state, SInt32 bpm, const std::string& name) {
        player.track = makeTrack(id, bpm, name);
        PropertyList::Dictionary info{
            {"PersistentID", PropertyList(id)}, {"Player State", state}, {"Name", name}};
        ASSERT_TRUE(environment.playerInfo);
        environment.playerInfo(NSNotification{"com.apple.iTunes.playerInfo", nullptr, info});
        scheduler.advance(0);  // the notice's refresh at the end of the turn
    }

    // Grabs the whole window once and rates every check's marks.
    void expectLegible(const std::string& state, const std::vector<Check>& checks) {
        Window& window = *controller->window();
        const QImage image = window.grab().toImage();
        for (const Check& check : checks) {
            const QRect local = check.area.isEmpty() ? check.widget->rect() : check.area;
            const QRect region(check.widget->mapTo(&window, local.topLeft()), local.size());
            std::optional<QImage> bare;
            if (!check.ownBackground) {
                check.widget->hide();
                bare = window.grab().toImage();
                check.widget->show();
            }
            const std::vector<Mark> marks = marksIn(image, region, bare ? &*bare : nullptr);
            const std::string where = state + ", " + check.name;
            ASSERT_FALSE(marks.empty()) << where << ": nothing drawn";
            // A text's colour is its fullest pixel, whichever glyph has it: a thin glyph at 12
            // points covers no pixel fully. Each part of an icon must stand out by itself.
            const Mark* fullest = &marks.front();
            for (const Mark& m : marks)
                if (worstContrast(m.ink, m).first > worstContrast(fullest->ink, *fullest).first) fullest = &m;
            double weakest = 1e9, strongest = 0;
            std::string worst;
            for (const Mark& m : marks) {
                const QColor ink = check.look == Look::Icon ? m.ink : fullest->ink;
                const auto [ratio, background] = worstContrast(ink, m);
                strongest = std::max(strongest, worstContrast(m.ink, m).first);
                if (ratio >= weakest) continue;
                weakest = ratio;
                worst = rgb(ink) + " on " + rgb(background) + " at (" + std::to_string(m.box.x()) + "," +
                        std::to_string(m.box.y()) + ")";
            }
            std::ostringstream detail;
            detail << where << ": " << weakest << " : 1, " << worst << "; strongest part " << strongest
                   << " : 1";
            switch (check.look) {
                case Look::Text:
                    EXPECT_GE(weakest, kText) << detail.str();
                    break;
                case Look::Icon:
                    EXPECT_GE(weakest, kIcon) << detail.str();
                    break;
                case Look::Faint:
                    // Still there, and plainly fainter than anything a user is meant to act on.
                    EXPECT_LT(strongest, kIcon) << detail.str() << " (faint)";
                    EXPECT_GE(weakest, 1.5) << detail.str() << " (still visible)";
                    break;
            }
        }
    }

    // A two-part control's halves, without the divider between them and the bezel's edges.
    std::vector<Check> halves(const std::string& name, SegmentedControl* control, Look look) {
        const int w = control->width(), h = control->height(), half = w / 2;
        return {{name + " left", control, QRect(4, 4, half - 6, h - 8), look, true},
                {name + " right", control, QRect(half + 2, 4, w - half - 6, h - 8), look, true}};
    }
    Check apply(Look look) {
        Button* b = controller->mainWindow().applyBPMButton();
        return {"Apply", b, b->rect().adjusted(4, 4, -4, -4), look, true};
    }
    // The tap area above its metronome: the tempo's digits, with the check mark and runner when
    // they show; with its metronome, everything in it.
    Check tapArea(Look look, bool withMetronome) {
        TapView* tap = controller->mainWindow().tapView();
        // The tap area places its metronome under the digits when it draws.
        controller->window()->grab();
        const QWidget* metronome = tap->findChild<MetronomeView*>();
        const QRect area(0, 0, tap->width(), withMetronome ? tap->height() : metronome->y());
        return {withMetronome ? "tap area with its metronome" : "tempo", tap, area, look, true};
    }
    // The badge's rounded body, inside the view that also holds space beside it.
    Check badge(const std::string& name) {
        BPMBadgeView* view = controller->mainWindow().bpmBadgeView();
        const int width = static_cast<int>(view->badgeWidth(view->assigned()));
        return {name, view, QRect(2, 1, width - 4, view->height() - 2), Look::Text, true};
    }
};

TEST_F(MainWindowLegibility, EveryTextAndIconReadsAndDisabledControlsAreDimmed) {
    Controller& c = *controller;
    TexturedSlider* volume = static_cast<TexturedSlider*>(c.mainWindow().volumeSlider());
    std::vector<Check> idle = {
        {"back", c.mainWindow().backButton(), {}, Look::Icon},
        {"pause", c.mainWindow().playPauseButton(), {}, Look::Icon},
        {"forward", c.mainWindow().forwardButton(), {}, Look::Icon},
        {"skip", c.mainWindow().skipForwardButton(), {}, Look::Icon},
        {"skip next", c.mainWindow().skipNextButton(), {}, Look::Icon},
        {"quiet speaker", volume->minButton(), {}, Look::Icon},
        {"loud speaker", volume->maxButton(), {}, Look::Icon},
        {"metronome, disabled", c.mainWindow().metronomeButton(), {}, Look::Faint},
        apply(Look::Faint),
        {"name", c.mainWindow().nameField(), {}, Look::Text},
        {"artist", c.mainWindow().artistField(), {}, Look::Text},
        {"album", c.mainWindow().albumField(), {}, Look::Text},
        {"no tempo badge", c.mainWindow().bpmBadgeView(), {}, Look::Icon},
        {"rating", c.mainWindow().ratingView(), {}, Look::Icon},
        {"genre", c.mainWindow().genreButton(), {}, Look::Text},
        {"add to playlist", c.mainWindow().addToPlaylistButton(), {}, Look::Icon},
        {"prompt", c.mainWindow().tapView(), {}, Look::Faint, true},
    };
    for (auto& half : halves("½ ×2, disabled", c.mainWindow().halveDoubleBPMButton(), Look::Faint))
        idle.push_back(half);
    for (auto& half : halves("− +, disabled", c.mainWindow().plusMinusBPMButton(), Look::Faint))
        idle.push_back(half);
    expectLegible("a track without a tempo", idle);

    taps(5, 500);
    ASSERT_EQ(c.tracker().displayBPM(), 120);
    ASSERT_LT(c.tracker().accuracy(), 100);
    std::vector<Check> measuring = {{"metronome", c.mainWindow().metronomeButton(), {}, Look::Icon},
                                    apply(Look::Text),
                                    tapArea(Look::Text, false)};
    for (auto& half : halves("½ ×2", c.mainWindow().halveDoubleBPMButton(), Look::Text))
        measuring.push_back(half);
    for (auto& half : halves("− +", c.mainWindow().plusMinusBPMButton(), Look::Text))
        measuring.push_back(half);
    expectLegible("five taps, measuring", measuring);

    c.tracker().reset();
    taps(8, 660);
    ASSERT_EQ(c.tracker().displayBPM(), 90) << "in the runner's half range";
    ASSERT_EQ(c.tracker().accuracy(), 100);
    ASSERT_TRUE(c.mainWindow().assignBPMIsDefault());
    expectLegible("eight taps, settled", {apply(Look::Text), tapArea(Look::Icon, true)});

    c.mainWindow().applyBPMButton()->performClick();
    ASSERT_TRUE(c.mainWindow().bpmBadgeView()->assigned());
    expectLegible("applied", {badge("tagged badge"), apply(Look::Faint)});

    c.tracker().startStopMetronome();
    ASSERT_TRUE(c.tracker().metronomeIsPlaying());
    expectLegible("metronome playing",
                  {{"metronome stop", c.mainWindow().metronomeButton(), {}, Look::Icon}});
    c.tracker().startStopMetronome();

    post(0x200, "Paused", 128, "Evening Walk");
    c.mainWindow().playPauseButton()->setHighlighted(true);
    expectLegible(
        "a paused track tagged elsewhere, play pressed",
        {badge("untagged badge"), {"play, pressed", c.mainWindow().playPauseButton(), {}, Look::Icon}});
}

}  // namespace
