#include "Source/MainWindow.h"

#include "Source/ArtworkImageView.h"
#include "Source/BPMBadgeView.h"
#include "Source/BPMTracker.h"
#include "Source/ClickSounds.h"
#include "Source/ControllerEnvironment.h"
#include "Source/MainWindowSettings.h"
#include "Source/Metronome.h"
#include "Source/PlayerAccess.h"
#include "Source/PlayerBridge/PlayerLocator.h"
#include "Source/PlayerCommands.h"
#include "Source/PlayerStatus.h"
#include "Source/PlaylistMenus.h"
#include "Source/RatingView.h"
#include "Source/TapView.h"
#include "Source/Toolkit/ClickAndHoldButtonCell.h"
#include "Source/Toolkit/GenrePopupButtonCell.h"
#include "Source/Toolkit/GradientButtonCell.h"
#include "Source/Toolkit/GradientSegmentedCell.h"
#include "Source/Toolkit/TexturedSlider.h"
#include "Source/TrackView.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/SegmentedControl.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/WidgetFrame.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/Scheduler.h"
#include "platform/Foundation/Timer.h"
#include "platform/Foundation/UserDefaults.h"

namespace {

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

// A metronome timer on the run loop; destroying it cancels it.
class RunLoopTimer : public MetronomeTimer {
public:
    RunLoopTimer(double seconds, std::function<void()> fire)
        : mTimer(NSTimer::scheduledTimerWithTimeInterval(seconds,
                                                         [fire = std::move(fire)](NSTimer&) { fire(); })) {}
    ~RunLoopTimer() override { mTimer->invalidate(); }
    bool isValid() const override { return mTimer->isValid(); }
    void setFireDate(double secondsFromNow) override {
        mTimer->setFireDate(Scheduler::current().now() + static_cast<int64_t>(secondsFromNow * 1000.0));
    }
    void invalidate() override { mTimer->invalidate(); }

private:
    std::shared_ptr<NSTimer> mTimer;
};

constexpr NSSize kMainWindowSize{420, 400};

}  // namespace

MainWindow::MainWindow(Services services)
    : fDefaults(services.defaults),
      fPreferences(services.preferences),
      fEnvironment(services.environment),
      fPlayer(services.player),
      fStatus(services.status),
      fCommands(services.commands),
      fPlaylists(services.playlists),
      fVisit(services.visit),
      fAssign(std::move(services.assign)) {
    fClickSounds = std::make_unique<ClickSounds>(*this);
    fClickSounds->updateTapSound();
    fClickSounds->updateAlternateSound();
    fBPMTracker = std::make_unique<BPMTracker>(*this, std::make_unique<Metronome>(*this, services.clock));
}

MainWindow::~MainWindow() {
    NSNotificationCenter::defaultCenter().removeObserver(this);
    // The tracker's metronome clicks and draws through this object: it goes first, its driver
    // thread stopped before the pointer that thread reads through changes.
    if (fBPMTracker) fBPMTracker->stopMetronome();
    fBPMTracker.reset();
}

// ---------------------------------------------------------------------------------------------
// The layout.

void MainWindow::build() {
    fWindow = std::make_unique<Window>(kMainWindowSize);
    fWindow->setTitle("Beatwick");
    buildTrackPanel();
    buildControls();
    // The track panel stays along the top, the controls along the bottom; the tap area grows.
    const struct {
        QWidget* view;
        unsigned mask;
    } masks[] = {
        {fTrackView, NSViewWidthSizable | NSViewMinYMargin},
        {fArtworkView, NSViewMinYMargin},
        {fNameField, NSViewWidthSizable | NSViewMinYMargin},
        {fArtistField, NSViewWidthSizable | NSViewMinYMargin},
        {fAlbumField, NSViewWidthSizable | NSViewMinYMargin},
        {fBPMBadgeView, NSViewMinYMargin},
        {fRatingView, NSViewMinYMargin},
        {fGenreButton, NSViewMinXMargin | NSViewMinYMargin},
        {fAddToPlaylistButton, NSViewMinXMargin | NSViewMinYMargin},
        {fTapView, NSViewWidthSizable | NSViewHeightSizable},
        {fApplyBPMButton, NSViewMinXMargin},
    };
    for (const auto& entry : masks) setAutoresizingMask(*entry.view, entry.mask);
    fWindow->setContentMinSize(kMainWindowSize);
    fWindowSettings = std::make_unique<MainWindowSettings>(
        *this, MainWindowSettings::Outlets{*fWindow, *fRatingView, *fTapView, *fMetronomeButton,
                                           *fSkipForwardButton, *fSkipNextButton});
    setUpControls();
    observeNotifications();
}

void MainWindow::buildTrackPanel() {
    View* content = fWindow->contentView();
    fTrackView = new TrackView(NSRect{{0, 280}, {420, 120}}, content);
    fArtworkView = new ArtworkImageView(NSRect{{10, 290}, {100, 100}}, content);
    fNameField = new TextField(content);
    fNameField->setFrameRect(NSRect{{120, 362}, {240, 22}});
    fNameField->setNSFont(NSFont::boldSystemFontOfSize(14));
    fArtistField = new TextField(content);
    fArtistField->setFrameRect(NSRect{{120, 338}, {290, 20}});
    fAlbumField = new TextField(content);
    fAlbumField->setFrameRect(NSRect{{120, 316}, {290, 20}});
    for (TextField* field : {fNameField, fArtistField, fAlbumField}) {
        field->setEditable(false);
        field->setBordered(false);
        field->setDrawsBackground(false);
        // The track panel is dark in both its key and non-key looks; its texts are light, as its
        // stars and badge are.
        field->setTextColor(NSColor::whiteColor());
    }
    fBPMBadgeView = new BPMBadgeView(NSRect{{360, 366}, {50, BPMBadgeView::kBadgeHeight}}, content);
    fRatingView = new RatingView(NSRect{{120, 294}, {80, 16}}, content);
    fGenreButton = new GenrePopupButtonCell(content);
    // Leaves room on its right for the add-to-playlist button.
    fGenreButton->setFrame(NSRect{{230, 290}, {146, 22}});
    fGenreButton->addItemWithTitle(localized("Genre not specified"));
    fAddToPlaylistButton = new PopUpButton(true, content);
    fAddToPlaylistButton->setFrame(NSRect{{380, 294}, {30, 18}});
    fAddToPlaylistButton->addItemWithTitle("");
    fAddToPlaylistButton->itemAtIndex(0)->image = NSImage::imageNamed("addtoplaylist_active.png");
    fAddToPlaylistButton->setImageOnly(true);
}

void MainWindow::buildControls() {
    View* content = fWindow->contentView();
    auto defaultsLookup = [this](const std::string& key) -> std::optional<long> {
        auto value = fDefaults.objectForKey(key);
        if (!value) return std::nullopt;
        if (auto number = value->integer()) return static_cast<long>(*number);
        return std::nullopt;
    };
    fTapView = new TapView(NSRect{{10, 60}, {400, 212}}, content, defaultsLookup);

    auto button = [&](auto* b, const char* image, const char* pressed) {
        b->setBordered(false);
        b->setImage(NSImage::imageNamed(image));
        b->setAlternateImage(NSImage::imageNamed(pressed));
        return b;
    };
    auto plain = [&](NSRect frame) { return new Button(frame, content); };
    // Held, back and forward scan through the track; released, the player plays on.
    auto held = [content, &commands = fCommands](NSRect frame, void (PlayerCommands::*down)()) {
        auto* b = new ClickAndHoldButtonCell(frame, content);
        b->mouseDownAction = [&commands, down] { (commands.*down)(); };
        b->mouseUpAction = [&commands] { commands.resume(); };
        return b;
    };
    // The bottom row sits above the volume slider, whose speaker buttons widen it to 200.
    constexpr CGFloat kRowY = 24;
    fBackButton = button(held(NSRect{{10, kRowY}, {28, 28}}, &PlayerCommands::rewind), "back_active_s.png",
                         "back_pressed_s.png");
    fPlayPauseButton =
        button(plain(NSRect{{40, kRowY}, {28, 28}}), "pause_active_s.png", "pause_pressed_s.png");
    fForwardButton = button(held(NSRect{{70, kRowY}, {28, 28}}, &PlayerCommands::fastForward),
                            "forward_active_s.png", "forward_pressed_s.png");
    fSkipForwardButton = button(plain(NSRect{{100, kRowY}, {28, 28}}), "skip_active.png", "skip_pressed.png");
    fSkipNextButton =
        button(plain(NSRect{{130, kRowY}, {28, 28}}), "skipnext_active.png", "skipnext_pressed.png");
    fMetronomeButton =
        button(plain(NSRect{{162, kRowY}, {28, 28}}), "metronome_startc.png", "metronome_startc.png");

    fVolumeSlider = new TexturedSlider(content);
    fVolumeSlider->setMinValue(0);
    fVolumeSlider->setMaxValue(100);
    // Its indicator adds 25 on each side: 10 to 210 once the speakers are in.
    fVolumeSlider->setFrame(NSRect{{35, 2}, {150, 20}});

    fHalveDoubleBPMButton = new GradientSegmentedCell(NSRect{{196, kRowY + 2}, {68, 24}}, content);
    fHalveDoubleBPMButton->setLabel("\u00BD", 0);
    fHalveDoubleBPMButton->setLabel("\u00D72", 1);
    fPlusMinusBPMButton = new GradientSegmentedCell(NSRect{{268, kRowY + 2}, {56, 24}}, content);
    fPlusMinusBPMButton->setLabel("\u2212", 0);
    fPlusMinusBPMButton->setLabel("+", 1);
    for (SegmentedControl* control : {fHalveDoubleBPMButton, fPlusMinusBPMButton}) {
        control->setTag(0, 0);
        control->setTag(1, 1);
    }

    fApplyBPMButton = new GradientButtonCell(NSRect{{330, kRowY}, {80, 28}}, content);
    fApplyBPMButton->setTitle(localized("Apply"));
}

void MainWindow::setUpControls() {
    fTapView->setController(this);
    fRatingView->setController(this);
    fBPMBadgeView->setController(this);
    fTapView->awakeFromNib();
    fArtworkView->awakeFromNib();
    fVolumeSlider->setIndicatorIndex(TexturedSlider::kSpeakerIndicator);
    for (TextField* field : {fNameField, fArtistField, fAlbumField})
        field->setBackgroundStyle(NSBackgroundStyleLowered);
    fWindow->setExcludedFromWindowsMenu(true);
    if (fDefaults.boolForKey("MakeFloatingWindow"))
        fWindow->setLevel(CGWindowLevelForKey(kCGFloatingWindowLevelKey));
    halfStarRatingChanged();

    fAddToPlaylistButton->setToolTip(localized("Add current track to playlist"));
    fMetronomeButton->setToolTip(localized("Start metronome at the BPM value shown above"));
    fApplyBPMButton->setToolTip(localized("Apply the BPM value shown above to the current song"));
    fHalveDoubleBPMButton->setToolTip(localized("Halve or double the current BPM value shown above"));
    fPlusMinusBPMButton->setToolTip(localized("Adjust the current BPM value shown above one beat at a time"));
    fBackButton->setToolTip(localized("Previous track"));
    fForwardButton->setToolTip(localized("Next track"));
    fPlayPauseButton->setToolTip(localized("Play/Pause"));
    fWindowSettings->setupSkipTooltips();
    fClickSounds->updateSoundOptions();

    // The tempo controls act on the press, as the metronome's start does.
    fPlusMinusBPMButton->action = [this] { adjustBPM(); };
    fPlusMinusBPMButton->setWidth(28, 0);
    fPlusMinusBPMButton->setWidth(28, 1);
    fHalveDoubleBPMButton->action = [this] { halveDoubleBPM(); };
    fHalveDoubleBPMButton->setWidth(34, 0);
    fHalveDoubleBPMButton->setWidth(34, 1);
    fMetronomeButton->action = [this] { fBPMTracker->startStopMetronome(); };
    fPlusMinusBPMButton->setSendsActionOnMouseDown(true);
    fHalveDoubleBPMButton->setSendsActionOnMouseDown(true);
    fMetronomeButton->setSendsActionOnMouseDown(true);
    fApplyBPMButton->action = [this] { fAssign(); };
    fBackButton->action = [this] { fCommands.previousTrack(); };
    fForwardButton->action = [this] { fCommands.nextTrack(PlayerCommands::Sender::Control); };
    fPlayPauseButton->action = [this] { fCommands.pausePlayTrack(); };
    fSkipForwardButton->action = [this] { fCommands.skipForward(); };
    fSkipNextButton->action = [this] { fCommands.nextPlusSkipForward(PlayerCommands::Sender::Control); };
    fVolumeSlider->action = [this] { fCommands.volumeChanged(); };
    fPlaylists.setAddToPlaylistPopUp(fAddToPlaylistButton);
    fGenreButton->action = [this] {
        fPlaylists.selectGenre(fGenreButton->indexOfSelectedItem(), fGenreButton->titleOfSelectedItem());
    };
}

void MainWindow::observeNotifications() {
    auto& center = NSNotificationCenter::defaultCenter();
    auto on = [&](const char* name, auto method) {
        center.addObserver(this, name, nullptr, [method](const NSNotification&) { method(); });
    };
    ClickSounds& sounds = *fClickSounds;
    MainWindowSettings& settings = *fWindowSettings;
    on("TapSoundUpdate", [&sounds] { sounds.updateTapSound(); });
    on("AlternateSoundUpdate", [&sounds] { sounds.updateAlternateSound(); });
    on("SoundSettingsChanged", [&sounds] { sounds.updateSoundOptions(); });
    on("AudioQueueNotWorking", [&sounds] { sounds.audioQueueNotWorking(); });
    on("SkipChanged", [&settings] { settings.updateSkipChanged(); });
    on("MinMaxBPMChanged", [&settings] { settings.updateMinMaxBPM(); });
    on("MetronomeStyleChanged", [&settings] { settings.updateMetronomeStyle(); });
    on("MetronomeStateChanged", [&settings] { settings.updateMetronome(); });
    on("HalfStarRatingChanged", [&settings] { settings.halfStarRatingChanged(); });

    connect(fWindow.get(), &Window::didBecomeKey, this, [this] { updateControlsForWindowState(); });
    connect(fWindow.get(), &Window::didResignKey, this, [this] { updateControlsForWindowState(); });
    connect(fNameField, &TextField::frameDidChange, this, [this] { adjustBPMBadgeLocation(); });
    fNameField->setPostsFrameChangedNotifications(true);
}

void MainWindow::place() {
    // The frame lives in the application's preferences; it is written out at quit.
    fWindow->useFrameStore({[this](const std::string& key) -> std::optional<std::string> {
                                auto value = fPreferences.copyValue(key, kBeatwickPreferencesDomain);
                                if (const std::string* text = value ? value->string() : nullptr) return *text;
                                return std::nullopt;
                            },
                            [this](const std::string& key, const std::string& value) {
                                fPreferences.setValue(key, PropertyList(value), kBeatwickPreferencesDomain);
                            }});
    fWindow->center();
    const bool saved = fWindow->setFrameAutosaveName("MainWindowPos");
    if (!saved) fWindow->setContentSize(kMainWindowSize);
}

void MainWindow::show() {
    if (!fWindow) return;
    fWindow->makeKeyAndOrderFront();
    fWindow->makeFirstResponder(fTapView);
}

Window* MainWindow::sheetWindow() const {
    return fWindow && fWindow->isVisible() ? fWindow.get() : nullptr;
}

Slider* MainWindow::volumeSlider() const {
    return fVolumeSlider;
}

// ---------------------------------------------------------------------------------------------
// The track panel.

void MainWindow::updateTrackView() {
    if (!fWindow) return;
    fNameField->setStringValue(fStatus.trackName());
    adjustBPMBadgeLocation();
    fArtistField->setStringValue(fStatus.trackArtist());
    fAlbumField->setStringValue(fStatus.trackAlbum());
    showTrackGenre();
    fRatingView->setRating(fStatus.trackRating());
    fBPMBadgeView->setBpm(fStatus.trackBPM());
    fBPMBadgeView->setAssigned(fStatus.assigned());
    fArtworkView->setImage(fStatus.artwork());
    fBPMBadgeView->setNeedsDisplay();
}

void MainWindow::showTrackGenre() {
    const std::string genre =
        fStatus.trackGenre().empty() ? localized("Genre not specified") : fStatus.trackGenre();
    fGenreButton->selectItemWithTitle(genre);
    fGenreButton->setTitle(genre);
}

void MainWindow::fillGenreButton() {
    if (!fWindow) return;
    fGenreButton->removeAllItems();
    // The genre cell turns the list's "•••" into a separator.
    for (const std::string& genre : fPlaylists.genres()) fGenreButton->addItemWithTitle(genre);
    showTrackGenre();
}

void MainWindow::updatePlayerControls() {
    if (!fWindow) return;
    fVolumeSlider->setDoubleValue(fStatus.playerVolume());
    const bool playing = fStatus.playState() == kPlayStatePlaying;
    if (playing == fPlayerCanPause) return;
    fPlayerCanPause = playing;
    fPlayPauseButton->setImage(NSImage::imageNamed(playing ? "pause_active_s.png" : "play_active_s.png"));
    fPlayPauseButton->setAlternateImage(
        NSImage::imageNamed(playing ? "pause_pressed_s.png" : "play_pressed_s.png"));
}

void MainWindow::updateControlsForWindowState() {
    fPlayerCanPause = !(fStatus.playState() == kPlayStatePlaying);
    updatePlayerControls();
    fTrackView->setNeedsDisplay();
}

void MainWindow::adjustBPMBadgeLocation() {
    if (!fWindow) return;
    // Follows the name's line, also while a resize has not placed the badge yet.
    NSRect badge = fBPMBadgeView->frame();
    badge.origin = BPMBadgeOriginBesideName(fNameField->frameRect(), fNameField->drawnTextSpan());
    fBPMBadgeView->setFrame(badge);
}

void MainWindow::showAssigned(SInt32 bpm) {
    if (!fBPMBadgeView) return;
    fBPMBadgeView->setAssigned(true);
    fBPMBadgeView->setBpm(bpm);
}

bool MainWindow::hasCurrentTrack() const {
    return fStatus.playState() != kPlayStateNone && fStatus.track() != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Tempo.

void MainWindow::processTap(uint64_t milliseconds) {
    fBPMTracker->tap(milliseconds);
}
int MainWindow::currentDisplayBPM() const {
    return fBPMTracker ? fBPMTracker->displayBPM() : 0;
}
int MainWindow::currentAccuracy() const {
    return fBPMTracker->accuracy();
}

void MainWindow::halveBPM() {
    fBPMTracker->halveBPM();
    tempoStepped();
}
void MainWindow::doubleBPM() {
    fBPMTracker->doubleBPM();
    tempoStepped();
}
void MainWindow::incrementBPM() {
    fBPMTracker->plusBPM();
    tempoStepped();
}
void MainWindow::decrementBPM() {
    fBPMTracker->minusBPM();
    tempoStepped();
}

void MainWindow::tempoStepped() {
    // The tempo shown is no longer the one written; the badge keeps showing what was written.
    fVisit.currentTrackAssigned = false;
    updateBPM();
    updateBPMButtons();
}

void MainWindow::halveDoubleBPM() {
    const int segment = fHalveDoubleBPMButton->highlightedSegment();
    if (segment < 0) return;
    const long tag = fHalveDoubleBPMButton->tagForSegment(segment);
    if (tag == 0)
        halveBPM();
    else if (tag == 1)
        doubleBPM();
    else
        updateBPM();
}

void MainWindow::adjustBPM() {
    const int segment = fPlusMinusBPMButton->highlightedSegment();
    const long tag = segment >= 0 ? fPlusMinusBPMButton->tagForSegment(segment) : -1;
    if (tag == 0)
        decrementBPM();
    else if (tag == 1)
        incrementBPM();
    else
        updateBPM();
}

void MainWindow::stopMetronome() {
    fBPMTracker->stopMetronome();
    setBeatNum(0);
}

void MainWindow::updateBPMButtons() {
    if (!fWindow) return;
    const int display = fBPMTracker->displayBPM();
    const int accuracy = fBPMTracker->accuracy();
    bool applyEnabled = false;
    bool controlsEnabled = false;
    if (display >= 1) {
        controlsEnabled = true;
        // After an Assign only the tempo just written is not offered again; another one is.
        applyEnabled =
            !((fVisit.currentTrackAssigned && display == fVisit.assignedBPM) || fStatus.track() == nullptr);
    }
    fAssignBPMIsDefault = applyEnabled && accuracy == 100;
    fApplyBPMButton->setEnabled(applyEnabled);
    fApplyBPMButton->setKeyEquivalent(fAssignBPMIsDefault ? "\r" : "");
    fMetronomeButton->setEnabled(controlsEnabled);
    fHalveDoubleBPMButton->setEnabled(controlsEnabled);
    fPlusMinusBPMButton->setEnabled(controlsEnabled);
}

bool MainWindow::simulateAssignBPMClick(const NSEvent& event) {
    if (!fApplyBPMButton || !fApplyBPMButton->performKeyEquivalent(event)) return false;
    fAssignBPMIsDefault = false;
    fApplyBPMButton->setKeyEquivalent("");
    return true;
}

void MainWindow::setBeatNum(int beat) {
    if (fTapView) fTapView->setBeatNum(beat);
}
void MainWindow::updateBPM() {
    if (fTapView) fTapView->updateBPM();
}
void MainWindow::pulse() {
    if (fTapView) fTapView->pulseBPM();
}
void MainWindow::animate(double secondsPerBeat) {
    if (fTapView) fTapView->animateBPM(secondsPerBeat);
}
void MainWindow::stopAnimation() {
    if (fTapView) fTapView->stopAnimation();
}

void MainWindow::performOnMainThread(std::function<void()> work) {
    Scheduler::current().post(std::move(work));
}

void MainWindow::postNotification(const std::string& name) {
    NSNotificationCenter::defaultCenter().postNotificationName(name);
}

std::unique_ptr<MetronomeTimer> MainWindow::scheduleTimer(double seconds, std::function<void()> fire) {
    return std::make_unique<RunLoopTimer>(seconds, std::move(fire));
}

bool MainWindow::metronomeIsPlaying() {
    return fBPMTracker->metronomeIsPlaying();
}

// ---------------------------------------------------------------------------------------------
// Sounds, settings and the rating.

long MainWindow::alternateBeat() const {
    return fClickSounds ? fClickSounds->alternateBeat() : 0;
}
void MainWindow::playMetronomeClickForBeat(long beat) {
    fClickSounds->playMetronomeClickForBeat(beat);
}
std::shared_ptr<UKSound> MainWindow::makeUKSound(const std::string& path) {
    return fEnvironment.makeUKSound(path);
}
std::shared_ptr<NSSound> MainWindow::makeNSSound(const std::string& path) {
    return fEnvironment.makeNSSound(path);
}
void MainWindow::setTapAreaPlaysClick(bool playClick) {
    if (fTapView) fTapView->setPlayMetronomeClick(playClick);
}

void MainWindow::windowStyleChanged() {
    if (fWindowSettings) fWindowSettings->windowStyleChanged();
}
void MainWindow::halfStarRatingChanged() {
    if (fWindowSettings) fWindowSettings->halfStarRatingChanged();
}
void MainWindow::updateMetronome() {
    if (fWindowSettings) fWindowSettings->updateMetronome();
}

std::optional<PropertyList> MainWindow::playerPreference(const std::string& key) {
    return fPreferences.copyValue(key, kPlayerBundleIdentifier);
}

void MainWindow::rateCurrentTrack(int rating) {
    if (auto track = fPlayer.currentTrack()) track->setRating(rating);
}
void MainWindow::ratingChanged(int rating) {
    fStatus.setTrackRating(rating);
}
bool MainWindow::ratingViewHasHalfStars() const {
    return fRatingView && fRatingView->halfStars();
}
void MainWindow::showRating(SInt32 rating) {
    if (fRatingView) fRatingView->setRating(rating);
}
SInt32 MainWindow::volumeSliderValue() const {
    return fVolumeSlider ? fVolumeSlider->intValue() : fStatus.playerVolume();
}
void MainWindow::setVolumeSliderValue(SInt32 value) {
    if (fVolumeSlider) fVolumeSlider->setIntValue(value);
}

bool MainWindow::boolForKey(const std::string& key) {
    return fDefaults.boolForKey(key);
}
SInt64 MainWindow::integerForKey(const std::string& key) {
    return fDefaults.integerForKey(key);
}
std::optional<std::string> MainWindow::stringForKey(const std::string& key) {
    return fDefaults.stringForKey(key);
}
