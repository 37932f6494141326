// What the main menu asks of the application: the commands its items send, the state their
// validation reads, and the stored shortcuts. Main thread only.
#pragma once

#include <optional>

#include "Source/PlayerStatus.h"
#include "platform/Foundation/PropertyList.h"

// Every command an item of the main menu sends.
enum class MenuCommand {
    // The application menu.
    ShowAboutWindow,
    CheckForNewVersion,
    ShowPreferenceWindow,
    Quit,
    // The commands submenu (kControlsMenuTag) and the rest of the controls.
    ApplyBPM,
    HalveBPM,
    DoubleBPM,
    IncrementBPM,
    DecrementBPM,
    StartStopMetronome,
    PausePlayTrack,
    NextTrack,
    PreviousTrack,
    SkipForward,
    SkipBack,
    NextPlusSkipForward,
    GetTrackInfo,
    SwitchToiTunes,
    RatingUp,
    RatingDown,
    VolumeUp,
    VolumeDown,
    // The window and help menus.
    ShowMainWindow,
    ShowFeedbackWindow,
    ShowSupportWindow,
    LinkHomepage,
    LinkSupport,
};

class MainMenuHost {
public:
    virtual ~MainMenuHost() = default;

    virtual void performMenuCommand(MenuCommand command) = 0;

    virtual bool iTunesIsRunning() = 0;
    virtual PlayState menuPlayState() = 0;
    virtual bool metronomeIsPlaying() = 0;
    // The tempo shown (0 while none is).
    virtual int menuDisplayedBPM() = 0;
    virtual bool hasCurrentTrack() const = 0;
    virtual bool mainWindowIsVisible() = 0;

    // The "Shortcuts" dictionary of the defaults, and storing it back.
    virtual std::optional<PropertyList::Dictionary> storedShortcuts() = 0;
    virtual void storeShortcuts(const PropertyList::Dictionary& shortcuts) = 0;
};
