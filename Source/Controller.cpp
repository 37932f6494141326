#include "Source/Controller.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenuBar>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

#include "Source/AboutWindowController.h"
#include "Source/AlertManager.h"
#include "Source/ApplescriptController.h"
#include "Source/ArtworkImageView.h"
#include "Source/BPMBadgeView.h"
#include "Source/BPMTracker.h"
#include "Source/ClickSounds.h"
#include "Source/ControllerEnvironment.h"
#include "Source/FeedbackWindowController.h"
#include "Source/HotKeyController.h"
#include "Source/MainWindowSettings.h"
#include "Source/Metronome.h"
#include "Source/NewVersionAlert.h"
#include "Source/Preferences/PrefsController.h"
#include "Source/Preferences/PrefsWindow.h"
#include "Source/Preferences/RulesPrefsController.h"
#include "Source/RatingView.h"
#include "Source/RulesController.h"
#include "Source/TapView.h"
#include "Source/Toolkit/ClickAndHoldButtonCell.h"
#include "Source/Toolkit/GenrePopupButtonCell.h"
#include "Source/Toolkit/GradientButtonCell.h"
#include "Source/Toolkit/GradientSegmentedCell.h"
#include "Source/Toolkit/TexturedSlider.h"
#include "Source/TrackView.h"
#include "Source/UKSound.h"
#include "Source/UserPlaylists.h"
#include "Source/WebLinks.h"
#include "Source/WorkspaceAdditions.h"
#include "network/TVersionTask.h"
#include "network/UIAlert.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/Button.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/Font.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/AppKit/PopUpButton.h"
#include "platform/AppKit/SegmentedControl.h"
#include "platform/AppKit/Slider.h"
#include "platform/AppKit/TextField.h"
#include "platform/AppKit/WidgetFrame.h"
#include "platform/AppKit/Window.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/Scheduler.h"
#include "platform/Foundation/Timer.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/UserNotificationCenter.h"

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

void Controller::initialize(NSUserDefaults& defaults) {
    const auto path = NSBundle::mainBundle().pathForResource("Defaults", "plist");
    if (!path) return;
    auto read = PropertyListSerialization::propertyListWithContentsOfFile(*path);
    if (read.ok() && read.value().dictionary()) defaults.registerDefaults(*read.value().dictionary());
}

Controller::Controller(Services services)
    : fEnvironment(services.environment),
      fPlayer(services.player),
      fDefaults(services.defaults),
      fPreferences(services.preferences),
      fClock(services.clock),
      fHotKeys(services.hotKeys) {
    fPlayerStatus = std::make_unique<PlayerStatus>(*this, fPlayer);
    fPlayerCommands = std::make_unique<PlayerCommands>(*this, fPlayer, *fPlayerStatus);
    fNotifier = std::make_unique<NoTempoNotifier>(*this, *fPlayerStatus);
    fPrefsController = std::make_unique<PrefsController>(fDefaults);
    fPrefsController->rulesPaneFactory = [this](QWidget* parent) {
        return new RulesPrefsController(rulesController(), *this, parent);
    };
    // Hot key 1 goes to the hot-key layer, which registers and stores it; -1 is no key.
    fPrefsController->hotKeyUpdater = [this](const std::string& text, int64_t code, uint64_t flags) {
        if (fHotKeys)
            fHotKeys->updateHotKey(text,
                                   code < 0 ? HotKeyController::kNoKeyCode : static_cast<uint32_t>(code),
                                   static_cast<uint32_t>(flags));
    };
    // A shortcut recorded in the preferences fires at once.
    fPrefsController->menuKeyEquivalentsChanged = [this] {
        if (fMainMenu && fWindow) fMenuShortcuts.rebind(fMainMenu->mainMenu(), *fWindow);
    };
    fPlaylistMenus = std::make_unique<PlaylistMenus>(*this, fPlayer, *fPlayerStatus, makeLibraryPlaylists());
    if (auto path = NSBundle::mainBundle().pathForResource("cacophony", "aiff"))
        fWakeUpNSSound = fEnvironment.makeNSSound(*path);
    fHotKeyActions = std::make_unique<HotKeyActions>(*this);
    fClickSounds = std::make_unique<ClickSounds>(*this);
    updateTapSound();
    updateAlternateSound();
    const auto keep = fDefaults.objectForKey("KeepTrack");
    fKeepTrack = keep ? fDefaults.boolForKey("KeepTrack") : true;
    fBPMTracker = std::make_unique<BPMTracker>(*this, std::make_unique<Metronome>(*this, fClock));
}

// The library file may be hundreds of megabytes: it is read while the window shows.
std::unique_ptr<UserPlaylists> Controller::makeLibraryPlaylists() {
    return std::make_unique<UserPlaylists>(UserPlaylists::defaultLibraryPath(),
                                           UserPlaylists::Reading::InBackground);
}

Controller::~Controller() {
    dropHeldPlayerNotices();
    NSNotificationCenter::defaultCenter().removeObserver(this);
    // The environment may outlive this object: no notice of the player may reach it afterwards.
    fEnvironment.stopObservingPlayerInfo();
    fEnvironment.stopObservingWorkspace();
    // The tracker's metronome calls back into this object: it goes first.
    fBPMTracker.reset();
    if (fMainMenu && Application::sharedApplication().mainMenu() == &fMainMenu->mainMenu())
        Application::sharedApplication().setMainMenu(nullptr);
}

// ---------------------------------------------------------------------------------------------
// The main window's layout.

void Controller::buildMainWindow() {
    fWindow = std::make_unique<Window>(kMainWindowSize);
    fWindow->setTitle("Beatwick");
    View* content = fWindow->contentView();
    auto defaultsLookup = [this](const std::string& key) -> std::optional<long> {
        auto value = fDefaults.objectForKey(key);
        if (!value) return std::nullopt;
        if (auto number = value->integer()) return static_cast<long>(*number);
        return std::nullopt;
    };

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

    fTapView = new TapView(NSRect{{10, 60}, {400, 212}}, content, defaultsLookup);

    auto button = [&](auto* b, const char* image, const char* pressed) {
        b->setBordered(false);
        b->setImage(NSImage::imageNamed(image));
        b->setAlternateImage(NSImage::imageNamed(pressed));
        return b;
    };
    auto plain = [&](NSRect frame) { return new Button(frame, content); };
    // Held, back and forward scan through the track; released, the player plays on.
    auto held = [&](NSRect frame, void (PlayerCommands::*down)()) {
        auto* b = new ClickAndHoldButtonCell(frame, content);
        b->mouseDownAction = [this, down] { (playerCommands().*down)(); };
        b->mouseUpAction = [this] { playerCommands().resume(); };
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

    fAddToPlaylistButton = new PopUpButton(true, content);
    fAddToPlaylistButton->setFrame(NSRect{{380, 294}, {30, 18}});
    fAddToPlaylistButton->addItemWithTitle("");
    fAddToPlaylistButton->itemAtIndex(0)->image = NSImage::imageNamed("addtoplaylist_active.png");
    fAddToPlaylistButton->setImageOnly(true);

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
    fMainMenu = std::make_unique<MainMenu>(*this);
    // The key recorder's validator looks for taken combinations in the application's menus.
    Application::sharedApplication().setMainMenu(&fMainMenu->mainMenu());
    attachAddToPlaylistMenu();
    fWindow->setMenuBar(makeMenuBar(fMainMenu->mainMenu(), nullptr));
    fMenuShortcuts.rebind(fMainMenu->mainMenu(), *fWindow);
}

void Controller::establishKeyEquivalents() {
    fMainMenu->establishKeyEquivalents();
    fMenuShortcuts.rebind(fMainMenu->mainMenu(), *fWindow);
}

// Character keys are bound by what the layout types, so a new layout binds them anew.
void Controller::followKeyboardLayout() {
    fLayoutObserver = std::make_unique<KeyboardLayoutObserver>([this] { establishKeyEquivalents(); });
}

void Controller::attachAddToPlaylistMenu() {
    NSMenu* controls = fMainMenu->controlsMenu();
    if (!controls) return;
    size_t at = controls->numberOfItems();
    for (size_t i = 0; i < controls->numberOfItems(); ++i)
        if (controls->itemAtIndex(i)->tag() == kGetInfoMenuTag) at = i + 1;
    auto item = std::make_unique<NSMenuItem>(localized("Add to Playlist"), nullptr, "");
    item->setSubmenu(fPlaylistMenus->makeAddToPlaylistMenu());
    controls->insertItem(std::move(item), at);
}

// ---------------------------------------------------------------------------------------------
// Launch.

Slider* Controller::volumeSlider() const {
    return fVolumeSlider;
}

void Controller::awakeFromNib() {
    // The first refresh and the genre list ask the player as one refresh: one time-out at most.
    fPlayer.refreshAnswered([this] { wireMainWindow(); });
}

void Controller::wireMainWindow() {
    buildMainWindow();
    fWindowSettings = std::make_unique<MainWindowSettings>(
        *this, MainWindowSettings::Outlets{*fWindow, *fRatingView, *fTapView, *fMetronomeButton,
                                           *fSkipForwardButton, *fSkipNextButton});
    fTapView->setController(this);
    fRatingView->setController(this);
    fBPMBadgeView->setController(this);
    fTapView->awakeFromNib();
    fArtworkView->awakeFromNib();

    // 1-2
    fPlayerCanPause = true;
    fVolumeSlider->setIndicatorIndex(TexturedSlider::kSpeakerIndicator);
    for (TextField* field : {fNameField, fArtistField, fAlbumField}) field->setBackgroundStyle(3);
    // The list is read before the first refresh, so the first track's assigned flag is right.
    if (fKeepTrack) {
        auto folder = fEnvironment.applicationSupportDirectory();
        fAssignments =
            std::make_unique<AssignedTracks>(folder ? *folder + "/" + AssignedTracks::kFileName : "");
        fAssignments->load();
    } else {
        fAssignments.reset();
    }
    fPlayerStatus->updateWithPlayerBridge();
    updateTrackView();
    updatePlayerControls();
    updateSoundOptions();

    // 3-4
    fWindow->setExcludedFromWindowsMenu(true);
    if (fDefaults.boolForKey("MakeFloatingWindow")) fWindow->setLevel(CGWindowLevelForKey(5));
    halfStarRatingChanged();

    // 5-7
    fAddToPlaylistButton->setToolTip(localized("Add current track to playlist"));
    fMetronomeButton->setToolTip(localized("Start metronome at the BPM value shown above"));
    fApplyBPMButton->setToolTip(localized("Apply the BPM value shown above to the current song"));
    fHalveDoubleBPMButton->setToolTip(localized("Halve or double the current BPM value shown above"));
    fPlusMinusBPMButton->setToolTip(localized("Adjust the current BPM value shown above one beat at a time"));
    fBackButton->setToolTip(localized("Previous track"));
    fForwardButton->setToolTip(localized("Next track"));
    fPlayPauseButton->setToolTip(localized("Play/Pause"));
    setupSkipTooltips();
    fPlusMinusBPMButton->action = [this] { adjustBPM(); };
    fPlusMinusBPMButton->setWidth(28, 0);
    fPlusMinusBPMButton->setWidth(28, 1);
    fHalveDoubleBPMButton->action = [this] { halveDoubleBPM(); };
    fHalveDoubleBPMButton->setWidth(34, 0);
    fHalveDoubleBPMButton->setWidth(34, 1);
    fMetronomeButton->action = [this] { startStopMetronome(); };
    fPlusMinusBPMButton->setSendsActionOnMouseDown(true);
    fHalveDoubleBPMButton->setSendsActionOnMouseDown(true);
    fMetronomeButton->setSendsActionOnMouseDown(true);
    fApplyBPMButton->action = [this] { applyBPM(); };
    fBackButton->action = [this] { previousTrack(); };
    fForwardButton->action = [this] { nextTrack(PlayerCommands::Sender::Control); };
    fPlayPauseButton->action = [this] { pausePlayTrack(); };
    fSkipForwardButton->action = [this] { skipForward(); };
    fSkipNextButton->action = [this] { nextPlusSkipForward(PlayerCommands::Sender::Control); };
    fVolumeSlider->action = [this] { volumeChanged(); };
    fPlaylistMenus->setAddToPlaylistPopUp(fAddToPlaylistButton);
    fGenreButton->action = [this] { selectGenre(); };
    fillGenreButton();

    // 8
    observeNotifications();

    // 10
    fAssignBPMIsDefault = fCurrentTrackAssigned = fTrackPreviouslyAssigned = fDidLaunchiTunes = false;
    initMenus();
    establishKeyEquivalents();
    followKeyboardLayout();
    if (fWakeUpNSSound) fWakeUpNSSound->play();

    // 11-12
    launchPlayerIfWanted();
    loadTempoOfCurrentTrack(false);

    // 13
    fWaitingOnSimulatedKeypress = false;
    placeMainWindow();
    fWindow->makeKeyAndOrderFront();
    fWindow->makeFirstResponder(fTapView);
}

void Controller::observeNotifications() {
    auto& center = NSNotificationCenter::defaultCenter();
    auto on = [&](const char* name, void (Controller::*method)()) {
        center.addObserver(this, name, nullptr, [this, method](const NSNotification&) { (this->*method)(); });
    };
    center.addObserver(this, "DoUIAlert", nullptr, [this](const NSNotification& n) { doUIAlert(n); });
    center.addObserver(this, "DoUIUpdate", nullptr, [this](const NSNotification& n) {
        if (const std::optional<bool> major = NewVersionAlert::majorUpdateIn(n)) newVersionAvailable(*major);
    });
    on("TapSoundUpdate", &Controller::updateTapSound);
    on("AlternateSoundUpdate", &Controller::updateAlternateSound);
    on("SkipChanged", &Controller::updateSkipChanged);
    on("MinMaxBPMChanged", &Controller::updateMinMaxBPM);
    on("MetronomeStyleChanged", &Controller::updateMetronomeStyle);
    on("MetronomeStateChanged", &Controller::updateMetronome);
    on("SoundSettingsChanged", &Controller::updateSoundOptions);
    on("AudioQueueNotWorking", &Controller::audioQueueNotWorking);
    on("WindowStyleChanged", &Controller::windowStyleChanged);
    on("HalfStarRatingChanged", &Controller::halfStarRatingChanged);

    connect(fWindow.get(), &Window::didBecomeKey, this, [this] { updateControlsForWindowState(); });
    connect(fWindow.get(), &Window::didResignKey, this, [this] { updateControlsForWindowState(); });
    connect(fNameField, &TextField::frameDidChange, this, [this] { adjustBPMBadgeLocation(); });
    fNameField->setPostsFrameChangedNotifications(true);
    auto& application = Application::sharedApplication();
    connect(&application, &Application::didBecomeActive, this, [this] { appDidActivate(); });
    connect(&application, &Application::didResignActive, this, [this] { appDidResignActive(); });
    fEnvironment.observeWorkspace([this](const NSRunningApplication& app) { appWasLaunched(app); },
                                  [this](const NSRunningApplication& app) { appWasTerminated(app); });
}

void Controller::doUIAlert(const NSNotification& notification) {
    if (!notification.userInfo) return;
    const auto entry = notification.userInfo->find(kUIAlertStructKey);
    if (entry == notification.userInfo->end() || !entry->second.data()) return;
    // Data of another length is no alert record: reading 4 bytes of it would run past it or
    // take part of something else.
    const auto alert = UIAlertStructFromBytes(*entry->second.data());
    if (!alert) return;
    AlertManager::sharedAlertManager().displayAlert(
        alert->alertNumber, 1,
        alert->style == kUIAlertInformational ? NSAlertStyle::Informational : NSAlertStyle::Warning, true);
}

void Controller::launchPlayerIfWanted() {
    if (!fDefaults.boolForKey("StartiTunesOnLaunch") || iTunesIsRunning()) return;
    // Only a launch that was started counts: "QuitOnlyIfStarted" must never quit a player the
    // user started.
    fDidLaunchiTunes = fEnvironment.launchPlayerWithPlayEvent();
}

void Controller::loadTempoOfCurrentTrack(bool resetTracker) {
    const SInt32 bpm = fPlayerStatus->trackBPM();
    if (bpm > 0) fTrackPreviouslyAssigned = trackAssigned(fPlayerStatus->persistentID(), bpm, false);
    if (resetTracker) fBPMTracker->reset();
    fBPMTracker->trackLoaded(bpm, fTrackPreviouslyAssigned ? 100 : 10);
    updateBPM();
    updateBPMButtons();
}

void Controller::placeMainWindow() {
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

void Controller::applicationWillFinishLaunching() {
    fEnvironment.observePlayerInfo(
        [this](const NSNotification& notification) { trackChanged(notification); });
}

void Controller::applicationDidFinishLaunching() {
    // 2: the services provider of step 1 has no counterpart on this desktop.
    if (fHotKeys) {
        fHotKeys->setHotKey1Listener(this, [this] { hotKey1Action(); });
        fHotKeys->setHotKey2Listener(this, [this] { hotKey2Action(); });
    }
    checkForUpdates();
}

void Controller::checkForUpdates() {
    if (!fDefaults.boolForKey("CheckForUpdates")) return;
    const SInt64 now = fEnvironment.currentDate();
    SInt64 last = 0;
    if (auto stored = fPreferences.copyValue("LastUpdateCheck", kCFPreferencesCurrentApplication))
        last = stored->integer().value_or(0);
    if (last != 0 && now < last + kUpdateCheckInterval) return;
    if (fEnvironment.currentModifierFlags() & NSAlternateKeyMask) return;
    fPreferences.setValue("LastUpdateCheck", PropertyList(static_cast<SInt32>(now)),
                          kCFPreferencesCurrentApplication);
    fPreferences.synchronize(kCFPreferencesCurrentApplication);
    try {
        fEnvironment.checkVersion();
    } catch (...) {
    }
}

void Controller::applicationWillTerminate() {
    fNotifier->dismissAtOnce();
    fBPMTracker->stopMetronome();
    fEnvironment.stopObservingPlayerInfo();
    dropHeldPlayerNotices();
    saveAssignmentsLeftPending();
    fAssignments.reset();
    fPreferences.synchronize(kBeatwickPreferencesDomain);
    if (fDefaults.boolForKey("QuitiTunesOnQuit") &&
        (!fDefaults.boolForKey("QuitOnlyIfStarted") || fDidLaunchiTunes)) {
        if (auto player = WorkspaceAdditions::runningApplicationWithIdentifier(kPlayerBundleIdentifier))
            player->terminate();
    }
}

// A save that failed while the folder could not be written is tried once more before the list
// goes; it logs its own failure.
void Controller::saveAssignmentsLeftPending() {
    if (fAssignments && fAssignments->savePending()) fAssignments->save();
}

bool Controller::applicationShouldHandleReopen(bool) {
    // A minimized window is not visible on the desktop.
    if (!(fWindow && fWindow->isVisible() && !fWindow->isMinimized())) showMainWindow();
    return false;
}

void Controller::appDidActivate() {
    if (fWakeUpNSSound) fWakeUpNSSound->play();
    hideNotifyWindow();
}

void Controller::appDidResignActive() {
    fBPMTracker->stopMetronome();
    if (fTapView) fTapView->setBeatNum(0);
    updateMetronome();
}

void Controller::showMainWindow() {
    if (!fWindow) return;
    fWindow->makeKeyAndOrderFront();
    fWindow->makeFirstResponder(fTapView);
}

// ---------------------------------------------------------------------------------------------
// The player monitor.

// Notices can come far faster than the player answers a refresh (several requests), and only
// the latest one matters: each notice replaces the one kept, and one refresh runs for it at the
// end of the main-loop turn, whether it names a new track or the one shown (its rating, BPM,
// duration and volume are read again). A player that does not answer costs a refresh a
// time-out, so after one unanswered refresh notices are held: the latest one is refreshed at
// the end of the hold.
void Controller::trackChanged(const NSNotification& notification) {
    fPlaylistMenus->forgetPlayerPlaylists();
    fHeldNotice = notification;
    if (fHoldTask != 0 || fNoticeTask != 0) return;
    fNoticeTask = Scheduler::current().scheduleAfter(0, [this] {
        fNoticeTask = 0;
        refreshForLatestNotice();
    });
}

void Controller::refreshForLatestNotice() {
    auto latest = std::exchange(fHeldNotice, std::nullopt);
    if (!latest) return;
    if (!fPlayer.refreshAnswered([&] { refreshForNotification(*latest); })) holdPlayerNotices();
}

void Controller::holdPlayerNotices() {
    fHoldTask = Scheduler::current().scheduleAfter(kUnansweredHoldMs, [this] {
        fHoldTask = 0;
        refreshForLatestNotice();
    });
}

void Controller::dropHeldPlayerNotices() {
    for (uint64_t* task : {&fNoticeTask, &fHoldTask}) {
        if (*task != 0) Scheduler::current().cancel(*task);
        *task = 0;
    }
    fHeldNotice.reset();
}

void Controller::refreshForNotification(const NSNotification& notification) {
    static const PropertyList::Dictionary empty;
    const auto& info = notification.userInfo ? *notification.userInfo : empty;
    const SInt64 old = fPlayerStatus->persistentID();
    SInt64 next = 0;
    if (auto found = info.find("PersistentID"); found != info.end()) {
        if (auto n = found->second.integer())
            next = *n;
        else if (auto u = found->second.unsignedInteger())
            next = static_cast<SInt64>(*u);
        else if (const std::string* text = found->second.string())
            next = std::strtoll(text->c_str(), nullptr, 10);
    }
    PlayState state = kPlayStateNone;
    if (auto found = info.find("Player State"); found != info.end() && found->second.string()) {
        const std::string& text = *found->second.string();
        if (text == "Paused")
            state = kPlayStatePaused;
        else if (text == "Stopped")
            state = kPlayStateStopped;
        else if (text == "Playing")
            state = kPlayStatePlaying;
    }
    const bool isNew = next != old || old == 0;
    if (isNew) {
        fBPMTracker->stopMetronome();
        if (fTapView) fTapView->setBeatNum(0);
        fPlayerStatus->updateForNotification(notification.userInfo, state);
        fCurrentTrackAssigned = fTrackPreviouslyAssigned = false;
        const SInt32 bpm = fPlayerStatus->trackBPM();
        if (bpm > 0) fTrackPreviouslyAssigned = trackAssigned(next, bpm, false);
        fBPMTracker->reset();
        fBPMTracker->trackLoaded(bpm, fTrackPreviouslyAssigned ? 100 : 10);
        updateBPM();
        updateBPMButtons();
    } else {
        fPlayerStatus->updateForNotification(notification.userInfo, state);
    }
    updateTrackView();
    updatePlayerControls();
    if (isNew && state == kPlayStatePlaying) notify();
}

void Controller::appWasLaunched(const NSRunningApplication& application) {
    if (application.bundleIdentifier == kPlayerBundleIdentifier) iTunesLaunched();
}

void Controller::appWasTerminated(const NSRunningApplication& application) {
    if (application.bundleIdentifier == kPlayerBundleIdentifier) iTunesTerminated();
}

void Controller::iTunesLaunched() {
    fPlaylistMenus->forgetPlayerPlaylists();
    // One refresh: a player that does not answer costs it one time-out, not one per request.
    fPlayer.refreshAnswered([this] {
        fPlayerStatus->updateWithPlayerBridge();
        fCurrentTrackAssigned = fTrackPreviouslyAssigned = false;
        loadTempoOfCurrentTrack(true);
        getGenreList();
        updateTrackView();
        updatePlayerControls();
    });
}

void Controller::iTunesTerminated() {
    fPlaylistMenus->forgetPlayerPlaylists();
    fPlayerStatus->updateWithPlayerBridge();
    fCurrentTrackAssigned = fTrackPreviouslyAssigned = false;
    fBPMTracker->reset();
    updateBPM();
    updateBPMButtons();
    updateTrackView();
    updatePlayerControls();
}

bool Controller::iTunesIsRunning() {
    return WorkspaceAdditions::applicationWithIdentifierRunning(kPlayerBundleIdentifier);
}

bool Controller::iTunesIsActive() {
    auto active = fEnvironment.activeApplication();
    return active && active->bundleIdentifier == kPlayerBundleIdentifier;
}

bool Controller::iTunesIsResponding(UInt32 ticks) {
    auto player = WorkspaceAdditions::runningApplicationWithIdentifier(kPlayerBundleIdentifier);
    if (!player) return false;
    // A player that has just left a request of this refresh or command unanswered is not
    // waited on a second time: the caller's failure comes at once.
    if (fPlayer.refreshLeftUnanswered()) return false;
    const bool responding = fEnvironment.probePlayer(player->processIdentifier, ticks);
    if (!responding) fPlayer.noteRefreshUnanswered();
    return responding;
}

// ---------------------------------------------------------------------------------------------
// Track display.

void Controller::updateTrackView() {
    if (!fWindow) return;
    const PlayerStatus& status = *fPlayerStatus;
    fNameField->setStringValue(status.trackName());
    adjustBPMBadgeLocation();
    fArtistField->setStringValue(status.trackArtist());
    fAlbumField->setStringValue(status.trackAlbum());
    showTrackGenre();
    fRatingView->setRating(status.trackRating());
    fBPMBadgeView->setBpm(status.trackBPM());
    fBPMBadgeView->setAssigned(status.assigned());
    fArtworkView->setImage(status.artwork());
    fBPMBadgeView->setNeedsDisplay();
}

void Controller::showTrackGenre() {
    const PlayerStatus& status = *fPlayerStatus;
    const std::string genre =
        status.trackGenre().empty() ? localized("Genre not specified") : status.trackGenre();
    fGenreButton->selectItemWithTitle(genre);
    fGenreButton->setTitle(genre);
}

// ---------------------------------------------------------------------------------------------
// Playlists, genres and Get Info.

void Controller::getGenreList() {
    fPlaylistMenus->getGenreList();
    fillGenreButton();
}

void Controller::fillGenreButton() {
    if (!fWindow) return;
    fGenreButton->removeAllItems();
    // The genre cell turns the list's "•••" into a separator.
    for (const std::string& genre : fPlaylistMenus->genres()) fGenreButton->addItemWithTitle(genre);
    showTrackGenre();
}

void Controller::genresChanged() {
    fillGenreButton();
}

void Controller::selectGenre() {
    fPlaylistMenus->selectGenre(fGenreButton->indexOfSelectedItem(), fGenreButton->titleOfSelectedItem());
}

Window* Controller::sheetWindow() {
    return fWindow && fWindow->isVisible() ? fWindow.get() : nullptr;
}

void Controller::openFile(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void Controller::updatePlayerControls() {
    if (!fWindow) return;
    fVolumeSlider->setDoubleValue(fPlayerStatus->playerVolume());
    const bool playing = fPlayerStatus->playState() == kPlayStatePlaying;
    if (playing == fPlayerCanPause) return;
    fPlayerCanPause = playing;
    fPlayPauseButton->setImage(NSImage::imageNamed(playing ? "pause_active_s.png" : "play_active_s.png"));
    fPlayPauseButton->setAlternateImage(
        NSImage::imageNamed(playing ? "pause_pressed_s.png" : "play_pressed_s.png"));
}

void Controller::updateControlsForWindowState() {
    fPlayerCanPause = !(fPlayerStatus->playState() == kPlayStatePlaying);
    updatePlayerControls();
    fTrackView->setNeedsDisplay();
}

void Controller::adjustBPMBadgeLocation() {
    if (!fWindow) return;
    // Follows the name's line, also while a resize has not placed the badge yet.
    NSRect badge = fBPMBadgeView->frame();
    badge.origin = BPMBadgeOriginBesideName(fNameField->frameRect(), fNameField->drawnTextSpan());
    fBPMBadgeView->setFrame(badge);
}

bool Controller::hasCurrentTrack() const {
    return fPlayerStatus->playState() != kPlayStateNone && fPlayerStatus->track() != nullptr;
}

// ---------------------------------------------------------------------------------------------
// Tempo assignment.

bool Controller::trackAssigned(SInt64 persistentID, SInt32 bpm, bool updateValue) {
    if (bpm == 0 || !AssignedTracks::isRealID(persistentID)) return false;
    if (!fKeepTrack || !fAssignments) return false;
    return updateValue ? fAssignments->update(persistentID, bpm) : fAssignments->lookup(persistentID, bpm);
}

void Controller::applyBPM() {
    // One command: once the player has left a request unanswered, nothing else waits for it.
    fPlayer.refreshAnswered([this] { assignDisplayedBPM(); });
}

void Controller::assignDisplayedBPM() {
    const int bpm = fBPMTracker->displayBPM();
    if (bpm == 0) return;
    std::shared_ptr<PlayerTrack> track = fPlayer.currentTrack();
    if (!track) {
        if (!iTunesIsResponding(PlayerStatus::kProbeTicks)) assignBPMFailed();
        return;
    }
    if (fDefaults.boolForKey("AdvanceWithBPM")) fBPMTracker->stopMetronome();
    const SInt64 id = track->persistentId();
    track->setBpm(bpm);
    fPlayerStatus->setTrackBPM(bpm);
    // The list exists only when "KeepTrack" was on at launch: its own flag decides, not the
    // setting as it is now.
    if (AssignedTracks::isRealID(id) && fKeepTrack && fAssignments) {
        fAssignments->record(id, bpm);
        fAssignments->save();
    }
    fPlayerStatus->setAssigned(true);
    if (fBPMBadgeView) {
        fBPMBadgeView->setAssigned(true);
        fBPMBadgeView->setBpm(fPlayerStatus->trackBPM());
    }
    fCurrentTrackAssigned = true;
    fAssignedBPM = bpm;
    updateBPMButtons();
    applyRules();
    track.reset();

    // A window closed since the hot key counts as none remembered.
    std::optional<XWindowID> previous = fHotKeyActions->previousWindow();
    if (previous && !fEnvironment.windowExists(*previous)) previous.reset();
    if (previous) {
        if (fDefaults.boolForKey("SwitchToPrevApp")) fEnvironment.activateWindow(*previous);
    } else if (fDefaults.boolForKey("AdvanceWithBPM")) {
        if (fDefaults.boolForKey("AdvancePlus"))
            nextPlusSkipForward();
        else
            nextTrack();
    }
    fHotKeyActions->forgetPreviousWindow();
}

void Controller::assignBPMFailed() {
    NSAlert alert;
    alert.addButtonWithTitle(localized("OK"));
    alert.messageText = localized("Save BPM failed");
    alert.informativeText = localized("ITUNESNOTRESPONDING");
    alert.alertStyle = NSAlertStyle::Critical;
    if (fWindow && fWindow->isVisible()) {
        alert.beginSheetModalForWindow(fWindow.get(), [this](NSModalResponse) { showMainWindow(); });
    } else {
        alert.runModal();
    }
}

void Controller::updateBPMButtons() {
    if (!fWindow) return;
    const int display = fBPMTracker->displayBPM();
    const int accuracy = fBPMTracker->accuracy();
    bool applyEnabled = false;
    bool controlsEnabled = false;
    if (display >= 1) {
        controlsEnabled = true;
        // After an Assign only the tempo just written is not offered again; another one is.
        applyEnabled =
            !((fCurrentTrackAssigned && display == fAssignedBPM) || fPlayerStatus->track() == nullptr);
    }
    fAssignBPMIsDefault = applyEnabled && accuracy == 100;
    fApplyBPMButton->setEnabled(applyEnabled);
    fApplyBPMButton->setKeyEquivalent(fAssignBPMIsDefault ? "\r" : "");
    fMetronomeButton->setEnabled(controlsEnabled);
    fHalveDoubleBPMButton->setEnabled(controlsEnabled);
    fPlusMinusBPMButton->setEnabled(controlsEnabled);
}

bool Controller::simulateAssignBPMClick(const NSEvent& event) {
    if (!fApplyBPMButton || !fApplyBPMButton->performKeyEquivalent(event)) return false;
    fAssignBPMIsDefault = false;
    fApplyBPMButton->setKeyEquivalent("");
    return true;
}

// ---------------------------------------------------------------------------------------------
// Tempo interface.

void Controller::processTap(uint64_t milliseconds) {
    fBPMTracker->tap(milliseconds);
}
int Controller::currentBPM() const {
    return fBPMTracker->bpm();
}
int Controller::currentDisplayBPM() const {
    return fBPMTracker ? fBPMTracker->displayBPM() : 0;
}
int Controller::currentAccuracy() const {
    return fBPMTracker->accuracy();
}

void Controller::halveBPM() {
    fBPMTracker->halveBPM();
    tempoStepped();
}
void Controller::doubleBPM() {
    fBPMTracker->doubleBPM();
    tempoStepped();
}
void Controller::incrementBPM() {
    fBPMTracker->plusBPM();
    tempoStepped();
}
void Controller::decrementBPM() {
    fBPMTracker->minusBPM();
    tempoStepped();
}

void Controller::halveDoubleBPM() {
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

void Controller::adjustBPM() {
    const int segment = fPlusMinusBPMButton->highlightedSegment();
    const long tag = segment >= 0 ? fPlusMinusBPMButton->tagForSegment(segment) : -1;
    if (tag == 0)
        decrementBPM();
    else if (tag == 1)
        incrementBPM();
    else
        updateBPM();
}

void Controller::tempoStepped() {
    // The tempo shown is no longer the one written; the badge keeps showing what was written.
    fCurrentTrackAssigned = false;
    updateBPM();
    updateBPMButtons();
}

void Controller::startStopMetronome() {
    fBPMTracker->startStopMetronome();
}
void Controller::setBeatNum(int beat) {
    if (fTapView) fTapView->setBeatNum(beat);
}
void Controller::updateBPM() {
    if (fTapView) fTapView->updateBPM();
}
void Controller::pulse() {
    if (fTapView) fTapView->pulseBPM();
}
void Controller::animate(double secondsPerBeat) {
    if (fTapView) fTapView->animateBPM(secondsPerBeat);
}
void Controller::stopAnimation() {
    if (fTapView) fTapView->stopAnimation();
}

// ---------------------------------------------------------------------------------------------
// Sounds.

long Controller::alternateBeat() const {
    return fClickSounds ? fClickSounds->alternateBeat() : 0;
}
void Controller::updateTapSound() {
    fClickSounds->updateTapSound();
}
void Controller::updateAlternateSound() {
    fClickSounds->updateAlternateSound();
}
void Controller::updateSoundOptions() {
    fClickSounds->updateSoundOptions();
}
void Controller::playMetronomeClickOnly() {
    fClickSounds->playMetronomeClickOnly();
}
void Controller::playMetronomeClick() {
    fClickSounds->playMetronomeClick();
}
void Controller::playMetronomeClickForBeat(long beat) {
    fClickSounds->playMetronomeClickForBeat(beat);
}
void Controller::audioQueueNotWorking() {
    fClickSounds->audioQueueNotWorking();
}
bool Controller::audioQueueScrewedUp() const {
    return fClickSounds->audioQueueScrewedUp();
}
void Controller::setAudioQueueScrewedUp(bool v) {
    fClickSounds->setAudioQueueScrewedUp(v);
}

std::shared_ptr<UKSound> Controller::makeUKSound(const std::string& path) {
    return fEnvironment.makeUKSound(path);
}
std::shared_ptr<NSSound> Controller::makeNSSound(const std::string& path) {
    return fEnvironment.makeNSSound(path);
}
void Controller::setTapAreaPlaysClick(bool playClick) {
    if (fTapView) fTapView->setPlayMetronomeClick(playClick);
}

// ---------------------------------------------------------------------------------------------
// Window settings.

void Controller::windowStyleChanged() {
    if (fWindowSettings) fWindowSettings->windowStyleChanged();
    // The preferences window that changed the setting among them.
    if (fPrefsController->hasLoaded()) keepAboveMainWindow(fPrefsController->window());
    if (AboutWindowController* about = AboutWindowController::existingController())
        keepAboveMainWindow(*about->window());
    for (FeedbackWindowController* form : FeedbackWindowController::openForms())
        keepAboveMainWindow(*form->window());
}
void Controller::halfStarRatingChanged() {
    if (fWindowSettings) fWindowSettings->halfStarRatingChanged();
}
void Controller::updateMetronome() {
    if (fWindowSettings) fWindowSettings->updateMetronome();
}
void Controller::setupSkipTooltips() {
    if (fWindowSettings) fWindowSettings->setupSkipTooltips();
}
void Controller::updateMinMaxBPM() {
    if (fWindowSettings) fWindowSettings->updateMinMaxBPM();
}
void Controller::updateMetronomeStyle() {
    if (fWindowSettings) fWindowSettings->updateMetronomeStyle();
}

std::optional<PropertyList> Controller::playerPreference(const std::string& key) {
    return fPreferences.copyValue(key, kPlayerBundleIdentifier);
}

// ---------------------------------------------------------------------------------------------
// Hot keys.

std::optional<XWindowID> Controller::activeWindow() {
    return fEnvironment.activeWindow();
}
void Controller::activateIgnoringOtherApps() {
    Application::sharedApplication().activateIgnoringOtherApps(true);
}

void Controller::rateCurrentTrack(int rating) {
    if (auto track = fPlayer.currentTrack()) track->setRating(rating);
}

void Controller::ratingChanged(int rating) {
    fPlayerStatus->setTrackRating(rating);
}

SInt64 Controller::integerForKey(const std::string& key) {
    return fDefaults.integerForKey(key);
}

bool Controller::applicationIsActive() {
    return Application::sharedApplication().isActive();
}

void Controller::requestUserAttention(bool critical) {
    Application::sharedApplication().requestUserAttention(
        critical ? NSRequestUserAttentionType::CriticalRequest
                 : NSRequestUserAttentionType::InformationalRequest);
}

void Controller::playSystemSound(const std::string& name) {
    if (auto sound = NSSound::soundNamed(name)) sound->play();
}

void Controller::deliverUserNotification(const std::string& title, const std::string& subtitle,
                                         const std::string& informativeText) {
    NSUserNotificationCenter::defaultUserNotificationCenter().deliverNotification(
        {title, subtitle, informativeText});
}

void Controller::performMenuCommand(MenuCommand command) {
    using enum MenuCommand;
    using Sender = PlayerCommands::Sender;
    static const std::map<MenuCommand, std::function<void(Controller&)>> commands = {
        {ShowAboutWindow, &Controller::showAboutWindow},
        {CheckForNewVersion, &Controller::checkForNewVersion},
        {ShowPreferenceWindow, &Controller::showPreferenceWindow},
        {Quit, &Controller::terminate},
        {ApplyBPM, &Controller::applyBPM},
        {HalveBPM, &Controller::halveBPM},
        {DoubleBPM, &Controller::doubleBPM},
        {IncrementBPM, &Controller::incrementBPM},
        {DecrementBPM, &Controller::decrementBPM},
        {StartStopMetronome, &Controller::startStopMetronome},
        {PausePlayTrack, &Controller::pausePlayTrack},
        {NextTrack, [](Controller& c) { c.nextTrack(Sender::Control); }},
        {PreviousTrack, &Controller::previousTrack},
        {SkipForward, &Controller::skipForward},
        {SkipBack, &Controller::skipBack},
        {NextPlusSkipForward, [](Controller& c) { c.nextPlusSkipForward(Sender::Control); }},
        {GetTrackInfo, &Controller::getTrackInfo},
        {SwitchToiTunes, &Controller::switchToiTunes},
        {RatingUp, &Controller::ratingUp},
        {RatingDown, &Controller::ratingDown},
        {VolumeUp, &Controller::volumeUp},
        {VolumeDown, &Controller::volumeDown},
        {ShowMainWindow, &Controller::showMainWindow},
        {ShowFeedbackWindow, &Controller::showFeedbackWindow},
        {ShowSupportWindow, &Controller::showSupportWindow},
        {LinkHomepage, &Controller::linkHomepage},
        {LinkSupport, &Controller::linkSupport},
    };
    if (auto found = commands.find(command); found != commands.end()) found->second(*this);
}

bool Controller::metronomeIsPlaying() {
    return fBPMTracker->metronomeIsPlaying();
}

int Controller::menuDisplayedBPM() {
    return fBPMTracker->displayBPM();
}

bool Controller::mainWindowIsVisible() {
    return fWindow && fWindow->isVisible();
}

std::optional<PropertyList::Dictionary> Controller::storedShortcuts() {
    auto value = fDefaults.objectForKey("Shortcuts");
    if (!value || !value->dictionary()) return std::nullopt;
    return *value->dictionary();
}

void Controller::storeShortcuts(const PropertyList::Dictionary& shortcuts) {
    fDefaults.setObject(PropertyList(shortcuts), "Shortcuts");
}

void Controller::keepAboveMainWindow(Window& window) {
    const bool floating = fWindow && fWindow->level() > NSNormalWindowLevel;
    window.setTransientFor(floating ? fWindow.get() : nullptr);
}

void Controller::showPreferenceWindow() {
    keepAboveMainWindow(fPrefsController->window());
    fPrefsController->showWindow();
}

void Controller::checkForNewVersion() {
    TVersionTask::CheckVersion(true, 2);
}

void Controller::newVersionAvailable(bool forMajorUpdate) {
    if (!fNewVersionAlert)
        fNewVersionAlert = std::make_unique<NewVersionAlert>(NewVersionAlert::Services{
            fDefaults, [this] { return sheetWindow(); }, [this] { linkHomepage(); }});
    fNewVersionAlert->newVersionAvailable(forMajorUpdate);
}

void Controller::showFeedbackForm(bool isFeedback) {
    if (!fFeedbackController) fFeedbackController = new FeedbackWindowController();
    fFeedbackController->setIsFeedback(isFeedback);
    keepAboveMainWindow(*fFeedbackController->window());
    fFeedbackController->showWindow();
    // The shown form owns itself; the next command makes a new one.
    fFeedbackController = nullptr;
}

void Controller::showAboutWindow() {
    AboutWindowController& about = AboutWindowController::aboutController();
    keepAboveMainWindow(*about.window());
    about.showWindow();
}

void Controller::linkHomepage() {
    openWebLink(kHomepageURL, sheetWindow());
}

void Controller::linkSupport() {
    openWebLink(kSupportURL, sheetWindow());
}

void Controller::linkAppStore() {
    openWebLink(kAppStoreURL, sheetWindow());
}

void Controller::terminate() {
    fEnvironment.terminateApplication();
}

void Controller::beep() {
    NSBeep();
}

UInt32 Controller::currentModifierFlags() {
    return fEnvironment.currentModifierFlags();
}

std::optional<std::string> Controller::stringForKey(const std::string& key) {
    return fDefaults.stringForKey(key);
}

bool Controller::ratingViewHasHalfStars() {
    return fRatingView && fRatingView->halfStars();
}

void Controller::showRating(SInt32 rating) {
    if (fRatingView) fRatingView->setRating(rating);
}

SInt32 Controller::volumeSliderValue() {
    return fVolumeSlider ? fVolumeSlider->intValue() : fPlayerStatus->playerVolume();
}

void Controller::setVolumeSliderValue(SInt32 value) {
    if (fVolumeSlider) fVolumeSlider->setIntValue(value);
}

void Controller::launchPlayer() {
    fEnvironment.launchPlayer();
}

// ---------------------------------------------------------------------------------------------
// Rules.

RulesController& Controller::rulesController() {
    if (!fRules) fRules = std::make_unique<RulesController>(fDefaults, NSNotificationCenter::defaultCenter());
    return *fRules;
}

void Controller::applyRules() {
    rulesController().applyRules(*fPlayerStatus, *this);
}

std::shared_ptr<PlayerPlaylist> Controller::playlistWithPersistentId(SInt64 persistentId) {
    return fPlayer.playlistWithPersistentId(persistentId);
}

std::shared_ptr<PlayerTrack> Controller::trackInPlaylist(const PlayerPlaylist& playlist,
                                                         SInt64 trackPersistentId) {
    return playlist.trackWithPersistentId(trackPersistentId);
}

std::optional<std::string> Controller::pathOfTrack(const PlayerTrack& track) {
    return track.path();
}

SInt16 Controller::addTrackPath(const std::string& path, const PlayerPlaylist& playlist) {
    return fPlayer.addTrackPath(path, &playlist);
}

void Controller::removeTrack(const PlayerTrack& track, const PlayerPlaylist& playlist) {
    fPlayer.removeTrack(track, &playlist);
}

void Controller::runGetInfoScript() {
    // A rule's Get Info is best effort: the script logs its own failures.
    try {
        ApplescriptController::withResource("GetInfo").run();
    } catch (...) {
    }
}

std::vector<UserPlaylist> Controller::userPlaylists() {
    std::vector<UserPlaylist> playlists;
    for (const PlaylistEntry& entry : fPlaylistMenus->playlistEntries())
        playlists.push_back({entry.name, entry.persistentID});
    return playlists;
}

void Controller::activatePlayer() {
    if (auto player = WorkspaceAdditions::runningApplicationWithIdentifier(kPlayerBundleIdentifier))
        player->activateWithOptions(NSApplicationActivateIgnoringOtherApps);
}

// ---------------------------------------------------------------------------------------------
// MetronomeHost.

void Controller::performOnMainThread(std::function<void()> work) {
    Scheduler::current().post(std::move(work));
}

void Controller::postNotification(const std::string& name) {
    NSNotificationCenter::defaultCenter().postNotificationName(name);
}

bool Controller::boolForKey(const std::string& key) {
    return fDefaults.boolForKey(key);
}

std::unique_ptr<MetronomeTimer> Controller::scheduleTimer(double seconds, std::function<void()> fire) {
    return std::make_unique<RunLoopTimer>(seconds, std::move(fire));
}
