#include "Source/MainMenu.h"

#include <cctype>
#include <string>
#include <vector>

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
         MainMenu::kControlsMenuTag,
         {{ApplyBPM, "Assign BPM", 200, Apply, ""},
          {HalveBPM, "Halve BPM", 201, TempoShown, ""},
          {DoubleBPM, "Double BPM", 202, TempoShown, ""},
          {IncrementBPM, "Increase BPM", 216, TempoShown, ""},
          {DecrementBPM, "Decrease BPM", 217, TempoShown, ""},
          separator(),
          {StartStopMetronome, "Start Metronome", 215, Metronome, ""},
          separator(),
          {PausePlayTrack, "Play", 203, PlayPause, ""},
          {NextTrack, "Next Track", 204, PlayerRunning, ""},
          {PreviousTrack, "Previous Track", 205, PlayerRunning, ""},
          {SkipForward, "Skip Forward", 206, PlayerRunning, ""},
          {SkipBack, "Skip Back", 207, PlayerRunning, ""},
          {NextPlusSkipForward, "Next Track and Skip Forward", 208, PlayerRunning, ""},
          separator(),
          {GetTrackInfo, "Get Info", 209, PlayerRunning, ""},
          {SwitchToiTunes, "Switch to iTunes", 210, Always, ""},
          separator(),
          {RatingUp, "Rating Up", 211, PlayerRunning, ""},
          {RatingDown, "Rating Down", 212, PlayerRunning, ""},
          {VolumeUp, "Volume Up", 213, PlayerRunning, ""},
          {VolumeDown, "Volume Down", 214, PlayerRunning, ""}}},
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
    {"StartMetronome", 215, {41, NSCommandKeyMask}},
    {"IncrementBPM", 216, {37, NSCommandKeyMask}},
    {"DecrementBPM", 217, {40, NSCommandKeyMask}},
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
