// The application's delegate and the owner of the main window: its life from launch to quit, the
// player monitor (the player's broadcast, its launch and quit, the liveness probe), the track
// display, tempo assignment with the assigned-tracks store, and the click sounds. It hosts the
// tracker, the metronome, the track model and the window's views. Main thread only, except
// where a member says otherwise.
#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "Source/AssignedTracks.h"
#include "Source/BPMBadgeViewHost.h"
#include "Source/BPMTrackerHost.h"
#include "Source/ClickSoundsHost.h"
#include "Source/HotKeyActions.h"
#include "Source/HotKeyActionsHost.h"
#include "Source/MainMenu.h"
#include "Source/MainMenuHost.h"
#include "Source/MainWindowSettingsHost.h"
#include "Source/MetronomeHost.h"
#include "Source/NoTempoNotifier.h"
#include "Source/NoTempoNotifierHost.h"
#include "Source/PlayerCommands.h"
#include "Source/PlayerCommandsHost.h"
#include "Source/PlayerStatus.h"
#include "Source/PlayerStatusHost.h"
#include "Source/PlaylistMenus.h"
#include "Source/PlaylistMenusHost.h"
#include "Source/Preferences/RulesPrefsControllerHost.h"
#include "Source/RatingViewHost.h"
#include "Source/RulesControllerHost.h"
#include "Source/TapViewHost.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/RunningApplication.h"

class ArtworkImageView;
class BPMBadgeView;
class BPMTracker;
class ClickSounds;
class MainWindowSettings;
class Button;
class NSMenu;
class UserPlaylists;
class ControllerEnvironment;
class FeedbackWindowController;
class NSSound;
class NSUserDefaults;
class NewVersionAlert;
class PlayerAccess;
class PopUpButton;
class PreferencesStore;
class PrefsController;
class RulesController;
class RatingView;
class SegmentedControl;
class Slider;
class TapView;
class TextField;
class TexturedSlider;
class TrackView;
class UKSound;
class Window;
class Clock;
class HotKeyController;

class Controller : public QObject,
                   public BPMTrackerHost,
                   public MetronomeHost,
                   public TapViewHost,
                   public RatingViewHost,
                   public BPMBadgeViewHost,
                   public PlayerStatusHost,
                   public PlayerCommandsHost,
                   public PlaylistMenusHost,
                   public NoTempoNotifierHost,
                   public MainMenuHost,
                   public RulesControllerHost,
                   public RulesPrefsControllerHost,
                   public ClickSoundsHost,
                   public MainWindowSettingsHost,
                   public HotKeyActionsHost {
    Q_OBJECT
public:
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    static constexpr const char* kPlayerBundleIdentifier = "com.apple.iTunes";
    static constexpr SInt64 kUpdateCheckInterval = 604800;
    // After a notice whose refresh the player left unanswered, the main thread does not wait on
    // the player again for this long, a request's time-out: the notices of that time are kept,
    // the latest refreshed at its end.
    static constexpr int64_t kUnansweredHoldMs = 2000;

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

    // init: the model, the tracker with its metronome, the sounds, "KeepTrack".
    explicit Controller(Services services);
    ~Controller() override;

    // Builds the main window and its views (the layout), then wires and fills them.
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
    // The version check found a newer version ("DoUIUpdate"), asked for or weekly.
    void newVersionAvailable(bool forMajorUpdate);
    NewVersionAlert* newVersionAlert() const { return fNewVersionAlert.get(); }
    // Notices are being held because the player left a refresh unanswered.
    bool holdingPlayerNotices() const { return fHoldTask != 0; }
    // A notice waits for its refresh at the end of this main-loop turn.
    bool playerNoticePending() const { return fNoticeTask != 0; }
    void iTunesLaunched();
    void iTunesTerminated();
    bool iTunesIsRunning() override;
    bool iTunesIsActive() override;
    bool iTunesIsResponding(UInt32 ticks) override;
    void showMainWindow() override;
    Window* window() const { return fWindow.get(); }

    // Track display.
    void updateTrackView();
    void updatePlayerControls();
    void updateControlsForWindowState();
    void adjustBPMBadgeLocation();
    bool hasCurrentTrack() const override;
    PlayerStatus& playerStatus() { return *fPlayerStatus; }

    // Tempo assignment.
    bool trackAssigned(SInt64 persistentID, SInt32 bpm, bool updateValue) override;
    void applyBPM();
    void assignBPMFailed();
    void updateBPMButtons() override;
    bool simulateAssignBPMClick(const NSEvent& event) override;
    bool assignBPMIsDefault() const override { return fAssignBPMIsDefault; }
    void setAssignBPMIsDefault(bool v) { fAssignBPMIsDefault = v; }
    bool waitingOnSimulatedKeypress() const override { return fWaitingOnSimulatedKeypress; }
    void setWaitingOnSimulatedKeypress(bool v) override { fWaitingOnSimulatedKeypress = v; }
    bool currentTrackAssigned() const override { return fCurrentTrackAssigned; }
    void setCurrentTrackAssigned(bool v) override { fCurrentTrackAssigned = v; }
    bool trackPreviouslyAssigned() const override { return fTrackPreviouslyAssigned; }
    void setTrackPreviouslyAssigned(bool v) { fTrackPreviouslyAssigned = v; }
    bool didLaunchiTunes() const { return fDidLaunchiTunes; }
    bool keepTrack() const override { return fKeepTrack; }
    // nullptr while "KeepTrack" is off.
    const AssignedTracks* assignments() const { return fAssignments.get(); }

    // Tempo interface.
    void processTap(uint64_t milliseconds) override;
    int currentBPM() const;
    // Any thread: the metronome's driver reads it.
    int currentDisplayBPM() const override;
    int currentDisplayBPM() override { return std::as_const(*this).currentDisplayBPM(); }
    int currentAccuracy() const override;
    // Any thread.
    long alternateBeat() const override;
    long alternateBeat() override { return std::as_const(*this).alternateBeat(); }
    void halveBPM();
    void doubleBPM();
    void incrementBPM();
    void decrementBPM();
    void halveDoubleBPM();
    void adjustBPM();
    void startStopMetronome();
    void setBeatNum(int beat) override;
    void updateBPM() override;
    void pulse() override;
    void animate(double secondsPerBeat) override;
    void stopAnimation() override;
    BPMTracker& tracker() { return *fBPMTracker; }

    // Sounds.
    ClickSounds& clickSounds() { return *fClickSounds; }
    void updateTapSound();
    void updateAlternateSound();
    void updateSoundOptions();
    void playMetronomeClickOnly();
    void playMetronomeClick();
    // Main thread (taps) and the metronome's driver thread (beats).
    void playMetronomeClickForBeat(long beat) override;
    void audioQueueNotWorking();
    bool audioQueueScrewedUp() const;
    void setAudioQueueScrewedUp(bool v);

    // ClickSoundsHost (with boolForKey, integerForKey, stringForKey and pulse).
    std::shared_ptr<UKSound> makeUKSound(const std::string& path) override;
    std::shared_ptr<NSSound> makeNSSound(const std::string& path) override;
    void setTapAreaPlaysClick(bool playClick) override;

    // Window settings and the metronome button; made with the window.
    MainWindowSettings* windowSettings() const { return fWindowSettings.get(); }
    void windowStyleChanged();
    void halfStarRatingChanged();
    void updateMetronome();
    void updateSkipChanged() { setupSkipTooltips(); }
    void setupSkipTooltips();
    void updateMinMaxBPM();
    void updateMetronomeStyle();

    // MainWindowSettingsHost (with boolForKey, stringForKey and metronomeIsPlaying).
    std::optional<PropertyList> playerPreference(const std::string& key) override;

    // Hot key 1: remember the active window and come forward.
    void hotKey1Action() { fHotKeyActions->hotKey1Action(); }
    void hotKey2Action() { fHotKeyActions->hotKey2Action(); }
    std::optional<XWindowID> previousWindow() const { return fHotKeyActions->previousWindow(); }

    // HotKeyActionsHost (with showMainWindow).
    std::optional<XWindowID> activeWindow() override;
    void activateIgnoringOtherApps() override;

    // Player commands: the window's buttons, the menus and their shortcuts send them with a
    // sender; the assignment moves on without one.
    PlayerCommands& playerCommands() { return *fPlayerCommands; }
    void previousTrack() { fPlayerCommands->previousTrack(); }
    void pausePlayTrack() { fPlayerCommands->pausePlayTrack(); }
    void nextTrack(PlayerCommands::Sender sender = PlayerCommands::Sender::None) {
        fPlayerCommands->nextTrack(sender);
    }
    void nextPlusSkipForward(PlayerCommands::Sender sender = PlayerCommands::Sender::None) {
        fPlayerCommands->nextPlusSkipForward(sender);
    }
    void skipForward() { fPlayerCommands->skipForward(); }
    void skipBack() { fPlayerCommands->skipBack(); }
    void ratingUp() { fPlayerCommands->ratingUp(); }
    void ratingDown() { fPlayerCommands->ratingDown(); }
    void volumeUp() { fPlayerCommands->volumeUp(); }
    void volumeDown() { fPlayerCommands->volumeDown(); }
    void volumeChanged() { fPlayerCommands->volumeChanged(); }
    void switchToiTunes() { fPlayerCommands->switchToiTunes(); }
    Slider* volumeSlider() const;

    // RatingViewHost (and the commands' model side of a rating).
    void rateCurrentTrack(int rating) override;
    void ratingChanged(int rating) override;

    // Menus.
    MainMenu& mainMenu() { return *fMainMenu; }
    void performMenuCommand(MenuCommand command) override;
    PlayState menuPlayState() override { return fPlayerStatus->playState(); }
    bool metronomeIsPlaying() override;
    int menuDisplayedBPM() override;
    bool mainWindowIsVisible() override;
    std::optional<PropertyList::Dictionary> storedShortcuts() override;
    void storeShortcuts(const PropertyList::Dictionary& shortcuts) override;
    // Commands whose windows come later.
    void checkForNewVersion();
    void showPreferenceWindow();
    PrefsController& prefsController() { return *fPrefsController; }
    void showFeedbackWindow() { showFeedbackForm(true); }
    void showSupportWindow() { showFeedbackForm(false); }
    // The form being opened; empty once it is shown, since a shown form owns itself.
    FeedbackWindowController* feedbackController() const { return fFeedbackController; }
    // About and the maker's web pages.
    void showAboutWindow();
    void linkHomepage();
    void linkSupport();
    void linkAppStore();
    static constexpr const char* kHomepageURL = "https://www.orvo.example/beatwick/";
    static constexpr const char* kSupportURL = "https://www.orvo.example/beatwick/feedback/";
    static constexpr const char* kAppStoreURL = "https://www.orvo.example/beatwick/download/";
    // Ends the program as the window's close button does.
    void terminate();

    // Playlists, genres and Get Info.
    PlaylistMenus& playlistMenus() { return *fPlaylistMenus; }
    std::vector<std::string> playlists() { return fPlaylistMenus->playlists(); }
    std::vector<SInt64> playlistIDs() { return fPlaylistMenus->playlistIDs(); }
    void menuNeedsUpdate(NSMenu& menu) { fPlaylistMenus->menuNeedsUpdate(menu); }
    void addToPlaylistFromMenu(long tag) { fPlaylistMenus->addToPlaylistFromMenu(tag); }
    void addToPlaylist() { fPlaylistMenus->addToPlaylist(); }
    void addToPlaylistFailed() { fPlaylistMenus->addToPlaylistFailed(); }
    std::vector<std::string> genres() { return fPlaylistMenus->genres(); }
    // Rebuilds the list from the player and refills the genre pop-up.
    void getGenreList();
    void getGenreListFailed() { fPlaylistMenus->getGenreListFailed(); }
    void selectGenre();
    void getTrackInfo() { fPlaylistMenus->getTrackInfo(); }
    void getTrackInfoFailed() { fPlaylistMenus->getTrackInfoFailed(); }
    void openUniversalAccessPrefs() { fPlaylistMenus->openUniversalAccessPrefs(); }

    // PlaylistMenusHost. The accessibility check has no counterpart here: it answers yes.
    bool accessibilityEnabled() override { return true; }
    Window* sheetWindow() override;
    void openFile(const std::string& path) override;
    void genresChanged() override;

    // The rule store over this controller's defaults, made on first use; the engine runs it
    // after each assignment and the rules pane edits it.
    RulesController& rulesController();

    // RulesControllerHost.
    std::shared_ptr<PlayerPlaylist> playlistWithPersistentId(SInt64 persistentId) override;
    std::shared_ptr<PlayerTrack> trackInPlaylist(const PlayerPlaylist& playlist,
                                                 SInt64 trackPersistentId) override;
    std::optional<std::string> pathOfTrack(const PlayerTrack& track) override;
    SInt16 addTrackPath(const std::string& path, const PlayerPlaylist& playlist) override;
    void removeTrack(const PlayerTrack& track, const PlayerPlaylist& playlist) override;
    void runGetInfoScript() override;

    // RulesPrefsControllerHost (with accessibilityEnabled above).
    std::vector<UserPlaylist> userPlaylists() override;
    void openAccessibilitySettings() override { openUniversalAccessPrefs(); }

    // No-tempo notices.
    void notify() { fNotifier->notify(); }
    void showNotifyWindow() { fNotifier->showNotifyWindow(); }
    void hideNotifyWindow() { fNotifier->hideNotifyWindow(); }
    NoTempoNotifier& notifier() { return *fNotifier; }

    // NoTempoNotifierHost.
    SInt64 integerForKey(const std::string& key) override;
    bool applicationIsActive() override;
    void requestUserAttention(bool critical) override;
    void playSystemSound(const std::string& name) override;
    void deliverUserNotification(const std::string& title, const std::string& subtitle,
                                 const std::string& informativeText) override;

    // PlayerCommandsHost.
    void beep() override;
    UInt32 currentModifierFlags() override;
    std::optional<std::string> stringForKey(const std::string& key) override;
    bool ratingViewHasHalfStars() override;
    void showRating(SInt32 rating) override;
    SInt32 volumeSliderValue() override;
    void setVolumeSliderValue(SInt32 value) override;
    bool playerIsRunning() override { return iTunesIsRunning(); }
    void launchPlayer() override;
    void activatePlayer() override;

    // MetronomeHost.
    void performOnMainThread(std::function<void()> work) override;
    void postNotification(const std::string& name) override;
    bool boolForKey(const std::string& key) override;
    std::unique_ptr<MetronomeTimer> scheduleTimer(double seconds, std::function<void()> fire) override;

    // Outlets, for the program's own wiring and for tests.
    TapView* tapView() const { return fTapView; }
    TrackView* trackView() const { return fTrackView; }
    Button* applyBPMButton() const { return fApplyBPMButton; }
    Button* metronomeButton() const { return fMetronomeButton; }
    Button* backButton() const { return fBackButton; }
    Button* forwardButton() const { return fForwardButton; }
    Button* playPauseButton() const { return fPlayPauseButton; }
    Button* skipForwardButton() const { return fSkipForwardButton; }
    Button* skipNextButton() const { return fSkipNextButton; }
    SegmentedControl* halveDoubleBPMButton() const { return fHalveDoubleBPMButton; }
    SegmentedControl* plusMinusBPMButton() const { return fPlusMinusBPMButton; }
    TextField* nameField() const { return fNameField; }
    TextField* artistField() const { return fArtistField; }
    TextField* albumField() const { return fAlbumField; }
    RatingView* ratingView() const { return fRatingView; }
    BPMBadgeView* bpmBadgeView() const { return fBPMBadgeView; }
    PopUpButton* genreButton() const { return fGenreButton; }
    PopUpButton* addToPlaylistButton() const { return fAddToPlaylistButton; }

private:
    void showFeedbackForm(bool isFeedback);
    // While the main window floats it would cover Beatwick's other windows too: they are then
    // transient for it, which keeps them above it.
    void keepAboveMainWindow(Window& window);
    void refreshForNotification(const NSNotification& notification);
    void refreshForLatestNotice();
    void holdPlayerNotices();
    void dropHeldPlayerNotices();
    static std::unique_ptr<UserPlaylists> makeLibraryPlaylists();
    void saveAssignmentsLeftPending();
    void buildMainWindow();
    // awakeFromNib's steps.
    void wireMainWindow();
    // applyBPM's steps.
    void assignDisplayedBPM();
    // After ½, ×2, − or +.
    void tempoStepped();
    void observeNotifications();
    // The tracker's start for the model's track: 100 when previously assigned, else 10.
    void loadTempoOfCurrentTrack(bool resetTracker);
    void launchPlayerIfWanted();
    // The playlists' submenu goes after Get Info in the commands menu.
    static constexpr long kGetInfoMenuTag = 209;
    void attachAddToPlaylistMenu();
    // The genre pop-up from the genre list, the model's genre selected.
    void fillGenreButton();
    void showTrackGenre();
    void checkForUpdates();
    void placeMainWindow();
    void applyRules();
    // Least bodies of operations that later work fills in.
    // The menus are built with the window.
    void initMenus() {}
    void establishKeyEquivalents();
    void followKeyboardLayout();

    ControllerEnvironment& fEnvironment;
    PlayerAccess& fPlayer;
    NSUserDefaults& fDefaults;
    PreferencesStore& fPreferences;
    Clock& fClock;
    HotKeyController* fHotKeys;

    std::unique_ptr<AssignedTracks> fAssignments;

    std::unique_ptr<Window> fWindow;
    ArtworkImageView* fArtworkView{nullptr};
    TextField* fNameField{nullptr};
    TextField* fArtistField{nullptr};
    TextField* fAlbumField{nullptr};
    TexturedSlider* fVolumeSlider{nullptr};
    TrackView* fTrackView{nullptr};
    TapView* fTapView{nullptr};
    RatingView* fRatingView{nullptr};
    BPMBadgeView* fBPMBadgeView{nullptr};
    Button* fBackButton{nullptr};
    Button* fForwardButton{nullptr};
    Button* fPlayPauseButton{nullptr};
    Button* fSkipForwardButton{nullptr};
    Button* fSkipNextButton{nullptr};
    PopUpButton* fAddToPlaylistButton{nullptr};
    PopUpButton* fGenreButton{nullptr};
    Button* fApplyBPMButton{nullptr};
    Button* fMetronomeButton{nullptr};
    SegmentedControl* fHalveDoubleBPMButton{nullptr};
    SegmentedControl* fPlusMinusBPMButton{nullptr};

    std::unique_ptr<PlayerStatus> fPlayerStatus;
    std::unique_ptr<BPMTracker> fBPMTracker;
    std::unique_ptr<PlayerCommands> fPlayerCommands;
    std::unique_ptr<NoTempoNotifier> fNotifier;
    // Before the menus: the commands menu's playlists submenu calls back into it.
    std::unique_ptr<PlaylistMenus> fPlaylistMenus;
    std::unique_ptr<MainMenu> fMainMenu;
    MenuShortcuts fMenuShortcuts;
    // Binds the key equivalents anew when the keyboard layout changes.
    std::unique_ptr<KeyboardLayoutObserver> fLayoutObserver;
    std::unique_ptr<ClickSounds> fClickSounds;
    std::unique_ptr<MainWindowSettings> fWindowSettings;
    std::unique_ptr<HotKeyActions> fHotKeyActions;

    // The latest notice not yet refreshed; the refresh due at the end of this turn and the hold
    // after an unanswered refresh (0 when there is none).
    std::optional<NSNotification> fHeldNotice;
    uint64_t fNoticeTask{0};
    uint64_t fHoldTask{0};

    std::unique_ptr<RulesController> fRules;
    // After the rules: its Rules pane works on them until it goes.
    std::unique_ptr<PrefsController> fPrefsController;

    bool fKeepTrack{true};
    bool fPlayerCanPause{true};
    bool fAssignBPMIsDefault{false};
    bool fCurrentTrackAssigned{false};
    // The BPM the Assign of this visit wrote; it counts while fCurrentTrackAssigned is set.
    int fAssignedBPM{0};
    bool fTrackPreviouslyAssigned{false};
    bool fDidLaunchiTunes{false};
    FeedbackWindowController* fFeedbackController{nullptr};
    std::unique_ptr<NewVersionAlert> fNewVersionAlert;
    bool fWaitingOnSimulatedKeypress{false};
    std::shared_ptr<NSSound> fWakeUpNSSound;
};
