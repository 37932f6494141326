// The application's menus: the application menu (About, the version check, Preferences, Quit),
// the commands submenu (its tag and its items' in MenuTags.h; their key equivalents come from the
// stored shortcuts), the window and help menus. Items are validated by their command before they show
// and before their key equivalent fires. Main thread only.
#pragma once

#include <map>
#include <memory>

#include "Source/MainMenuHost.h"
#include "Source/MenuTags.h"
#include "platform/AppKit/Menu.h"

class MainMenu {
public:
    MainMenu(const MainMenu&) = delete;
    MainMenu& operator=(const MainMenu&) = delete;

    // Not owned; must outlive the menus.
    explicit MainMenu(MainMenuHost& host);

    NSMenu& mainMenu() { return *mMainMenu; }
    // The commands submenu (kControlsMenuTag of the main menu).
    NSMenu* controlsMenu() const;
    NSMenuItem* itemForCommand(MenuCommand command) const;

    // Enables, titles and checks the item as its command's state says.
    bool validateMenuItem(NSMenuItem& item, MenuCommand command);

    // The key equivalents of the commands submenu from the stored shortcuts, once at launch. The
    // metronome and the BPM steps fall back to Command-';', -'L' and -'K' when they have no entry,
    // and those are stored; any other command without an entry has no key equivalent.
    void establishKeyEquivalents();
    // Stores the fall-backs of the three commands that have no entry; nothing when all have one.
    void convertKeyEquivalents();
    // The shortcut of the commands submenu's item with the tag (keyCode -1: none).
    void setKeyEquivalent(long tag, uint64_t modifierFlags, int64_t keyCode);

private:
    void build();

    MainMenuHost& mHost;
    std::unique_ptr<NSMenu> mMainMenu;
    std::map<MenuCommand, NSMenuItem*> mItems;  // owned by the menus
};
