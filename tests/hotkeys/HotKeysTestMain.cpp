// The application runs on a private X server of this process, so the hot keys' grabs and the
// keys pressed through XTest stay there.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>

#include "HotKeysTestSupport.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    PrivateXServer server;
    if (server.display().empty()) {
        // No X server: the tests see no display and skip.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QApplication app(argc, argv);
        return RUN_ALL_TESTS();
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("BEATWICK_RESOURCE_DIR", BEATWICK_RESOURCE_DIR, 0);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
