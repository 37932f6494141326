#include "EndToEndHome.h"

#include <stdlib.h>

#include "platform/Foundation/Preferences.h"
#include "player/SampleLibrary.h"

EndToEndHome::EndToEndHome() : mPath(mFolder.path().toStdString()) {
    if (!mFolder.isValid()) return;
    // The sample library as the stand-in provides it, with a file for each track.
    if (!player::SampleLibrary::provide(std::string(BEATWICK_RESOURCE_DIR) + "/SampleLibrary", libraryFile()))
        return;
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
