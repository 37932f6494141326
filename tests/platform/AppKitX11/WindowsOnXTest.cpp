// Windows on a real X server, read back by another client as a window manager reads them: a
// sheet is a managed dialog transient for its window and over its top edge, and the window
// manager's close of it (Alt+F4, its close button) ends it as a cancel; a window kept above
// another is marked transient for it, and so is an alert of no window while one floats, which
// once dismissed gives the keys back to the window that showed it; under a real window manager a
// window knows where it is after its level changes, and the active window of any program is read
// and brought forward again. Skipped without Xvfb.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/ActiveWindow.h"
#include "tests/platform/AppKit/PrivateXServer.h"
#include "tests/platform/AppKitX11/WindowManagerClient.h"
#include "tests/support/Openbox.h"

namespace {

struct WindowsOnX : ::testing::Test {
    static void SetUpTestSuite() {
        server = std::make_unique<PrivateXServer>();
        if (server->display().empty()) return;
        setenv("DISPLAY", server->display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "appkit_x11_tests";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        manager = std::make_unique<WindowManagerClient>(server->display());
    }
    static void TearDownTestSuite() {
        manager.reset();
        app.reset();
        server.reset();
    }
    void SetUp() override {
        if (!app || !manager->ready()) GTEST_SKIP() << "no X server";
    }

    // Runs the event loop until the condition holds, within a bound; every request of the
    // application has reached the server first.
    static bool pumpUntil(const std::function<bool()>& condition) {
        QDeadlineTimer deadline(10000);
        for (;;) {
            auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
            free(xcb_get_input_focus_reply(x11->connection(), xcb_get_input_focus(x11->connection()),
                                           nullptr));
            if (condition()) return true;
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
    }
    // The X window: the widget's own id goes stale when Qt makes the native window anew.
    static WId xid(const QWidget& window) { return window.windowHandle()->winId(); }
    // Where the window itself believes its content is.
    static std::pair<int, int> at(const QWidget& window) {
        return {window.geometry().x(), window.geometry().y()};
    }
    static std::pair<int, int> plus(std::pair<int, int> p, int dx, int dy) {
        return {p.first + dx, p.second + dy};
    }

    // This process's window and the window manager agree that it is the active one.
    static bool isActive(const QWidget& window) {
        return window.isActiveWindow() && manager->activeWindow() == xid(window);
    }

    static inline std::unique_ptr<PrivateXServer> server;
    static inline std::unique_ptr<QApplication> app;
    static inline std::unique_ptr<WindowManagerClient> manager;
};

}  // namespace

// First in the suite: an openbox started after this process's other windows have come and gone
// has been seen to leave the next window's map request unanswered.
TEST_F(WindowsOnX, AFramedWindowSavesWhereItIsAfterItsLevelChanges) {
    if (!Openbox::available()) GTEST_SKIP() << "no openbox";
    Openbox openbox;
    ASSERT_EQ(openbox.process.state(), QProcess::Running);
    ASSERT_TRUE(openbox.waitUntilReady()) << "openbox never finished starting";
    std::map<std::string, std::string> saved;
    const FrameStore store{[&](const std::string& key) -> std::optional<std::string> {
                               const auto found = saved.find(key);
                               if (found == saved.end()) return std::nullopt;
                               return found->second;
                           },
                           [&](const std::string& key, const std::string& value) { saved[key] = value; }};
    // One launch of the main window: placed from what the last one saved, shown, and framed.
    const auto launch = [&](Window& window, NSWindowLevel level) {
        window.useFrameStore(store);
        window.setLevel(level);
        window.placeWithFrameAutosaveName("Main", NSMakeSize(200, 140));
        window.show();
        return pumpUntil([&] {
            return manager->isFramed(xid(window)) && manager->isViewable(xid(window)) &&
                   at(window) == manager->position(xid(window)) &&
                   window.windowHandle()->frameMargins().top() > 0;  // as a window long up knows them
        });
    };
    const auto quit = [&](Window& window) {
        window.close();
        return pumpUntil([&] { return !manager->isViewable(xid(window)); });
    };
    const auto text = [](std::pair<int, int> p) {
        return std::to_string(p.first) + "," + std::to_string(p.second);
    };

    Window first(NSMakeSize(200, 140));
    ASSERT_TRUE(launch(first, NSNormalWindowLevel));
    const std::pair<int, int> placed = manager->position(xid(first));
    ASSERT_TRUE(quit(first));

    Window second(NSMakeSize(200, 140));
    ASSERT_TRUE(launch(second, NSNormalWindowLevel));
    EXPECT_EQ(text(manager->position(xid(second))), text(placed));
    // The float setting turned on and off while the window is up: each change makes its native
    // window anew.
    for (const NSWindowLevel level : {NSFloatingWindowLevel, NSNormalWindowLevel, NSFloatingWindowLevel,
                                      NSNormalWindowLevel, NSFloatingWindowLevel}) {
        second.setLevel(level);
        EXPECT_TRUE(pumpUntil([&] {
            return manager->isViewable(xid(second)) && manager->position(xid(second)) == placed &&
                   at(second) == placed;
        })) << "at level "
            << level << " on the screen at " << text(manager->position(xid(second))) << ", believed at "
            << text(at(second));
    }
    ASSERT_TRUE(quit(second));

    Window third(NSMakeSize(200, 140));
    ASSERT_TRUE(launch(third, NSFloatingWindowLevel));
    EXPECT_EQ(text(manager->position(xid(third))), text(placed)) << "the next launch opens where it was";
}

TEST_F(WindowsOnX, ASheetIsATransientDialogOverItsWindowAndTheWindowManagersCloseCancelsIt) {
    Window parent(NSMakeSize(200, 140));
    parent.move(40, 30);
    parent.show();
    Window sheet(NSMakeSize(120, 60));
    std::vector<long> ended;
    parent.beginSheet(&sheet, [&](long code) { ended.push_back(code); });
    ASSERT_TRUE(pumpUntil([&] { return manager->isViewable(xid(sheet)); }));

    EXPECT_EQ(manager->transientFor(xid(sheet)), xid(parent));
    EXPECT_FALSE(manager->isOverrideRedirect(xid(sheet))) << "managed, so it gets a frame";
    EXPECT_TRUE(manager->isDialog(xid(sheet)));
    EXPECT_EQ(manager->position(xid(sheet)), plus(manager->position(xid(parent)), 40, 0))
        << "centred on the window's top edge";

    manager->close(xid(sheet));
    ASSERT_TRUE(pumpUntil([&] { return !ended.empty(); }));
    EXPECT_EQ(ended, std::vector<long>{NSModalResponseCancel});
    EXPECT_EQ(parent.attachedSheet(), nullptr);
    EXPECT_FALSE(sheet.isVisible());
}

TEST_F(WindowsOnX, AWindowKeptAboveAnotherIsTransientForItUntilReleased) {
    Window owner(NSMakeSize(200, 140));
    owner.show();
    owner.setLevel(NSFloatingWindowLevel);
    Window kept(NSMakeSize(120, 60));
    kept.move(60, 50);
    kept.show();
    ASSERT_TRUE(pumpUntil([&] { return manager->isViewable(xid(kept)); }));
    EXPECT_EQ(manager->transientFor(xid(kept)), std::nullopt);

    kept.setTransientFor(&owner);
    ASSERT_TRUE(pumpUntil([&] { return manager->isViewable(xid(kept)); }));
    EXPECT_EQ(manager->transientFor(xid(kept)), xid(owner));
    EXPECT_EQ(manager->position(xid(kept)), std::make_pair(60, 50)) << "it stays where it was";

    kept.hide();
    kept.show();
    ASSERT_TRUE(pumpUntil([&] { return manager->isViewable(xid(kept)); }));
    EXPECT_EQ(manager->transientFor(xid(kept)), xid(owner)) << "shown again, it is still kept above";

    const WId before = xid(owner);
    owner.setLevel(NSNormalWindowLevel);
    ASSERT_NE(xid(owner), before) << "a level change makes the owner's native window anew";
    EXPECT_TRUE(pumpUntil([&] { return manager->transientFor(xid(kept)) == xid(owner); }))
        << "kept above the owner's new window";

    kept.setTransientFor(nullptr);
    ASSERT_TRUE(pumpUntil([&] { return manager->isViewable(xid(kept)); }));
    EXPECT_EQ(manager->transientFor(xid(kept)), std::nullopt);
}

TEST_F(WindowsOnX, AnAlertOfNoWindowIsKeptAboveAFloatingWindow) {
    Window floating(NSMakeSize(200, 140));
    floating.show();
    floating.setLevel(NSFloatingWindowLevel);
    ASSERT_TRUE(pumpUntil([&] { return manager->isViewable(xid(floating)); }));

    std::optional<unsigned long> owner;
    QTimer::singleShot(0, [&] {
        QWidget* box = nullptr;
        ASSERT_TRUE(pumpUntil([&] {
            box = QApplication::activeModalWidget();
            return box && box->windowHandle() && manager->isViewable(xid(*box));
        }));
        owner = manager->transientFor(xid(*box));
        box->close();
    });
    NSAlert alert;
    alert.messageText = "Beatwick could not check for a new version.";
    MessageBoxAlertPresenter presenter;
    std::optional<NSModalResponse> answer;
    presenter.present(alert, nullptr, [&](NSModalResponse r) { answer = r; });

    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(owner, xid(floating))
        << "otherwise the floating window covers it, and the application seems stuck";
}

// What hot key 1 and Assign rely on: the active window is read whatever program owns it, and
// brought forward again over this program's window; one of this program's comes back too, and
// a window that has gone is not there to bring back.
TEST_F(WindowsOnX, TheActiveWindowOfAnyProgramIsReadAndBroughtForwardAgain) {
    if (!Openbox::available()) GTEST_SKIP() << "no openbox";
    Openbox openbox;
    ASSERT_TRUE(openbox.waitUntilReady()) << "openbox never finished starting";
    const unsigned long other = manager->createWindow();
    ASSERT_TRUE(pumpUntil([&] { return manager->activeWindow() == other; }))
        << "openbox focuses a new window";
    EXPECT_EQ(ActiveWindowID(), std::optional<XWindowID>(other));

    Window own(NSMakeSize(200, 140));
    own.show();
    own.activateWindow();
    ASSERT_TRUE(pumpUntil([&] { return isActive(own); }));
    EXPECT_EQ(ActiveWindowID(), std::optional<XWindowID>(xid(own)));

    EXPECT_TRUE(ActivateWindow(other));
    EXPECT_TRUE(pumpUntil([&] { return manager->activeWindow() == other && !own.isActiveWindow(); }))
        << "the other program's window is in front again";
    EXPECT_TRUE(ActivateWindow(xid(own)));
    EXPECT_TRUE(pumpUntil([&] { return isActive(own); })) << "and so is one of this program's";

    EXPECT_TRUE(WindowExists(other));
    manager->destroyWindow(other);
    EXPECT_FALSE(WindowExists(other));
    EXPECT_FALSE(ActivateWindow(other));
    EXPECT_TRUE(WindowExists(xid(own)));
}

// With the main window kept above the others, an alert of no window (the recorder's refusal in
// the Preferences window) lies over the floating window; dismissed, it leaves the keys with the
// window that showed it, where the recording goes on, not with the floating window.
TEST_F(WindowsOnX, ADismissedAlertGivesTheKeysBackToTheWindowThatShowedIt) {
    if (!Openbox::available()) GTEST_SKIP() << "no openbox";
    Openbox openbox;
    ASSERT_TRUE(openbox.waitUntilReady()) << "openbox never finished starting";
    Window floating(NSMakeSize(200, 140));
    floating.move(20, 20);
    floating.show();
    floating.setLevel(NSFloatingWindowLevel);
    floating.setWindowTitle("floating main window");
    Window preferences(NSMakeSize(300, 200));
    preferences.setWindowTitle("Preferences");
    preferences.move(260, 60);
    preferences.show();
    ASSERT_TRUE(pumpUntil(
        [&] { return manager->isViewable(xid(preferences)) && manager->isViewable(xid(floating)); }));

    // The Preferences window, twice, then the floating window itself.
    for (Window* shower : {&preferences, &preferences, &floating}) {
        const std::string name = shower->windowTitle().toStdString();
        shower->activateWindow();
        ASSERT_TRUE(pumpUntil([&] { return isActive(*shower); })) << name;
        QTimer::singleShot(0, [&] {
            QMessageBox* box = nullptr;
            ASSERT_TRUE(pumpUntil([&] {
                box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                return box && box->windowHandle() && manager->isViewable(xid(*box));
            }));
            EXPECT_TRUE(pumpUntil([&] { return isActive(*box); })) << "the alert has the keys";
            box->defaultButton()->click();
        });
        NSAlert alert;
        alert.messageText = "The key combination can't be used!";
        MessageBoxAlertPresenter presenter;
        presenter.present(alert, nullptr, [](NSModalResponse) {});
        EXPECT_TRUE(pumpUntil([&] { return isActive(*shower); }))
            << name << " showed it; the keys went to "
            << (QApplication::activeWindow() ? QApplication::activeWindow()->windowTitle().toStdString()
                                             : "none");
    }
}
