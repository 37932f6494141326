// The X server's active window, as the window manager tells it (_NET_ACTIVE_WINDOW of the root
// window), its process (the window's _NET_WM_PID), and bringing a window forward again. Every
// call opens its own connection to $DISPLAY; without a display (unset or unreachable) each
// answers nothing or false. May be called from any thread.
#pragma once

#include <sys/types.h>

#include <optional>

// An X window's id; 0 is none.
using XWindowID = unsigned long;

// nullopt also when the window manager or the window does not tell.
std::optional<pid_t> ActiveWindowProcess();
// nullopt when the window manager does not tell or no window is active.
std::optional<XWindowID> ActiveWindowID();
// The window is still on the display (it may be unmapped).
bool WindowExists(XWindowID window);
// Asks the window manager to activate the window, whatever program owns it: a _NET_ACTIVE_WINDOW
// message to the root window, sent as a pager sends it for the user. false when the window has
// gone or the message could not be sent.
bool ActivateWindow(XWindowID window);
