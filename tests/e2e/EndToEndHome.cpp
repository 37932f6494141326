#include "EndToEndHome.h"

#include <stdlib.h>

#include <filesystem>

#include "platform/Foundation/Preferences.h"

EndToEndHome::EndToEndHome() : mPath(mFolder.path().toStdString()) {
    namespace fs = std::filesystem;
    if (!mFolder.isValid()) return;
    std::error_code error;
    const fs::path library = fs::path(mPath) / "Music" / "iTunes";
    fs::create_directories(library, error);
    if (error) return;
    fs::copy(fs::path(BEATWICK_SOURCE_DIR) / "Resources" / "SampleLibrary", library,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    if (error) return;
    setenv("HOME", mPath.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (mPath + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", dataFolder().c_str(), 1);
    PreferencesStore::shared().reset();
    mReady = true;
}

EndToEndHome::~EndToEndHome() {
    // What the store still holds belongs to this folder, which is about to go.
    PreferencesStore::shared().reset();
}
