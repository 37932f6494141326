// A top-level window in the platform's terms: a content view, key state, first responder, window
// levels, key equivalents of its buttons (Return for the default button), sheets, and a frame
// saved under an autosave name through a replaceable store.
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/AppKit/Geometry.h"

class Button;
class View;
struct NSEvent;

using NSWindowLevel = int;
inline constexpr NSWindowLevel NSNormalWindowLevel = 0;
inline constexpr NSWindowLevel NSFloatingWindowLevel = 3;

// What a sheet ends with when it is closed (by the window manager) rather than answered.
inline constexpr long NSModalResponseCancel = 0;

// The level keys this program asks for.
inline constexpr int kCGNormalWindowLevelKey = 4;
inline constexpr int kCGFloatingWindowLevelKey = 5;

// The level of a level key: 4 is the normal level, 5 the floating one; other keys are normal.
NSWindowLevel CGWindowLevelForKey(int key);

// Where saved frames live; the user defaults back it. Without one, frames last as long as the process.
struct FrameStore {
    std::function<std::optional<std::string>(const std::string& key)> get;
    std::function<void(const std::string& key, const std::string& value)> set;
};

class Window : public QWidget {
    Q_OBJECT
public:
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // A titled window whose content view has the size; `borderless` makes a frameless one.
    explicit Window(NSSize contentSize, bool borderless = false);
    ~Window() override;

    View* contentView() const { return mContentView; }
    // A menu bar along the top, outside the content: the content keeps its size and the window
    // is taller by the bar. The window takes the bar as its child.
    void setMenuBar(QWidget* bar);
    QWidget* menuBar() const { return mMenuBar; }

    void setTitle(const std::string& title);
    // Also brings a minimized window back.
    void makeKeyAndOrderFront();
    void orderFront();
    // Shows the window without taking the keyboard from the active window.
    void orderFrontRegardless();
    void orderOut();
    bool isKeyWindow() const;
    bool isMainWindow() const;  // the key window, since there is no separate main window here

    // Gives the widget the keyboard; false when it takes no focus.
    bool makeFirstResponder(QWidget* responder);
    QWidget* firstResponder() const;

    void setLevel(NSWindowLevel level);
    NSWindowLevel level() const { return mLevel; }
    // Keeps this window above `owner`: transient for it, which the window manager stacks over it
    // whatever their levels; nullptr lets it go. A shown window stays shown where it is.
    void setTransientFor(Window* owner);
    Window* transientFor() const { return mTransientFor; }
    void setVisible(bool visible) override;
    void setExcludedFromWindowsMenu(bool excluded) { mExcludedFromWindowsMenu = excluded; }
    bool isExcludedFromWindowsMenu() const { return mExcludedFromWindowsMenu; }
    // A window that never takes the keyboard (a notice panel): clicks do not make it key.
    void setCanBecomeKeyWindow(bool can);
    bool canBecomeKeyWindow() const { return mCanBecomeKey; }
    void setAlphaValue(CGFloat alpha) { setWindowOpacity(alpha); }
    CGFloat alphaValue() const { return windowOpacity(); }

    // Frames on the screen, y-up from the bottom of the primary screen.
    NSRect frameRect() const;
    void setFrameRect(const NSRect& frame);
    void setContentSize(NSSize size);
    // The user cannot make the window smaller than this.
    void setContentMinSize(NSSize size);
    // A user resize ends when no resize came for this long (the desktop tells no end here).
    static constexpr int64_t kLiveResizeQuietMs = 250;
    bool inLiveResize() const { return mLiveResizeEnd != 0; }
    // Centres the window on its screen's available area.
    void center();

    // Restores the frame saved under the name when there is one (answering true) and saves the
    // frame under it whenever the window moves or resizes from then on.
    bool setFrameAutosaveName(const std::string& name);
    const std::string& frameAutosaveName() const { return mAutosaveName; }
    void saveFrameUsingName(const std::string& name) const;
    bool setFrameUsingName(const std::string& name);
    // The main window's placement: the saved frame, else centred with the default content size.
    void placeWithFrameAutosaveName(const std::string& name, NSSize defaultContentSize);
    static void setFrameStore(FrameStore store);
    // This window's own store, in place of the shared one.
    void useFrameStore(FrameStore store);
    // The key under which a frame of that autosave name is stored.
    static std::string frameKey(const std::string& name) { return "NSWindow Frame " + name; }

    // The enabled, visible button whose key equivalent the event is; it is clicked. The default
    // button (key equivalent Return) answers Return and Enter.
    bool performKeyEquivalent(const NSEvent& event);
    Button* defaultButton() const;

    // A window-modal sheet over this window: a dialog transient for it, centred on its top edge.
    // `didEnd` gets the code endSheet passes; a sheet closed by the window manager ends with
    // NSModalResponseCancel.
    void beginSheet(Window* sheet, std::function<void(long returnCode)> didEnd);
    void endSheet(Window* sheet, long returnCode = NSModalResponseCancel);
    Window* attachedSheet() const { return mSheet; }

    // Asked before the window closes by the user or performClose; answering false keeps it open.
    std::function<bool()> windowShouldClose;
    void performClose();

signals:
    void didBecomeKey();
    void didResignKey();
    void didMove();
    void didResize();
    void willClose();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // X11's WM_TRANSIENT_FOR, written on the mapped window: Qt writes it only for dialogs, as it
    // maps them, and the window would have to be unmapped for that and lose its place.
    void markTransientForOnX11();
    void renewTransientsForThis();
    void autosave() const;
    int menuBarHeight() const;
    // The bar along the top, the content view below it.
    void layoutContent();
    const FrameStore& store() const;
    void noteLiveResize();
    void endLiveResize();

    View* mContentView;
    QWidget* mMenuBar{nullptr};
    NSWindowLevel mLevel{NSNormalWindowLevel};
    bool mExcludedFromWindowsMenu{false};
    bool mCanBecomeKey{true};
    bool mWasKey{false};
    bool mRestoring{false};
    bool mSettingFrame{false};
    uint64_t mLiveResizeEnd{0};  // the scheduler task that ends the live resize
    std::string mAutosaveName;
    std::optional<FrameStore> mFrameStore;
    Window* mSheet{nullptr};
    Window* mSheetParent{nullptr};  // the window this one is attached to as a sheet
    QPointer<Window> mTransientFor;
    std::function<void(long)> mSheetDidEnd;
};
