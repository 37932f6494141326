// The key recorder on a real X server: while it records with global capture, a passive grab
// that another client holds (here Alt+Tab, as a window manager's application switching) does not
// fire, and it fires again once recording ends. Skipped without Xvfb or XTest.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QThread>
#include <cstdlib>
#include <functional>
#include <memory>

#include "Source/KeyRecorder/KRRecorderControl.h"
#include "platform/AppKit/SymbolicHotKeyMode.h"
#include "platform/AppKit/Window.h"
#include "tests/Source/KeyRecorderX11/AltTabGrabber.h"
#include "tests/Source/KeyRecorderX11/OtherApplication.h"
#include "tests/platform/AppKit/PrivateXServer.h"

namespace {

// The application runs on the private server, so its grabs are real X grabs.
struct RecorderOnX : ::testing::Test {
    static void SetUpTestSuite() {
#ifdef __SANITIZE_ADDRESS__
        // Qt's X connection reads the keymap through libxkbcommon-x11, which reads past an atom
        // name that X does not terminate: strict string checks stop the process there.
        return;
#endif
        server = std::make_unique<PrivateXServer>();
        if (server->display().empty()) return;
        setenv("DISPLAY", server->display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "keyrecorder_x11_tests";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() {
        app.reset();
        server.reset();
    }

    // Qt sends an ungrab without waiting; a round trip makes sure the server has it.
    static void syncApplication() {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t* connection = x11->connection();
        free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

    // Runs the event loop until the condition holds, within a bound.
    static bool pumpUntil(const std::function<bool()>& condition) {
        QDeadlineTimer deadline(10000);
        while (!condition()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        return true;
    }

    static inline std::unique_ptr<PrivateXServer> server;
    static inline std::unique_ptr<QApplication> app;
};

}  // namespace

TEST_F(RecorderOnX, DesktopShortcutsDoNotFireWhileRecordingAndFireAgainAfterwards) {
    if (!app) GTEST_SKIP() << "no X server (or built with AddressSanitizer)";
    AltTabGrabber switcher(server->display());
    if (!switcher.ready()) GTEST_SKIP() << "no XTest";
    ASSERT_EQ(switcher.switchApplications(), 1) << "the other client's grab works on its own";

    Window window(NSMakeSize(240, 60));
    auto* recorder = new KRRecorderControl(NSMakeRect(10, 20, 200, 22), window.contentView());
    recorder->setCanCaptureGlobalHotKeys(true);
    window.show();
    recorder->cell().startRecordingTransition();
    ASSERT_TRUE(recorder->cell().isRecording());
    EXPECT_EQ(QWidget::keyboardGrabber(), recorder);
    EXPECT_EQ(switcher.switchApplications(), 0);

    recorder->cell().endRecordingTransition();
    syncApplication();
    EXPECT_EQ(currentSymbolicHotKeyMode(), kHIHotKeyModeAllEnabled);
    EXPECT_EQ(switcher.switchApplications(), 1);
}

TEST_F(RecorderOnX, AnotherApplicationInFrontGetsItsKeysAndTheRecordingGrabsAgainOnReturn) {
    if (!app) GTEST_SKIP() << "no X server (or built with AddressSanitizer)";
    OtherApplication other(server->display());
    if (!other.ready()) GTEST_SKIP() << "no XTest";
    Window window(NSMakeSize(240, 60));
    auto* recorder = new KRRecorderControl(NSMakeRect(10, 20, 200, 22), window.contentView());
    recorder->setCanCaptureGlobalHotKeys(true);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(pumpUntil([&] { return window.isActiveWindow(); }));
    ASSERT_TRUE(window.makeFirstResponder(recorder));
    recorder->cell().startRecordingTransition();
    ASSERT_EQ(QWidget::keyboardGrabber(), recorder);

    other.takeFocus();
    ASSERT_TRUE(pumpUntil([&] { return !window.isActiveWindow(); })) << "the window went inactive";
    syncApplication();
    other.type("a");
    EXPECT_EQ(other.keysReceived(), 1) << "the key reached the application in front";
    EXPECT_TRUE(recorder->cell().isRecording());
    EXPECT_EQ(recorder->keyCombo(), kEmptyKeyCombo);

    other.giveFocusTo(window.winId());
    ASSERT_TRUE(pumpUntil([&] { return window.isActiveWindow(); }));
    EXPECT_TRUE(recorder->cell().isRecording());
    EXPECT_EQ(QWidget::keyboardGrabber(), recorder) << "recording takes the keyboard again";
    recorder->cell().endRecordingTransition();
    EXPECT_EQ(currentSymbolicHotKeyMode(), kHIHotKeyModeAllEnabled);
}

// The main window's tap area, as far as keys go: it counts the presses it gets.
struct KeyCounter : QWidget {
    KeyCounter() { setFocusPolicy(Qt::StrongFocus); }
    void keyPressEvent(QKeyEvent*) override { ++presses; }
    int presses{0};
};

TEST_F(RecorderOnX, AnotherWindowOfTheApplicationGetsItsKeysWhileTheRecordingWaits) {
    if (!app) GTEST_SKIP() << "no X server (or built with AddressSanitizer)";
    OtherApplication other(server->display());
    if (!other.ready()) GTEST_SKIP() << "no XTest";
    Window preferences(NSMakeSize(240, 60));
    auto* recorder = new KRRecorderControl(NSMakeRect(10, 20, 200, 22), preferences.contentView());
    recorder->setCanCaptureGlobalHotKeys(true);
    KeyCounter main;
    main.resize(200, 100);
    main.show();
    preferences.show();
    preferences.activateWindow();
    ASSERT_TRUE(pumpUntil([&] { return preferences.isActiveWindow(); }));
    ASSERT_TRUE(preferences.makeFirstResponder(recorder));
    recorder->cell().startRecordingTransition();
    ASSERT_EQ(QWidget::keyboardGrabber(), recorder);

    // Back to the main window from the preferences, as a window manager activates it.
    other.giveFocusTo(main.winId());
    ASSERT_TRUE(pumpUntil([&] { return main.isActiveWindow(); }));
    main.setFocus();
    syncApplication();
    other.type("space");
    other.type("b");
    EXPECT_TRUE(pumpUntil([&] { return main.presses == 2; }))
        << main.presses << " keys reached the main window";
    EXPECT_TRUE(recorder->cell().isRecording());
    EXPECT_EQ(recorder->keyCombo(), kEmptyKeyCombo);
    recorder->cell().endRecordingTransition();
}
