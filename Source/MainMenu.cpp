#include "Source/MainMenu.h"

#include <cctype>
#include <string>
#include <vector>

#include "Source/MenuTags.h"
#include "Source/Preferences/StoredShortcuts.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/Foundation/Bundle.h"

namespace {

// How an item's command decides whether it is enabled (and its title or check mark).
enum class Validation {
    Always,
    MainWindow,     // checked while the main window is visible
    PlayPause,      // "Pause" while the player plays, else "Play"; enabled while it runs
    Metronome,      // "Stop Metronome" while it plays; enabled while a tempo shows
    PlayerRunning,  // enabled while the player runs
    Apply,          // enabled while a tempo shows and there is a track: Assign writes the shown one
    TempoShown,     // enabled while a tempo shows
};

struct ItemSpec {
    MenuCommand command;
    const char* title;  // empty: a separator
    long tag;
    Validation validation;
    const char* keyEquivalent;  // fixed ones only; the commands submenu's come from the shortcuts
};

struct MenuSpec {
    const char* title;
    long tag;
    std::vector<ItemSpec> items;
};

constexpr ItemSpec separator() {
    return {MenuCommand::ShowMainWindow, "", 0, Validation::Always, ""};
}

const std::vector<MenuSpec>& menuSpecs() {
    using enum MenuCommand;
    using enum Validation;
    static const std::vector<MenuSpec> specs = {
        {"Beatwick",
         0,
         {{ShowAboutWindow, "About Beatwick", 0, Always, ""},
          {CheckForNewVersion, "Check for Updates…", 0, Always, ""},
          separator(),
          {ShowPreferenceWindow, "Preferences…", 0, Always, ","},
          separator(),
          {Quit, "Quit Beatwick", 0, Always, "q"}}},
        {"Controls",
         kControlsMenuTag,
         {{ApplyBPM, "Assign BPM", kAssignMenuTag, Apply, ""},
          {HalveBPM, "Halve BPM", kHalveBPMMenuTag, TempoShown, ""},
          {DoubleBPM, "Double BPM", kDoubleBPMMenuTag, TempoShown, ""},
          {IncrementBPM, "Increase BPM", kIncrementBPMMenuTag, TempoShown, ""},
          {DecrementBPM, "Decrease BPM", kDecrementBPMMenuTag, TempoShown, ""},
          separator(),
          {StartStopMetronome, "Start Metronome", kStartMetronomeMenuTag, Metronome, ""},
          separator(),
          {PausePlayTrack, "Play", kPlayPauseMenuTag, PlayPause, ""},
          {NextTrack, "Next Track", kNextMenuTag, PlayerRunning, ""},
          {PreviousTrack, "Previous Track", kPreviousMenuTag, PlayerRunning, ""},
          {SkipForward, "Skip Forward", kSkipForwardMenuTag, PlayerRunning, ""},
          {SkipBack, "Skip Back", kSkipBackMenuTag, PlayerRunning, ""},
          {NextPlusSkipForward, "Next Track and Skip Forward", kNextPlusSkipMenuTag, PlayerRunning, ""},
          separator(),
          {GetTrackInfo, "Get Info", kGetInfoMenuTag, PlayerRunning, ""},
          {SwitchToiTunes, "Switch to iTunes", kSwitchMenuTag, Always, ""},
          separator(),
          {RatingUp, "Rating Up", kRatingUpMenuTag, PlayerRunning, ""},
          {RatingDown, "Rating Down", kRatingDownMenuTag, PlayerRunning, ""},
          {VolumeUp, "Volume Up", kVolumeUpMenuTag, PlayerRunning, ""},
          {VolumeDown, "Volume Down", kVolumeDownMenuTag, PlayerRunning, ""}}},
        {"Window", 0, {{ShowMainWindow, "Beatwick", 0, MainWindow, ""}}},
        {"Help",
         0,
         {{ShowFeedbackWindow, "Send Feedback…", 0, Always, ""},
          {ShowSupportWindow, "Technical Support…", 0, Always, ""},
          separator(),
          {LinkHomepage, "Beatwick Home Page", 0, Always, ""},
          {LinkSupport, "Beatwick Support Page", 0, Always, ""}}},
    };
    return specs;
}

// Commands that get a shortcut even when the stored ones have no entry for them.
struct FallbackShortcut {
    const char* command;
    long tag;
    StoredShortcut shortcut;
};

constexpr FallbackShortcut kFallbackShortcuts[] = {
    {"StartMetronome", kStartMetronomeMenuTag, {41, NSCommandKeyMask}},
    {"IncrementBPM", kIncrementBPMMenuTag, {37, NSCommandKeyMask}},
    {"DecrementBPM", kDecrementBPMMenuTag, {40, NSCommandKeyMask}},
};

bool hasFallback(const char* command) {
    for (const FallbackShortcut& fallback : kFallbackShortcuts)
        if (std::string_view(fallback.command) == command) return true;
    return false;
}

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", "");
}

const ItemSpec* specFor(MenuCommand command) {
    for (const MenuSpec& menu : menuSpecs())
        for (const ItemSpec& item : menu.items)
            if (*item.title && item.command == command) return &item;
    return nullptr;
}

}  // namespace

MainMenu::MainMenu(MainMenuHost& host) : mHost(host), mMainMenu(std::make_unique<NSMenu>("Main Menu")) {
    build();
}

void MainMenu::build() {
    for (const MenuSpec& spec : menuSpecs()) {
        auto submenu = std::make_unique<NSMenu>(localized(spec.title));
        for (const ItemSpec& itemSpec : spec.items) {
            if (!*itemSpec.title) {
                submenu->addItem(NSMenuItem::separatorItem());
                continue;
            }
            const MenuCommand command = itemSpec.command;
            NSMenuItem* item = submenu->addItemWithTitle(
                localized(itemSpec.title), [this, command] { mHost.performMenuCommand(command); },
                itemSpec.keyEquivalent);
            item->setTag(itemSpec.tag);
            mItems[command] = item;
            if (*itemSpec.keyEquivalent) {
                item->setKeyEquivalentModifierMask(NSCommandKeyMask);
                // Letters and punctuation are their own Qt keys, letters in upper case.
                const int key = std::toupper(static_cast<unsigned char>(itemSpec.keyEquivalent[0]));
                item->setShortcut(keySequenceFor(key, NSCommandKeyMask));
            }
            item->validate = [this, command](NSMenuItem& validated) {
                return validateMenuItem(validated, command);
            };
        }
        NSMenuItem* top = mMainMenu->addItemWithTitle(localized(spec.title), nullptr);
        top->setTag(spec.tag);
        top->setSubmenu(std::move(submenu));
    }
}

NSMenu* MainMenu::controlsMenu() const {
    NSMenuItem* item = mMainMenu->itemWithTag(kControlsMenuTag);
    return item ? item->submenu() : nullptr;
}

NSMenuItem* MainMenu::itemForCommand(MenuCommand command) const {
    const auto found = mItems.find(command);
    return found == mItems.end() ? nullptr : found->second;
}

bool MainMenu::validateMenuItem(NSMenuItem& item, MenuCommand command) {
    const ItemSpec* spec = specFor(command);
    switch (spec ? spec->validation : Validation::Always) {
        case Validation::Always:
            return true;
        case Validation::MainWindow:
            item.setState(mHost.mainWindowIsVisible() ? NSOnState : NSOffState);
            return true;
        case Validation::PlayPause: {
            const bool running = mHost.iTunesIsRunning();
            item.setTitle(
                localized(running && mHost.menuPlayState() == kPlayStatePlaying ? "Pause" : "Play"));
            return running;
        }
        case Validation::Metronome:
            item.setTitle(localized(mHost.metronomeIsPlaying() ? "Stop Metronome" : "Start Metronome"));
            return mHost.menuDisplayedBPM() > 0;
        case Validation::PlayerRunning:
            return mHost.iTunesIsRunning();
        case Validation::Apply:
            return mHost.menuDisplayedBPM() > 0 && mHost.hasCurrentTrack();
        case Validation::TempoShown:
            return mHost.menuDisplayedBPM() > 0;
    }
    return true;
}

void MainMenu::establishKeyEquivalents() {
    const PropertyList::Dictionary stored = mHost.storedShortcuts().value_or(PropertyList::Dictionary{});
    bool fallbackMissing = false;
    for (const ShortcutCommand& command : shortcutCommands()) {
        const auto entry = stored.find(command.name);
        std::optional<StoredShortcut> shortcut =
            storedShortcutFromValue(entry == stored.end() ? nullptr : &entry->second);
        if (entry == stored.end() && hasFallback(command.name)) {
            fallbackMissing = true;
            for (const FallbackShortcut& fallback : kFallbackShortcuts)
                if (fallback.tag == command.tag) shortcut = fallback.shortcut;
        }
        // No entry (or a broken one) is no shortcut: key code 0 would take "a" from the tap area.
        const StoredShortcut applied = shortcut.value_or(StoredShortcut{});
        setKeyEquivalent(command.tag, applied.modifierFlags, applied.keyCode);
    }
    if (fallbackMissing) convertKeyEquivalents();
}

void MainMenu::convertKeyEquivalents() {
    PropertyList::Dictionary stored = mHost.storedShortcuts().value_or(PropertyList::Dictionary{});
    bool added = false;
    for (const FallbackShortcut& fallback : kFallbackShortcuts) {
        if (stored.contains(fallback.command)) continue;
        stored[fallback.command] = valueForStoredShortcut(fallback.shortcut);
        added = true;
    }
    if (added) mHost.storeShortcuts(stored);
}

void MainMenu::setKeyEquivalent(long tag, uint64_t modifierFlags, int64_t keyCode) {
    setMenuKeyEquivalent(*mMainMenu, tag, StoredShortcut{keyCode, modifierFlags});
}
