// What the playlist and genre menus and Get Info ask of the window around them: whether the
// player runs and answers, the accessibility check, the window for sheets and the workspace.
// Main thread only.
#pragma once

#include <string>

#include "platform/Carbon/MacTypes.h"

class Window;

class PlaylistMenusHost {
public:
    virtual ~PlaylistMenusHost() = default;

    virtual bool iTunesIsRunning() = 0;
    // Probes the player, waiting at most `ticks` (1/60 s).
    virtual bool iTunesIsResponding(UInt32 ticks) = 0;
    // Access for assistive devices, which Get Info's script needs.
    virtual bool accessibilityEnabled() = 0;
    // The window an alert goes on as a sheet: the main window while it is visible, else null.
    virtual Window* sheetWindow() = 0;
    virtual void showMainWindow() = 0;
    // Opens the file with the workspace.
    virtual void openFile(const std::string& path) = 0;
    // The genre list was rebuilt from the player (observers of "genres").
    virtual void genresChanged() = 0;
};
