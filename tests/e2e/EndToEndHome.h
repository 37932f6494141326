// What each end-to-end test gets of its own: a fresh HOME with the sample library as the player's
// library (as the stand-in provides it, its tracks' files included), and configuration and data
// folders inside it, so no test sees another's taps, assignments or preferences, whatever the
// order the tests run in.
#pragma once

#include <QTemporaryDir>
#include <string>

class EndToEndHome {
public:
    EndToEndHome(const EndToEndHome&) = delete;
    EndToEndHome& operator=(const EndToEndHome&) = delete;

    // Points HOME, XDG_CONFIG_HOME and XDG_DATA_HOME here (a player launched later inherits
    // them) and makes the shared preferences read their files again.
    EndToEndHome();
    ~EndToEndHome();

    // False when the folder could not be made or the sample library not provided.
    bool ready() const { return mReady; }
    const std::string& path() const { return mPath; }
    std::string libraryFile() const { return mPath + "/Music/iTunes/iTunes Music Library.xml"; }
    std::string dataFolder() const { return mPath + "/data"; }

private:
    QTemporaryDir mFolder;
    std::string mPath;
    bool mReady{false};
};
