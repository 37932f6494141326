// The program's version, in one place: the number the version check compares with the offered
// one, and the text the feedback form and the support block send. Resources/Info.plist carries
// the same two (a test holds them together).
#pragma once

#include "platform/Carbon/MacTypes.h"

inline constexpr SInt16 kRunningVersion = 160;
inline constexpr const char* kRunningVersionText = "1.6";
