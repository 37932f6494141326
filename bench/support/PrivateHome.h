// A home of the bench's own for a whole-program run: a temporary folder as HOME with its own
// preference and data folders, the offscreen platform, the null audio output and no display, so
// that a run neither reads nor changes the user's settings, library or screen.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

// sampleLibrary, when given, is copied in as the player's library folder.
inline void usePrivateHome(const std::string& home, const char* resourceDir, const char* sampleLibrary) {
    std::error_code error;
    std::filesystem::create_directories(home + "/Music/iTunes", error);
    if (sampleLibrary)
        std::filesystem::copy(sampleLibrary, home + "/Music/iTunes", std::filesystem::copy_options::recursive,
                              error);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("BEATWICK_AUDIO", "null", 1);
    setenv("BEATWICK_RESOURCE_DIR", resourceDir, 1);
    unsetenv("DISPLAY");
}
