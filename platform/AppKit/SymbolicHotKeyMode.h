// The desktop's own shortcuts switched off for a while, as the key recorder needs them: while
// the mode on top of the stack disables them all, the widget that pushed it holds an active
// keyboard grab, so the window manager's passive grabs (application switching and the like) do
// not fire and every key reaches the widget. Modes nest; popping restores the one beneath.
// Main thread only.
#pragma once

#include <cstdint>

class QWidget;

inline constexpr uint32_t kHIHotKeyModeAllEnabled = 0;
inline constexpr uint32_t kHIHotKeyModeAllDisabled = 1;

using SymbolicHotKeyModeToken = uint64_t;

// Answers the token that PopSymbolicHotKeyMode takes back; never 0. `grabber` receives the keys
// while the mode disables the shortcuts; it may be destroyed before the pop.
SymbolicHotKeyModeToken PushSymbolicHotKeyMode(uint32_t mode, QWidget* grabber);
// Removes the pushed mode, wherever it lies in the stack; an unknown token does nothing.
void PopSymbolicHotKeyMode(SymbolicHotKeyModeToken token);
// The mode in force: the top of the stack, all enabled when it is empty.
uint32_t currentSymbolicHotKeyMode();
