// The application's menus: the application menu (About, the version check, Preferences, Quit),
// the commands submenu (tag 199, items 200 to 217, whose key equivalents come from the stored
// shortcuts), the window and help menus. Items are validated by their command before they show
// and before their key equivalent fires. Main thread only.
#pragma once

#include <map>
#include <memory>

#include "Source/MainMenuHost.h"
#include "platform/AppKit/Menu.h"

class MainMenu {
public:
    MainMenu(const MainMenu&) = delete;
    MainMenu& operator=(const MainMenu&) = delete;

    static constexpr long kControlsMenuTag = 199;

    // Not owned; must outlive the menus.
    explicit MainMenu(MainMenuHost& host);

    NSMenu& mainMenu() { return *mMainMenu; }
    // The commands submenu (item 199 of the main menu).
    NSMenu* controlsMenu() const;
    NSMenuItem* itemForCommand(MenuCommand command) const;

    // Enables, titles and checks the item as its command's state says.
    bool validateMenuItem(NSMenuItem& item, MenuCommand command);

private:
    void build();

    MainMenuHost& mHost;
    std::unique_ptr<NSMenu> mMainMenu;
    std::map<MenuCommand, NSMenuItem*> mItems;  // owned by the menus
};
