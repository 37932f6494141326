// Every test process of this folder runs on a session bus of its own, a private dbus-daemon
// started before the application object and ended with the process. Each test makes its own
// HOME (EndToEndHome); the process starts in a throwaway one, so nothing reads the user's.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QApplication>
#include <cstdio>
#include <string>

#include "EndToEndHome.h"
#include "tests/support/PrivateSessionBus.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    PrivateSessionBus bus;
    if (!bus.start()) {
        std::fprintf(stderr, "no private session bus could be started\n");
        return 1;
    }
    const EndToEndHome home;
    if (!home.ready()) {
        std::fprintf(stderr, "no temporary HOME with the sample library could be made\n");
        return 1;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The bundle's scripts and genres live in the build's resources, as for the unit tests.
    setenv("BEATWICK_RESOURCE_DIR", BEATWICK_RESOURCE_DIR, 0);
    unsetenv("DISPLAY");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
