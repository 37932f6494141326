// Every test process of this folder runs on a session bus of its own, a private dbus-daemon
// started before the application object and ended with the process, and in a fresh temporary
// HOME whose player library is a copy of the sample library.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <filesystem>
#include <string>

#include "EndToEndSupport.h"
#include "tests/support/PrivateSessionBus.h"

namespace {

bool copySampleLibrary(const std::string& home) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path library = fs::path(home) / "Music" / "iTunes";
    fs::create_directories(library, error);
    fs::copy(fs::path(BEATWICK_SOURCE_DIR) / "Resources" / "SampleLibrary", library,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
    return !error;
}

}  // namespace

const std::string& EndToEndHome() {
    static QTemporaryDir folder;
    static const std::string path = folder.path().toStdString();
    return path;
}

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    PrivateSessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "no private session bus could be started\n");
        return 1;
    }
    const std::string home = EndToEndHome();
    if (!copySampleLibrary(home)) {
        std::fprintf(stderr, "the sample library could not be copied to %s\n", home.c_str());
        return 1;
    }
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    unsetenv("DISPLAY");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
