#include "Source/Controller.h"

#include <QDesktopServices>
#include <QMenuBar>
#include <QUrl>
#include <cstdlib>
#include <map>
#include <utility>

#include "Source/AboutWindowController.h"
#include "Source/AlertManager.h"
#include "Source/BPMTracker.h"
#include "Source/ControllerEnvironment.h"
#include "Source/FeedbackWindowController.h"
#include "Source/HotKeyController.h"
#include "Source/MenuTags.h"
#include "Source/PlayerRulesHost.h"
#include "Source/Preferences/PrefsController.h"
#include "Source/Preferences/PrefsWindow.h"
#include "Source/Preferences/RulesPrefsController.h"
#include "Source/RulesController.h"
#include "Source/UserPlaylists.h"
#include "Source/VersionCheck.h"
#include "Source/WebLinks.h"
#include "Source/WorkspaceAdditions.h"
#include "network/UIAlert.h"
#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/AppKit/Window.h"
#include "platform/AudioToolbox/NSSound.h"
#include "platform/Foundation/Bundle.h"
#include "platform/Foundation/Preferences.h"
#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/Scheduler.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/Foundation/UserNotificationCenter.h"

namespace {

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

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
      fHotKeys(services.hotKeys) {
    fPlayerStatus = std::make_unique<PlayerStatus>(*this, fPlayer);
    fPlayerCommands = std::make_unique<PlayerCommands>(*this, fPlayer, *fPlayerStatus);
    fNotifier = std::make_unique<NoTempoNotifier>(*this, *fPlayerStatus);
    fPrefsController = std::make_unique<PrefsController>(fDefaults);
    fPrefsController->rulesPaneFactory = [this](QWidget* parent) {
        return new RulesPrefsController(rulesController(), *fRulesHost, parent);
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
        if (fMainMenu && window()) fMenuShortcuts.rebind(fMainMenu->mainMenu(), *window());
    };
    // The library file may be hundreds of megabytes: it is read while the window shows.
    fPlaylistMenus = std::make_unique<PlaylistMenus>(
        *this, fPlayer, *fPlayerStatus,
        std::make_unique<UserPlaylists>(UserPlaylists::defaultLibraryPath(),
                                        UserPlaylists::Reading::InBackground));
    fRulesHost = std::make_unique<PlayerRulesHost>(fPlayer, *fPlaylistMenus);
    if (auto path = NSBundle::mainBundle().pathForResource("cacophony", "aiff"))
        fWakeUpNSSound = fEnvironment.makeNSSound(*path);
    fHotKeyActions = std::make_unique<HotKeyActions>(*this);
    fVersionCheck = std::make_unique<VersionCheck>(
        VersionCheck::Services{fEnvironment, fDefaults, fPreferences, [this] { return sheetWindow(); },
                               [this] { openWebLink(kHomepageURL, sheetWindow()); }});
    fMainWindow = std::make_unique<MainWindow>(
        MainWindow::Services{fDefaults, fPreferences, fEnvironment, services.clock, fPlayer, *fPlayerStatus,
                             *fPlayerCommands, *fPlaylistMenus, fVisit, [this] { applyBPM(); }});
    const auto keep = fDefaults.objectForKey("KeepTrack");
    fKeepTrack = keep ? fDefaults.boolForKey("KeepTrack") : true;
}

Controller::~Controller() {
    dropHeldPlayerNotices();
    NSNotificationCenter::defaultCenter().removeObserver(this);
    // The environment may outlive this object: no notice of the player may reach it afterwards.
    fEnvironment.stopObservingPlayerInfo();
    fEnvironment.stopObservingWorkspace();
    if (fMainMenu && Application::sharedApplication().mainMenu() == &fMainMenu->mainMenu())
        Application::sharedApplication().setMainMenu(nullptr);
}

// ---------------------------------------------------------------------------------------------
// Launch.

void Controller::awakeFromNib() {
    // The first refresh and the genre list ask the player as one refresh: one time-out at most.
    fPlayer.refreshAnswered([this] { wireMainWindow(); });
}

void Controller::wireMainWindow() {
    fMainWindow->build();
    buildMenus();
    // The list is read before the first refresh, so the first track's assigned flag is right.
    loadAssignments();
    fPlayerStatus->updateWithPlayerBridge();
    fMainWindow->updateTrackView();
    fMainWindow->updatePlayerControls();
    fMainWindow->fillGenreButton();
    observeNotifications();
    establishKeyEquivalents();
    followKeyboardLayout();
    if (fWakeUpNSSound) fWakeUpNSSound->play();
    launchPlayerIfWanted();
    loadTempoOfCurrentTrack(false);
    fMainWindow->place();
    fMainWindow->show();
}

void Controller::buildMenus() {
    fMainMenu = std::make_unique<MainMenu>(*this);
    // The key recorder's validator looks for taken combinations in the application's menus.
    Application::sharedApplication().setMainMenu(&fMainMenu->mainMenu());
    attachAddToPlaylistMenu();
    window()->setMenuBar(makeMenuBar(fMainMenu->mainMenu(), nullptr));
    fMenuShortcuts.rebind(fMainMenu->mainMenu(), *window());
}

void Controller::establishKeyEquivalents() {
    fMainMenu->establishKeyEquivalents();
    fMenuShortcuts.rebind(fMainMenu->mainMenu(), *window());
}

// Character keys are bound by what the layout types, so a new layout binds them anew.
void Controller::followKeyboardLayout() {
    fLayoutObserver = std::make_unique<KeyboardLayoutObserver>([this] { establishKeyEquivalents(); });
}

// The playlists' submenu goes after Get Info in the commands menu.
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

void Controller::loadAssignments() {
    if (!fKeepTrack) {
        fAssignments.reset();
        return;
    }
    auto folder = fEnvironment.applicationSupportDirectory();
    fAssignments = std::make_unique<AssignedTracks>(folder ? *folder + "/" + AssignedTracks::kFileName : "");
    fAssignments->load();
}

void Controller::observeNotifications() {
    auto& center = NSNotificationCenter::defaultCenter();
    center.addObserver(this, "DoUIAlert", nullptr, [this](const NSNotification& n) { doUIAlert(n); });
    center.addObserver(this, "DoUIUpdate", nullptr,
                       [this](const NSNotification& n) { fVersionCheck->answered(n); });
    center.addObserver(this, "WindowStyleChanged", nullptr,
                       [this](const NSNotification&) { windowStyleChanged(); });
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
    if (bpm > 0) fVisit.trackPreviouslyAssigned = trackAssigned(fPlayerStatus->persistentID(), bpm, false);
    if (resetTracker) tracker().reset();
    tracker().trackLoaded(bpm, fVisit.trackPreviouslyAssigned ? 100 : 10);
    fMainWindow->updateBPM();
    fMainWindow->updateBPMButtons();
}

void Controller::applicationWillFinishLaunching() {
    fEnvironment.observePlayerInfo(
        [this](const NSNotification& notification) { trackChanged(notification); });
}

void Controller::applicationDidFinishLaunching() {
    // Hot keys; the desktop has no services menu to register with.
    if (fHotKeys) {
        fHotKeys->setHotKey1Listener(this, [this] { fHotKeyActions->hotKey1Action(); });
        fHotKeys->setHotKey2Listener(this, [this] { fHotKeyActions->hotKey2Action(); });
    }
    fVersionCheck->checkWeekly();
}

void Controller::applicationWillTerminate() {
    fNotifier->dismissAtOnce();
    tracker().stopMetronome();
    fEnvironment.stopObservingPlayerInfo();
    dropHeldPlayerNotices();
    // A save that failed while the folder could not be written is tried once more before the
    // list goes; it logs its own failure.
    if (fAssignments && fAssignments->savePending()) fAssignments->save();
    fAssignments.reset();
    fPreferences.synchronize(kBeatwickPreferencesDomain);
    if (fDefaults.boolForKey("QuitiTunesOnQuit") &&
        (!fDefaults.boolForKey("QuitOnlyIfStarted") || fDidLaunchiTunes)) {
        if (auto player = WorkspaceAdditions::runningApplicationWithIdentifier(kPlayerBundleIdentifier))
            player->terminate();
    }
}

bool Controller::applicationShouldHandleReopen(bool) {
    // A minimized window is not visible on the desktop.
    if (!(window() && window()->isVisible() && !window()->isMinimized())) showMainWindow();
    return false;
}

void Controller::appDidActivate() {
    if (fWakeUpNSSound) fWakeUpNSSound->play();
    fNotifier->hideNotifyWindow();
}

void Controller::appDidResignActive() {
    fMainWindow->stopMetronome();
    fMainWindow->updateMetronome();
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
    if (isNew) fMainWindow->stopMetronome();
    fPlayerStatus->updateForNotification(notification.userInfo, state);
    if (isNew) {
        fVisit = TrackVisit{};
        const SInt32 bpm = fPlayerStatus->trackBPM();
        if (bpm > 0) fVisit.trackPreviouslyAssigned = trackAssigned(next, bpm, false);
        tracker().reset();
        tracker().trackLoaded(bpm, fVisit.trackPreviouslyAssigned ? 100 : 10);
        fMainWindow->updateBPM();
        fMainWindow->updateBPMButtons();
    }
    fMainWindow->updateTrackView();
    fMainWindow->updatePlayerControls();
    if (isNew && state == kPlayStatePlaying) fNotifier->notify();
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
        fVisit = TrackVisit{};
        loadTempoOfCurrentTrack(true);
        getGenreList();
        fMainWindow->updateTrackView();
        fMainWindow->updatePlayerControls();
    });
}

void Controller::iTunesTerminated() {
    fPlaylistMenus->forgetPlayerPlaylists();
    fPlayerStatus->updateWithPlayerBridge();
    fVisit = TrackVisit{};
    tracker().reset();
    fMainWindow->updateBPM();
    fMainWindow->updateBPMButtons();
    fMainWindow->updateTrackView();
    fMainWindow->updatePlayerControls();
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

void Controller::getGenreList() {
    fPlaylistMenus->getGenreList();
    fMainWindow->fillGenreButton();
}

void Controller::openFile(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
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
    const int bpm = tracker().displayBPM();
    if (bpm == 0) return;
    std::shared_ptr<PlayerTrack> track = fPlayer.currentTrack();
    if (!track) {
        if (!iTunesIsResponding(PlayerStatus::kProbeTicks)) assignBPMFailed();
        return;
    }
    if (fDefaults.boolForKey("AdvanceWithBPM")) tracker().stopMetronome();
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
    fMainWindow->showAssigned(fPlayerStatus->trackBPM());
    fVisit.currentTrackAssigned = true;
    fVisit.assignedBPM = bpm;
    fMainWindow->updateBPMButtons();
    applyRules();
    track.reset();

    // A window closed since the hot key counts as none remembered.
    std::optional<XWindowID> previous = fHotKeyActions->previousWindow();
    if (previous && !fEnvironment.windowExists(*previous)) previous.reset();
    if (previous) {
        if (fDefaults.boolForKey("SwitchToPrevApp")) fEnvironment.activateWindow(*previous);
    } else if (fDefaults.boolForKey("AdvanceWithBPM")) {
        if (fDefaults.boolForKey("AdvancePlus"))
            fPlayerCommands->nextPlusSkipForward(PlayerCommands::Sender::None);
        else
            fPlayerCommands->nextTrack(PlayerCommands::Sender::None);
    }
    fHotKeyActions->forgetPreviousWindow();
}

void Controller::assignBPMFailed() {
    NSAlert alert;
    alert.addButtonWithTitle(localized("OK"));
    alert.messageText = localized("Save BPM failed");
    alert.informativeText = localized("ITUNESNOTRESPONDING");
    alert.alertStyle = NSAlertStyle::Critical;
    if (Window* sheet = sheetWindow()) {
        alert.beginSheetModalForWindow(sheet, [this](NSModalResponse) { showMainWindow(); });
    } else {
        alert.runModal();
    }
}

// ---------------------------------------------------------------------------------------------
// Window settings, hot keys, the notifier's channels.

void Controller::windowStyleChanged() {
    fMainWindow->windowStyleChanged();
    // The preferences window that changed the setting among them.
    if (fPrefsController->hasLoaded()) keepAboveMainWindow(fPrefsController->window());
    if (AboutWindowController* about = AboutWindowController::existingController())
        keepAboveMainWindow(*about->window());
    for (FeedbackWindowController* form : FeedbackWindowController::openForms())
        keepAboveMainWindow(*form->window());
}

std::optional<XWindowID> Controller::activeWindow() {
    return fEnvironment.activeWindow();
}
void Controller::activateIgnoringOtherApps() {
    Application::sharedApplication().activateIgnoringOtherApps(true);
}

bool Controller::boolForKey(const std::string& key) {
    return fDefaults.boolForKey(key);
}
SInt64 Controller::integerForKey(const std::string& key) {
    return fDefaults.integerForKey(key);
}
std::optional<std::string> Controller::stringForKey(const std::string& key) {
    return fDefaults.stringForKey(key);
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
    using Command = std::function<void(Controller&)>;
    auto player = [](void (PlayerCommands::*send)()) {
        return [send](Controller& c) { (c.playerCommands().*send)(); };
    };
    auto tempo = [](void (MainWindow::*step)()) {
        return [step](Controller& c) { (c.mainWindow().*step)(); };
    };
    static const std::map<MenuCommand, Command> commands = {
        {ShowAboutWindow, &Controller::showAboutWindow},
        {CheckForNewVersion, [](Controller& c) { c.fVersionCheck->checkAsked(); }},
        {ShowPreferenceWindow, &Controller::showPreferenceWindow},
        {Quit, [](Controller& c) { c.fEnvironment.terminateApplication(); }},
        {ApplyBPM, &Controller::applyBPM},
        {HalveBPM, tempo(&MainWindow::halveBPM)},
        {DoubleBPM, tempo(&MainWindow::doubleBPM)},
        {IncrementBPM, tempo(&MainWindow::incrementBPM)},
        {DecrementBPM, tempo(&MainWindow::decrementBPM)},
        {StartStopMetronome, [](Controller& c) { c.tracker().startStopMetronome(); }},
        {PausePlayTrack, player(&PlayerCommands::pausePlayTrack)},
        {NextTrack, [](Controller& c) { c.playerCommands().nextTrack(Sender::Control); }},
        {PreviousTrack, player(&PlayerCommands::previousTrack)},
        {SkipForward, player(&PlayerCommands::skipForward)},
        {SkipBack, player(&PlayerCommands::skipBack)},
        {NextPlusSkipForward, [](Controller& c) { c.playerCommands().nextPlusSkipForward(Sender::Control); }},
        {GetTrackInfo, [](Controller& c) { c.playlistMenus().getTrackInfo(); }},
        {SwitchToiTunes, player(&PlayerCommands::switchToiTunes)},
        {RatingUp, player(&PlayerCommands::ratingUp)},
        {RatingDown, player(&PlayerCommands::ratingDown)},
        {VolumeUp, player(&PlayerCommands::volumeUp)},
        {VolumeDown, player(&PlayerCommands::volumeDown)},
        {ShowMainWindow, &Controller::showMainWindow},
        {ShowFeedbackWindow, [](Controller& c) { c.showFeedbackForm(true); }},
        {ShowSupportWindow, [](Controller& c) { c.showFeedbackForm(false); }},
        {LinkHomepage, [](Controller& c) { openWebLink(kHomepageURL, c.sheetWindow()); }},
        {LinkSupport, [](Controller& c) { openWebLink(kSupportURL, c.sheetWindow()); }},
    };
    if (auto found = commands.find(command); found != commands.end()) found->second(*this);
}

bool Controller::metronomeIsPlaying() {
    return tracker().metronomeIsPlaying();
}

int Controller::menuDisplayedBPM() {
    return tracker().displayBPM();
}

bool Controller::mainWindowIsVisible() {
    return window() && window()->isVisible();
}

std::optional<PropertyList::Dictionary> Controller::storedShortcuts() {
    auto value = fDefaults.objectForKey("Shortcuts");
    if (!value || !value->dictionary()) return std::nullopt;
    return *value->dictionary();
}

void Controller::storeShortcuts(const PropertyList::Dictionary& shortcuts) {
    fDefaults.setObject(PropertyList(shortcuts), "Shortcuts");
}

void Controller::keepAboveMainWindow(Window& other) {
    const bool floating = window() && window()->level() > NSNormalWindowLevel;
    other.setTransientFor(floating ? window() : nullptr);
}

void Controller::showPreferenceWindow() {
    keepAboveMainWindow(fPrefsController->window());
    fPrefsController->showWindow();
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

void Controller::beep() {
    NSBeep();
}

UInt32 Controller::currentModifierFlags() {
    return fEnvironment.currentModifierFlags();
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
    rulesController().applyRules(*fPlayerStatus, *fRulesHost);
}

void Controller::activatePlayer() {
    fRulesHost->activatePlayer();
}
