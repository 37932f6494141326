// Menu key equivalents pressed on a real X server by another client, with a window manager: a
// key that is an item's key equivalent performs the item and never reaches the focused view, also
// without Ctrl; a disabled item's key does nothing; after the server's layout changes the bindings
// made anew match the keys, a dead key among them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "Source/Preferences/StoredShortcuts.h"
#include "XTestClient.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/GlobalHotKeys.h"
#include "platform/AppKit/KeyCodes.h"
#include "platform/AppKit/KeyboardLayout.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/Window.h"
#include "tests/support/Openbox.h"

namespace {

constexpr int kMarkerKeyCode = 111;  // F12: no item's, it marks the end of a press

// A view that takes the keys it is given, as the tap area does.
struct KeyTakingView : View {
    using View::View;
    bool acceptsFirstResponder() const override { return true; }
    void keyDown(const NSEvent& event) override { ++(event.keyCode == kMarkerKeyCode ? markers : keys); }
    int keys{0};
    int markers{0};
};

bool pumpUntil(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

bool setLayout(const QString& layout) {
    return QProcess::execute("setxkbmap", {"-display", qEnvironmentVariable("DISPLAY"), "-layout", layout}) ==
           0;
}

constexpr long kHalveTag = 201, kSkipForwardTag = 206, kSkipBackTag = 207, kRatingUpTag = 211;

// The factory keys of four commands: Ctrl+[ (a character key), Alt+Right and Alt+Left (no
// Ctrl), Ctrl+Alt+= (a dead key on "de").
const std::map<long, StoredShortcut> kShortcuts = {
    {kHalveTag, {33, NSCommandKeyMask}},
    {kSkipForwardTag, {kKeyCodeRightArrow, NSAlternateKeyMask}},
    {kSkipBackTag, {123, NSAlternateKeyMask}},
    {kRatingUpTag, {24, NSCommandKeyMask | NSAlternateKeyMask}},
};

// The commands submenu with the four items, bound to an active window whose key view takes
// keys; bound anew after each layout change, as the application does.
struct MenuKeysOnTheDisplay : ::testing::Test {
    void SetUp() override {
        if (!GlobalHotKeysAvailable()) GTEST_SKIP() << "no X display";
        if (!Openbox::available()) GTEST_SKIP() << "no openbox";
        if (QStandardPaths::findExecutable("setxkbmap").isEmpty()) GTEST_SKIP() << "no setxkbmap";
        ASSERT_TRUE(setLayout("us"));
        KeyboardLayout::reloadCurrent();
        openbox = std::make_unique<Openbox>();
        ASSERT_TRUE(openbox->waitUntilReady());
        auto controls = std::make_unique<NSMenu>("Controls");
        for (const auto& [tag, shortcut] : kShortcuts) {
            NSMenuItem* item = controls->addItemWithTitle("Command", [this, tag = tag] { ++performed[tag]; });
            item->setTag(tag);
            item->validate = [this, tag = tag](NSMenuItem&) { return tag != disabledTag; };
        }
        menu.addItemWithTitle("Controls", nullptr)->setSubmenu(std::move(controls));
        menu.itemAtIndex(0)->setTag(199);
        window = std::make_unique<Window>(NSMakeSize(200, 100));
        bar = makeMenuBar(menu, nullptr);
        window->setMenuBar(bar);
        view = new KeyTakingView(NSMakeRect(0, 0, 200, 100), window->contentView());
        bind();
        observer = std::make_unique<KeyboardLayoutObserver>([this] { bind(); });
        window->show();
        ASSERT_TRUE(pumpUntil([this] { return window->isActiveWindow(); }))
            << "the window manager activates it";
        ASSERT_TRUE(window->makeFirstResponder(view));
        ASSERT_TRUE(keys.ready());
    }
    void TearDown() override {
        observer.reset();
        shortcuts.reset();  // before their window, which owns them
        window.reset();
        openbox.reset();
        setLayout("us");
        KeyboardLayout::reloadCurrent();
    }
    void bind() {
        for (const auto& [tag, shortcut] : kShortcuts) setMenuKeyEquivalent(menu, tag, shortcut);
        shortcuts->rebind(menu, *window);
    }
    // Presses the key with the modifiers held; returns once the application has handled it,
    // which the marker key pressed after it tells, as X delivers one client's keys in order.
    void press(const std::vector<std::string>& modifiers, const std::string& key) {
        for (const std::string& m : modifiers) keys.key(m, true);
        keys.tap(key);
        for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) keys.key(*m, false);
        const int marker = view->markers;
        keys.tap("F12");
        ASSERT_TRUE(pumpUntil([&] { return view->markers > marker; })) << "the marker key never came";
    }
    // Clicks the title of the bar's menu; returns once the menu is open.
    void openMenuByClick() {
        const QPoint title = bar->mapToGlobal(bar->actionGeometry(bar->actions().at(0)).center());
        keys.click(title.x(), title.y());
        ASSERT_TRUE(pumpUntil([] { return QApplication::activePopupWidget() != nullptr; }))
            << "the menu opens";
    }
    QKeySequence boundTo(long tag) const {
        return menu.itemWithTag(199)->submenu()->itemWithTag(tag)->shortcut();
    }

    std::unique_ptr<Openbox> openbox;
    NSMenu menu;
    std::unique_ptr<MenuShortcuts> shortcuts = std::make_unique<MenuShortcuts>();
    std::unique_ptr<Window> window;
    KeyTakingView* view{nullptr};
    QMenuBar* bar{nullptr};
    std::unique_ptr<KeyboardLayoutObserver> observer;
    std::map<long, int> performed;
    long disabledTag{0};
    XTestClient keys;
};

}  // namespace

TEST_F(MenuKeysOnTheDisplay, AMenusKeyIsNeverTheViewsAndOtherKeysAre) {
    const struct {
        const char* name;
        std::vector<std::string> modifiers;
        const char* key;
        long tag;
    } cases[] = {
        {"Alt+Right", {"Alt_L"}, "Right", kSkipForwardTag},
        {"Alt+Left", {"Alt_L"}, "Left", kSkipBackTag},
        {"Ctrl+[", {"Control_L"}, "bracketleft", kHalveTag},
        {"Ctrl+Alt+=", {"Control_L", "Alt_L"}, "equal", kRatingUpTag},
    };
    for (const auto& c : cases)
        for (int i = 1; i <= 5; ++i) {
            press(c.modifiers, c.key);
            EXPECT_EQ(performed[c.tag], i) << c.name;
        }
    EXPECT_EQ(view->keys, 0) << "no menu key reached the view";

    // A disabled item's key does nothing at all.
    disabledTag = kSkipForwardTag;
    press({"Alt_L"}, "Right");
    EXPECT_EQ(performed[kSkipForwardTag], 5);
    EXPECT_EQ(view->keys, 0);

    // Keys that are no item's reach the view, with or without a modifier.
    press({}, "Right");
    press({"Shift_L"}, "Left");
    press({}, "space");
    EXPECT_EQ(view->keys, 3);
}

TEST_F(MenuKeysOnTheDisplay, ALayoutChangeBindsTheKeysAnewADeadKeyAmongThem) {
    ASSERT_TRUE(setLayout("de"));
    ASSERT_TRUE(pumpUntil([this] {
        return boundTo(kHalveTag) == QKeySequence(Qt::CTRL | Qt::Key_Udiaeresis);
    })) << boundTo(kHalveTag).toString().toStdString();
    press({"Control_L"}, "udiaeresis");
    EXPECT_EQ(performed[kHalveTag], 1) << "Halve on the key that now types ü";
    EXPECT_EQ(boundTo(kRatingUpTag), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Dead_Acute));
    for (int i = 1; i <= 5; ++i) {
        press({"Control_L", "Alt_L"}, "dead_acute");
        EXPECT_EQ(performed[kRatingUpTag], i) << "Rating Up on the dead key";
    }
    EXPECT_EQ(view->keys, 0);

    ASSERT_TRUE(setLayout("us"));
    ASSERT_TRUE(
        pumpUntil([this] { return boundTo(kHalveTag) == QKeySequence(Qt::CTRL | Qt::Key_BracketLeft); }));
    press({"Control_L"}, "bracketleft");
    EXPECT_EQ(performed[kHalveTag], 2);
    press({"Control_L", "Alt_L"}, "equal");
    EXPECT_EQ(performed[kRatingUpTag], 6);
    EXPECT_EQ(view->keys, 0);
}

TEST_F(MenuKeysOnTheDisplay, AClosedMenuLeavesTheKeysWithTheView) {
    const struct {
        const char* name;
        std::function<void(MenuKeysOnTheDisplay&)> close;
    } cases[] = {
        {"closed by Escape", [](MenuKeysOnTheDisplay& t) { t.keys.tap("Escape"); }},
        {"closed by a second click",
         [](MenuKeysOnTheDisplay& t) {
             const QPoint title = t.bar->mapToGlobal(t.bar->actionGeometry(t.bar->actions().at(0)).center());
             t.keys.click(title.x(), title.y());
         }},
    };
    int expected = 0;
    for (const auto& c : cases) {
        openMenuByClick();
        c.close(*this);
        ASSERT_TRUE(pumpUntil([] { return QApplication::activePopupWidget() == nullptr; })) << c.name;
        for (const char* key : {"space", "Down", "Escape"}) {
            press({}, key);
            EXPECT_EQ(view->keys, ++expected) << c.name << ": " << key << " reaches the view";
            ASSERT_EQ(QApplication::activePopupWidget(), nullptr)
                << c.name << ": " << key << " opens no menu";
        }
    }
}

TEST_F(MenuKeysOnTheDisplay, AltPressedAloneLeavesTheKeysWithTheView) {
    press({}, "Alt_L");
    const int before = view->keys;
    press({}, "space");
    EXPECT_EQ(view->keys, before + 1);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(view->hasFocus());
}
