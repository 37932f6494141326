#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QWindow>
#include <map>
#include <optional>

#include "platform/AppKit/Alert.h"
#include "platform/AppKit/Application.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/Window.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/support/TestApplication.h"

namespace {

// A frame store over a map, as the user defaults would keep it.
struct MapFrameStore {
    MapFrameStore() {
        Window::setFrameStore(
            {[this](const std::string& key) -> std::optional<std::string> {
                 auto it = values.find(key);
                 if (it == values.end()) return std::nullopt;
                 return it->second;
             },
             [this](const std::string& key, const std::string& value) { values[key] = value; }});
    }
    std::map<std::string, std::string> values;
};

// Answers every alert with a chosen response and remembers what it was shown.
class AnsweringPresenter : public AlertPresenter {
public:
    void present(const NSAlert& alert, Window* sheetWindow,
                 std::function<void(NSModalResponse)> done) override {
        shown.push_back({alert.messageText, alert.alertStyle, sheetWindow});
        if (sheetWindow)
            pending = std::move(done);
        else
            done(answer);
    }
    struct Shown {
        std::string message;
        NSAlertStyle style;
        Window* sheet;
    };
    std::vector<Shown> shown;
    NSModalResponse answer{NSAlertFirstButtonReturn};
    std::function<void(NSModalResponse)> pending;
};

}  // namespace

TEST(FrameAutosave, DefaultsToCentred420By400ThenRestoresTheSavedFrame) {
    testApplication();
    MapFrameStore store;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    {
        Window window(NSMakeSize(300, 200));
        window.placeWithFrameAutosaveName("MainWindowPos", NSMakeSize(420, 400));
        EXPECT_EQ(window.size(), QSize(420, 400));
        EXPECT_EQ(window.pos(),
                  QPoint(area.x() + (area.width() - 420) / 2, area.y() + (area.height() - 400) / 2));
        EXPECT_TRUE(store.values.empty()) << "placing is not a move by the user";
        window.show();
        window.setFrameRect(NSMakeRect(50, 60, 500, 410));
        ASSERT_EQ(store.values.count("NSWindow Frame MainWindowPos"), 1u);
        EXPECT_EQ(store.values["NSWindow Frame MainWindowPos"].rfind("50 60 500 410 ", 0), 0u)
            << "the window frame, then its screen's visible frame";
    }
    Window again(NSMakeSize(300, 200));
    again.placeWithFrameAutosaveName("MainWindowPos", NSMakeSize(420, 400));
    EXPECT_EQ(again.frameRect(), NSMakeRect(50, 60, 500, 410));

    store.values["NSWindow Frame Broken"] = "12 x";
    Window broken(NSMakeSize(300, 200));
    EXPECT_FALSE(broken.setFrameAutosaveName("Broken")) << "an unreadable frame counts as none";
}

namespace {
struct LiveResizeRecorder : View {
    using View::View;
    void viewWillStartLiveResize() override { calls.push_back("will"); }
    void viewDidEndLiveResize() override { calls.push_back("did"); }
    std::vector<std::string> calls;
};
}  // namespace

TEST(LiveResize, AUserResizeReachesEveryViewOnceAtStartAndEnd) {
    testApplication();
    VirtualScheduler scheduler;
    ScopedScheduler scoped(scheduler);
    Window window(NSMakeSize(420, 400));
    auto* outer = new View(NSMakeRect(0, 0, 200, 200), window.contentView());
    auto* inner = new LiveResizeRecorder(NSMakeRect(10, 10, 36, 36), outer);
    window.setContentMinSize(NSMakeSize(420, 400));
    window.show();
    window.setContentSize(NSMakeSize(500, 450));
    EXPECT_TRUE(inner->calls.empty()) << "a size set by the program is no live resize";

    // The window manager's resizes, one after another, are one live resize.
    for (int step = 0; step < 5; ++step) {
        window.resize(520 + 10 * step, 460);
        scheduler.advance(Window::kLiveResizeQuietMs - 1);
    }
    EXPECT_EQ(inner->calls, std::vector<std::string>{"will"});
    EXPECT_TRUE(window.inLiveResize());
    scheduler.advance(1);
    EXPECT_EQ(inner->calls, (std::vector<std::string>{"will", "did"}));
    EXPECT_FALSE(window.inLiveResize());
    window.resize(100, 100);
    EXPECT_EQ(window.size(), QSize(420, 400)) << "the minimum holds";
}

TEST(WindowLevel, FloatingKeepsTheWindowOnTop) {
    testApplication();
    EXPECT_EQ(CGWindowLevelForKey(5), NSFloatingWindowLevel);
    EXPECT_EQ(CGWindowLevelForKey(4), NSNormalWindowLevel);
    Window window(NSMakeSize(100, 100));
    window.show();
    window.setLevel(CGWindowLevelForKey(5));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(window.isVisible()) << "still shown after the flag change";
    window.setLevel(CGWindowLevelForKey(4));
    EXPECT_FALSE(window.windowFlags() & Qt::WindowStaysOnTopHint);
}

// A sheet is a dialog (Qt's sheet type would make a frameless drawer in the screen's corner),
// transient for its window, modal to it alone and centred on its top edge. The window manager
// closing it ends it as a cancel, so the next sheet can begin.
TEST(Sheets, AreTransientDialogsOverTheTopEdgeAndAClosedOneEndsAsACancel) {
    testApplication();
    Window parent(NSMakeSize(500, 400));
    parent.move(100, 80);
    parent.show();
    Window sheet(NSMakeSize(300, 200));
    std::vector<long> ended;
    parent.beginSheet(&sheet, [&](long code) { ended.push_back(code); });
    ASSERT_EQ(parent.attachedSheet(), &sheet);
    EXPECT_EQ(sheet.windowType(), Qt::Dialog);
    EXPECT_EQ(sheet.parentWidget(), &parent);
    ASSERT_NE(sheet.windowHandle(), nullptr);
    EXPECT_EQ(sheet.windowHandle()->transientParent(), parent.windowHandle());
    EXPECT_EQ(sheet.windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet.pos(), QPoint(parent.geometry().x() + 100, parent.geometry().y()));

    sheet.close();
    EXPECT_EQ(ended, std::vector<long>{NSModalResponseCancel});
    EXPECT_EQ(parent.attachedSheet(), nullptr);
    EXPECT_FALSE(sheet.isVisible());

    parent.beginSheet(&sheet, [&](long code) { ended.push_back(code); });
    EXPECT_TRUE(sheet.isVisible()) << "the next sheet begins";
    parent.endSheet(&sheet, 1);
    EXPECT_EQ(ended, (std::vector<long>{NSModalResponseCancel, 1}));
    EXPECT_FALSE(sheet.isVisible());
}

TEST(Alerts, GoThroughThePresenterModalOrAsASheet) {
    testApplication();
    AnsweringPresenter presenter;
    AlertPresenter::setCurrent(&presenter);
    NSAlert alert;
    alert.messageText = "Save BPM failed";
    alert.alertStyle = NSAlertStyle::Critical;
    alert.addButtonWithTitle("OK");
    alert.addButtonWithTitle("Cancel");
    presenter.answer = NSAlertSecondButtonReturn;
    EXPECT_EQ(alert.runModal(), NSAlertSecondButtonReturn);

    Window window(NSMakeSize(100, 100));
    std::optional<NSModalResponse> ended;
    alert.beginSheetModalForWindow(&window, [&](NSModalResponse r) { ended = r; });
    EXPECT_FALSE(ended) << "a sheet returns before it is answered";
    ASSERT_TRUE(presenter.pending);
    presenter.pending(NSAlertFirstButtonReturn);
    EXPECT_EQ(ended, NSAlertFirstButtonReturn);

    ended.reset();
    alert.beginSheetModalForWindow(nullptr, [&](NSModalResponse r) { ended = r; });
    EXPECT_EQ(ended, NSAlertSecondButtonReturn) << "no window: modal, then the handler";

    ASSERT_EQ(presenter.shown.size(), 3u);
    EXPECT_EQ(presenter.shown[0].message, "Save BPM failed");
    EXPECT_EQ(presenter.shown[0].style, NSAlertStyle::Critical);
    EXPECT_EQ(presenter.shown[1].sheet, &window);
    EXPECT_EQ(presenter.shown[2].sheet, nullptr);
    AlertPresenter::setCurrent(nullptr);
}

// A sheet's check box is a real one, and its end handler reads the state the user left it in.
TEST(Alerts, TheMessageBoxSheetCarriesTheSuppressionCheckBox) {
    testApplication();
    Window window(NSMakeSize(300, 200));
    window.show();
    for (bool checked : {false, true}) {
        NSAlert alert;
        alert.messageText = "A newer version";
        alert.addButtonWithTitle("Get It");
        alert.addButtonWithTitle("Cancel");
        alert.showsSuppressionButton = true;
        alert.suppressionButtonTitle = "Stop checking for updates";
        std::optional<NSModalResponse> ended;
        std::optional<bool> state;
        alert.beginSheetModalForWindow(&window, [&, alert](NSModalResponse r) {
            ended = r;
            state = alert.suppressionButtonState();
        });
        auto* box = window.findChild<QMessageBox*>();
        ASSERT_NE(box, nullptr);
        ASSERT_NE(box->checkBox(), nullptr);
        EXPECT_EQ(box->checkBox()->text().toStdString(), "Stop checking for updates");
        box->checkBox()->setChecked(checked);
        box->buttons().front()->click();
        EXPECT_EQ(ended, NSAlertFirstButtonReturn);
        EXPECT_EQ(state, checked);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST(Activation, FocusMovingBetweenOwnWindowsIsNoResignation) {
    testApplication();
    Application& app = Application::sharedApplication();
    app.applicationStateChanged(Qt::ApplicationActive);
    QCoreApplication::processEvents();
    QSignalSpy resigned(&app, &Application::didResignActive);
    QSignalSpy activated(&app, &Application::didBecomeActive);
    // The focus leaves one window and reaches the next before the event loop settles.
    app.applicationStateChanged(Qt::ApplicationInactive);
    app.applicationStateChanged(Qt::ApplicationActive);
    QCoreApplication::processEvents();
    EXPECT_EQ(resigned.count(), 0);
    EXPECT_EQ(activated.count(), 0);
    app.applicationStateChanged(Qt::ApplicationInactive);
    QCoreApplication::processEvents();
    EXPECT_EQ(resigned.count(), 1);
    EXPECT_FALSE(app.isActive());
    app.applicationStateChanged(Qt::ApplicationActive);
    QCoreApplication::processEvents();
    EXPECT_EQ(activated.count(), 1);
}
