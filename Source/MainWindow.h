// The main window: the track panel, the tap area and the controls, built and owned here with the
// click sounds and the tempo tracker and its metronome. The tap area, the rating stars and the
// badge reach the tracker, the sounds and the user defaults here, without the controller; the
// controller hands the window the track to show (PlayerStatus), the state of the track's tempo
// (TrackVisit), the commands its buttons send and Assign. Main thread only, except where a member
// says otherwise.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Source/BPMBadgeViewHost.h"
#include "Source/BPMTrackerHost.h"
#include "Source/ClickSoundsHost.h"
#include "Source/MainWindowSettingsHost.h"
#include "Source/MetronomeHost.h"
#include "Source/RatingViewHost.h"
#include "Source/TapViewHost.h"

class ArtworkImageView;
class BPMBadgeView;
class BPMTracker;
class Button;
class ClickSounds;
class Clock;
class ControllerEnvironment;
class MainWindowSettings;
class NSUserDefaults;
class PlayerAccess;
class PlayerCommands;
class PlayerStatus;
class PlaylistMenus;
class PopUpButton;
class PreferencesStore;
class RatingView;
class SegmentedControl;
class Slider;
class TapView;
class TextField;
class TexturedSlider;
class TrackView;
class Window;

// The current track's tempo during this visit to it: the controller's assignment writes it, the
// window's buttons and badge show it.
struct TrackVisit {
    // This program set the track's BPM during this visit.
    bool currentTrackAssigned{false};
    // The BPM that Assign wrote; it counts while currentTrackAssigned is set.
    int assignedBPM{0};
    // The assigned-tracks list says this program set the track's stored BPM before.
    bool trackPreviouslyAssigned{false};
};

class MainWindow : public QObject,
                   public TapViewHost,
                   public RatingViewHost,
                   public BPMBadgeViewHost,
                   public BPMTrackerHost,
                   public MetronomeHost,
                   public ClickSoundsHost,
                   public MainWindowSettingsHost {
public:
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // None is owned; all must outlive the window.
    struct Services {
        NSUserDefaults& defaults;
        PreferencesStore& preferences;       // the player's "allow-half-stars", the window's frame
        ControllerEnvironment& environment;  // the click sounds' files
        Clock& clock;                        // the metronome's
        PlayerAccess& player;                // the rating stars rate its current track
        PlayerStatus& status;                // the track shown
        PlayerCommands& commands;            // the transport buttons and the volume slider
        PlaylistMenus& playlists;            // the genre and add-to-playlist pop-ups
        TrackVisit& visit;
        std::function<void()> assign;  // Apply
    };

    // The sounds, loaded, and the tracker with its metronome; the views come with build().
    explicit MainWindow(Services services);
    ~MainWindow() override;

    // Builds the window and its views, sets them up, and hears the settings' notices.
    void build();
    // The window's place and size from the preferences, else centred at its least size.
    void place();
    // Key and in front, the tap area taking the keys.
    void show();
    // The visible window, for sheets; else null.
    Window* sheetWindow() const;

    // The track panel from the track model.
    void updateTrackView();
    void updatePlayerControls();
    void updateControlsForWindowState();
    void adjustBPMBadgeLocation();
    // The genre pop-up from the genre list, the model's genre selected.
    void fillGenreButton();
    // The badge after an Assign.
    void showAssigned(SInt32 bpm);
    bool hasCurrentTrack() const override;

    // Tempo.
    BPMTracker& tracker() { return *fBPMTracker; }
    void processTap(uint64_t milliseconds) override;
    int currentDisplayBPM() const override;
    int currentAccuracy() const override;
    void halveBPM();
    void doubleBPM();
    void incrementBPM();
    void decrementBPM();
    // The metronome stops and the tap area starts a new bar.
    void stopMetronome();
    void updateBPM() override;
    void updateBPMButtons() override;
    bool assignBPMIsDefault() const override { return fAssignBPMIsDefault; }
    bool simulateAssignBPMClick(const NSEvent& event) override;
    bool waitingOnSimulatedKeypress() const override { return fWaitingOnSimulatedKeypress; }
    void setWaitingOnSimulatedKeypress(bool v) override { fWaitingOnSimulatedKeypress = v; }
    void setCurrentTrackAssigned(bool v) override { fVisit.currentTrackAssigned = v; }
    bool currentTrackAssigned() const override { return fVisit.currentTrackAssigned; }
    bool trackPreviouslyAssigned() const override { return fVisit.trackPreviouslyAssigned; }

    // Sounds. Any thread, as TempoDisplaySource says.
    long alternateBeat() const override;
    void playMetronomeClickForBeat(long beat) override;

    // Settings the preference panes announce.
    void windowStyleChanged();
    void halfStarRatingChanged();
    void updateMetronome();

    // The rating stars and the volume slider, for the player commands.
    bool ratingViewHasHalfStars() const;
    void showRating(SInt32 rating);
    SInt32 volumeSliderValue() const;
    void setVolumeSliderValue(SInt32 value);

    // The defaults reader of the sounds, the settings and the metronome.
    bool boolForKey(const std::string& key) override;
    SInt64 integerForKey(const std::string& key) override;
    std::optional<std::string> stringForKey(const std::string& key) override;

    // Outlets, for the program's own wiring and for tests.
    Window* window() const { return fWindow.get(); }
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
    Slider* volumeSlider() const;

private:
    void buildTrackPanel();
    void buildControls();
    void setUpControls();
    void observeNotifications();
    // After ½, ×2, − or +.
    void tempoStepped();
    void halveDoubleBPM();
    void adjustBPM();
    void showTrackGenre();

    // TapViewHost, RatingViewHost, BPMTrackerHost, MetronomeHost, ClickSoundsHost,
    // MainWindowSettingsHost.
    void pulse() override;
    void rateCurrentTrack(int rating) override;
    void ratingChanged(int rating) override;
    void setBeatNum(int beat) override;
    void animate(double secondsPerBeat) override;
    void stopAnimation() override;
    void performOnMainThread(std::function<void()> work) override;
    void postNotification(const std::string& name) override;
    std::unique_ptr<MetronomeTimer> scheduleTimer(double seconds, std::function<void()> fire) override;
    std::shared_ptr<UKSound> makeUKSound(const std::string& path) override;
    std::shared_ptr<NSSound> makeNSSound(const std::string& path) override;
    void setTapAreaPlaysClick(bool playClick) override;
    std::optional<PropertyList> playerPreference(const std::string& key) override;
    bool metronomeIsPlaying() override;

    NSUserDefaults& fDefaults;
    PreferencesStore& fPreferences;
    ControllerEnvironment& fEnvironment;
    PlayerAccess& fPlayer;
    PlayerStatus& fStatus;
    PlayerCommands& fCommands;
    PlaylistMenus& fPlaylists;
    TrackVisit& fVisit;
    std::function<void()> fAssign;

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
    std::unique_ptr<MainWindowSettings> fWindowSettings;

    std::unique_ptr<ClickSounds> fClickSounds;
    // After the sounds and the views: its metronome clicks and swings the pendulum until it goes.
    std::unique_ptr<BPMTracker> fBPMTracker;

    bool fPlayerCanPause{true};
    bool fAssignBPMIsDefault{false};
    bool fWaitingOnSimulatedKeypress{false};
};
