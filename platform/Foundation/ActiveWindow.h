// The process of the X server's active window: _NET_ACTIVE_WINDOW of the root window, then
// that window's _NET_WM_PID. nullopt without a display ($DISPLAY unset or unreachable) or when
// the window manager or the window does not tell. May be called from any thread.
#pragma once

#include <sys/types.h>

#include <optional>

std::optional<pid_t> ActiveWindowProcess();
