// Every test process of this folder runs on a session bus of its own: a private dbus-daemon
// started before the application object, ended when the process ends. HOME and the XDG
// folders point into a fresh temporary folder, so stand-in players started by the tests keep
// their library and preferences there.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <string>

#include "BusTestSupport.h"
#include "tests/support/PrivateSessionBus.h"

const std::string& BusTestHome() {
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
    const std::string home = BusTestHome();
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    unsetenv("DISPLAY");
    int result = 0;
    {
        QCoreApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
