// The application's delegate: its life from launch to quit, the player monitor (the player's
// broadcast, its launch and quit, the liveness probe), tempo assignment with the assigned-tracks
// store, and the commands of the menus and hot keys. The main window shows what it is handed
// here. Main thread only.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "Source/AssignedTracks.h"
#include "Source/HotKeyActions.h"
#include "Source/HotKeyActionsHost.h"
#include "Source/MainMenu.h"
#include "Source/MainMenuHost.h"
#include "Source/MainWindow.h"
#include "Source/NoTempoNotifier.h"
#include "Source/NoTempoNotifierHost.h"
#include "Source/PlayerCommands.h"
#include "Source/PlayerCommandsHost.h"
#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "Source/PlaylistMenus.h"
#include "Source/PlaylistMenusHost.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/RunningApplication.h"

class Clock;
class ControllerEnvironment;
class FeedbackWindowController;
class HotKeyController;
class NSSound;
class NSUserDefaults;
class PlayerAccess;
class PlayerRulesHost;
class PreferencesStore;
class PrefsController;
class RulesController;
class VersionCheck;

class Controller : public QObject,
                   public PlayerStatusHost,
                   public PlayerCommandsHost,
                   public PlaylistMenusHost,
                   public NoTempoNotifierHost,
                   public MainMenuHost,
                   public HotKeyActionsHost {
    Q_OBJECT
public:
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    static constexpr const char* kPlayerBundleIdentifier = "com.apple.iTunes";
    // After a notice whose refresh the player left unanswered, the main thread does not wait on
    // the player again for this long, a request's time-out: the notices of that time are kept,
    // the latest refreshed at its end.
    static constexpr int64_t kUnansweredHoldMs = 2000;
    static constexpr const char* kHomepageURL = "https://www.orvo.example/beatwick/";
    static constexpr const char* kSupportURL = "https://www.orvo.example/beatwick/feedback/";

    // None is owned; all must outlive the controller.
    struct Services {
        ControllerEnvironment& environment;
        PlayerAccess& player;
        NSUserDefaults& defaults;
        PreferencesStore& preferences;       // "LastUpdateCheck", the player's "allow-half-stars"
        Clock& clock;                        // the metronome's
        HotKeyController* hotKeys{nullptr};  // the application's global hot keys, if any
    };

    // Registers the factory defaults from the bundle's "Defaults.plist".
    static void initialize(NSUserDefaults& defaults);

    // The model, the main window's sounds and tracker, the menus' units, "KeepTrack".
    explicit Controller(Services services);
    ~Controller() override;

    // Builds the main window and the menus once the player has had its first say, fills them,
    // launches the player if wanted and shows the window.
    void awakeFromNib();
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    void applicationWillTerminate();
    // Always false.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    void appDidActivate();
    void appDidResignActive();
    void appWasLaunched(const NSRunningApplication& application);
    void appWasTerminated(const NSRunningApplication& application);
    // The player's notice: kept as the latest one, refreshed at the end of this main-loop turn
    // (notices that come meanwhile replace it), or at the end of a hold (kUnansweredHoldMs).
    void trackChanged(const NSNotification& notification);
    // "DoUIAlert" from the network worker: the numbered alert its record names.
    void doUIAlert(const NSNotification& notification);
    // Notices are being held because the player left a refresh unanswered.
    bool holdingPlayerNotices() const { return fHoldTask != 0; }
    // A notice waits for its refresh at the end of this main-loop turn.
    bool playerNoticePending() const { return fNoticeTask != 0; }
    bool iTunesIsRunning() override;
    bool iTunesIsActive() override;
    bool iTunesIsResponding(UInt32 ticks) override;
    void showMainWindow() override { fMainWindow->show(); }

    MainWindow& mainWindow() { return *fMainWindow; }
    Window* window() const { return fMainWindow->window(); }
    BPMTracker& tracker() { return fMainWindow->tracker(); }
    PlayerStatus& playerStatus() { return *fPlayerStatus; }
    bool hasCurrentTrack() const override { return fMainWindow->hasCurrentTrack(); }

    // Tempo assignment.
    bool trackAssigned(SInt64 persistentID, SInt32 bpm, bool updateValue) override;
    void applyBPM();
    bool currentTrackAssigned() const { return fVisit.currentTrackAssigned; }
    void setCurrentTrackAssigned(bool v) { fVisit.currentTrackAssigned = v; }
    bool trackPreviouslyAssigned() const override { return fVisit.trackPreviouslyAssigned; }
    bool didLaunchiTunes() const { return fDidLaunchiTunes; }
    bool keepTrack() const override { return fKeepTrack; }
    // nullptr while "KeepTrack" is off.
    const AssignedTracks* assignments() const { return fAssignments.get(); }

    // The units behind the menus, the window's buttons and the hot keys.
    PlayerCommands& playerCommands() { return *fPlayerCommands; }
    PlaylistMenus& playlistMenus() { return *fPlaylistMenus; }
    NoTempoNotifier& notifier() { return *fNotifier; }
    HotKeyActions& hotKeyActions() { return *fHotKeyActions; }
    MainMenu& mainMenu() { return *fMainMenu; }
    PrefsController& prefsController() { return *fPrefsController; }
    // The rule store over this controller's defaults, made on first use; the engine runs it
    // after each assignment and the rules pane edits it.
    RulesController& rulesController();
    // The player as the rules reach it.
    PlayerRulesHost& rulesHost() { return *fRulesHost; }

    // Menus.
    void performMenuCommand(MenuCommand command) override;
    PlayState menuPlayState() override { return fPlayerStatus->playState(); }
    bool metronomeIsPlaying() override;
    int menuDisplayedBPM() override;
    bool mainWindowIsVisible() override;
    std::optional<PropertyList::Dictionary> storedShortcuts() override;
    void storeShortcuts(const PropertyList::Dictionary& shortcuts) override;
    // The form being opened; empty once it is shown, since a shown form owns itself.
    FeedbackWindowController* feedbackController() const { return fFeedbackController; }

    // PlaylistMenusHost. The accessibility check has no counterpart on this desktop: it answers yes.
    bool accessibilityEnabled() override { return true; }
    Window* sheetWindow() override { return fMainWindow->sheetWindow(); }
    void openFile(const std::string& path) override;
    void genresChanged() override { fMainWindow->fillGenreButton(); }

    // The defaults reader of the commands and the notifier.
    bool boolForKey(const std::string& key) override;
    SInt64 integerForKey(const std::string& key) override;
    std::optional<std::string> stringForKey(const std::string& key) override;

    // NoTempoNotifierHost.
    bool applicationIsActive() override;
    void requestUserAttention(bool critical) override;
    void playSystemSound(const std::string& name) override;
    void deliverUserNotification(const std::string& title, const std::string& subtitle,
                                 const std::string& informativeText) override;
    bool ratingViewHasHalfStars() override { return fMainWindow->ratingViewHasHalfStars(); }

    // PlayerCommandsHost.
    void beep() override;
    UInt32 currentModifierFlags() override;
    void showRating(SInt32 rating) override { fMainWindow->showRating(rating); }
    void ratingChanged(SInt32 rating) override { fPlayerStatus->setTrackRating(rating); }
    SInt32 volumeSliderValue() override { return fMainWindow->volumeSliderValue(); }
    void setVolumeSliderValue(SInt32 value) override { fMainWindow->setVolumeSliderValue(value); }
    bool playerIsRunning() override { return iTunesIsRunning(); }
    void launchPlayer() override;
    void activatePlayer() override;

    // HotKeyActionsHost (with showMainWindow).
    std::optional<XWindowID> activeWindow() override;
    void activateIgnoringOtherApps() override;

private:
    void showFeedbackForm(bool isFeedback);
    void showPreferenceWindow();
    void showAboutWindow();
    // While the main window floats it would cover Beatwick's other windows too: they are then
    // transient for it, which keeps them above it.
    void keepAboveMainWindow(Window& window);
    void windowStyleChanged();
    void iTunesLaunched();
    void iTunesTerminated();
    void refreshForNotification(const NSNotification& notification);
    void refreshForLatestNotice();
    void holdPlayerNotices();
    void dropHeldPlayerNotices();
    void wireMainWindow();
    void buildMenus();
    void loadAssignments();
    // applyBPM's work, inside one refresh of the player.
    void assignDisplayedBPM();
    void assignBPMFailed();
    void observeNotifications();
    // The tracker's start for the model's track: 100 when previously assigned, else 10.
    void loadTempoOfCurrentTrack(bool resetTracker);
    void launchPlayerIfWanted();
    void attachAddToPlaylistMenu();
    // Rebuilds the list from the player and refills the genre pop-up.
    void getGenreList();
    void applyRules();
    void establishKeyEquivalents();
    void followKeyboardLayout();

    ControllerEnvironment& fEnvironment;
    PlayerAccess& fPlayer;
    NSUserDefaults& fDefaults;
    PreferencesStore& fPreferences;
    HotKeyController* fHotKeys;

    std::unique_ptr<AssignedTracks> fAssignments;
    TrackVisit fVisit;

    std::unique_ptr<PlayerStatus> fPlayerStatus;
    std::unique_ptr<PlayerCommands> fPlayerCommands;
    std::unique_ptr<NoTempoNotifier> fNotifier;
    // Before the menus and the window: the commands menu's playlists submenu and the window's
    // pop-ups call back into it.
    std::unique_ptr<PlaylistMenus> fPlaylistMenus;
    // Before the menus: the menu bar and the shortcuts live in its window.
    std::unique_ptr<MainWindow> fMainWindow;
    std::unique_ptr<MainMenu> fMainMenu;
    MenuShortcuts fMenuShortcuts;
    // Binds the key equivalents anew when the keyboard layout changes.
    std::unique_ptr<KeyboardLayoutObserver> fLayoutObserver;
    std::unique_ptr<HotKeyActions> fHotKeyActions;

    // The latest notice not yet refreshed; the refresh due at the end of this turn and the hold
    // after an unanswered refresh (0 when there is none).
    std::optional<NSNotification> fHeldNotice;
    uint64_t fNoticeTask{0};
    uint64_t fHoldTask{0};

    std::unique_ptr<PlayerRulesHost> fRulesHost;
    std::unique_ptr<RulesController> fRules;
    // After the rules: its Rules pane works on them until it goes.
    std::unique_ptr<PrefsController> fPrefsController;

    bool fKeepTrack{true};
    bool fDidLaunchiTunes{false};
    FeedbackWindowController* fFeedbackController{nullptr};
    std::unique_ptr<VersionCheck> fVersionCheck;
    std::shared_ptr<NSSound> fWakeUpNSSound;
};
