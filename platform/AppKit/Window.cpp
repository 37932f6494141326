#include "platform/AppKit/Window.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <utility>

#include "platform/AppKit/Button.h"
#include "platform/AppKit/Event.h"
#include "platform/AppKit/View.h"
#include "platform/AppKit/WidgetFrame.h"
#include "platform/Foundation/Scheduler.h"

namespace {

struct LevelForKey {
    int key;
    NSWindowLevel level;
};
constexpr std::array<LevelForKey, 2> kLevels{{{4, NSNormalWindowLevel}, {5, NSFloatingWindowLevel}}};

std::map<std::string, std::string>& memoryFrames() {
    static std::map<std::string, std::string> frames;
    return frames;
}

FrameStore& frameStore() {
    static FrameStore store{
        [](const std::string& key) -> std::optional<std::string> {
            auto it = memoryFrames().find(key);
            if (it == memoryFrames().end()) return std::nullopt;
            return it->second;
        },
        [](const std::string& key, const std::string& value) { memoryFrames()[key] = value; }};
    return store;
}

int primaryScreenHeight() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 0;
}

// A saved frame is the desktop's text form "x y width height" of the window, then the same four
// of the visible area of its screen, y-up, in whole points. The screen part is only informative.
std::optional<NSRect> parseFrame(const std::string& text) {
    std::istringstream in(text);
    long x, y, w, h;
    if (!(in >> x >> y >> w >> h) || w <= 0 || h <= 0 || w > 100000 || h > 100000) return std::nullopt;
    if (std::labs(x) > 100000 || std::labs(y) > 100000) return std::nullopt;
    return NSMakeRect(x, y, w, h);
}

QRect yUpToScreen(const NSRect& r) {
    const int h = static_cast<int>(std::lround(r.size.height));
    return QRect(static_cast<int>(std::lround(r.origin.x)),
                 primaryScreenHeight() - static_cast<int>(std::lround(r.origin.y)) - h,
                 static_cast<int>(std::lround(r.size.width)), h);
}

NSRect screenToYUp(const QRect& g) {
    return NSMakeRect(g.x(), primaryScreenHeight() - g.y() - g.height(), g.width(), g.height());
}

// A frame left on no screen (a display since removed) comes back inside the first screen.
NSRect constrainedToScreens(const NSRect& frame) {
    const QRect wanted = yUpToScreen(frame);
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().intersects(wanted)) return frame;
    const QScreen* first = QGuiApplication::primaryScreen();
    if (!first) return frame;
    const QRect area = first->availableGeometry();
    QRect placed = wanted;
    placed.setSize(placed.size().boundedTo(area.size()));
    placed.moveLeft(std::clamp(placed.x(), area.left(), area.right() + 1 - placed.width()));
    placed.moveTop(std::clamp(placed.y(), area.top(), area.bottom() + 1 - placed.height()));
    return screenToYUp(placed);
}

}  // namespace

NSWindowLevel CGWindowLevelForKey(int key) {
    for (const LevelForKey& entry : kLevels)
        if (entry.key == key) return entry.level;
    return NSNormalWindowLevel;
}

void Window::setFrameStore(FrameStore store) {
    if (store.get && store.set) frameStore() = std::move(store);
}

void Window::useFrameStore(FrameStore store) {
    if (store.get && store.set) mFrameStore = std::move(store);
}

const FrameStore& Window::store() const {
    return mFrameStore ? *mFrameStore : frameStore();
}

Window::Window(NSSize contentSize, bool borderless) : QWidget(nullptr), mContentView(new View(this)) {
    if (borderless) setWindowFlag(Qt::FramelessWindowHint, true);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setContentSize(contentSize);
}

Window::~Window() {
    if (mLiveResizeEnd) Scheduler::current().cancel(mLiveResizeEnd);
    if (mSheet) mSheet->mSheetParent = nullptr;
    if (mSheetParent && mSheetParent->mSheet == this) {
        mSheetParent->mSheet = nullptr;
        mSheetParent->mSheetDidEnd = nullptr;
    }
}

void Window::setTitle(const std::string& title) {
    setWindowTitle(QString::fromStdString(title));
}

void Window::makeKeyAndOrderFront() {
    // A minimized window comes back, as ordering it front does on the desktop.
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    if (mCanBecomeKey) activateWindow();
}

void Window::orderFront() {
    show();
    raise();
}

void Window::orderFrontRegardless() {
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    raise();
    setAttribute(Qt::WA_ShowWithoutActivating, !mCanBecomeKey);
}

void Window::orderOut() {
    hide();
}

bool Window::isKeyWindow() const {
    return isVisible() && isActiveWindow();
}

bool Window::isMainWindow() const {
    return isKeyWindow();
}

bool Window::makeFirstResponder(QWidget* responder) {
    if (!responder) {
        if (QWidget* focused = focusWidget()) focused->clearFocus();
        return true;
    }
    if (responder->window() != this) return false;
    // Views decide when they are polished; polish now so a fresh view's answer counts.
    responder->ensurePolished();
    if (responder->focusPolicy() == Qt::NoFocus) return false;
    responder->setFocus(Qt::OtherFocusReason);
    return true;
}

QWidget* Window::firstResponder() const {
    return focusWidget();
}

void Window::setLevel(NSWindowLevel level) {
    if (level == mLevel) return;
    mLevel = level;
    const bool visible = isVisible();
    const QRect placed = geometry();
    const bool wasRestoring = std::exchange(mRestoring, true);
    setWindowFlag(Qt::WindowStaysOnTopHint, level > NSNormalWindowLevel);
    // Changing flags hides the window and makes its native window anew, which Qt would place by
    // the old frame's corner: under a window manager the content then moves by the frame's
    // border and title, and is saved there. It goes back where it was.
    setGeometry(placed);
    if (visible) show();
    mRestoring = wasRestoring;
    renewTransientsForThis();
}

void Window::setTransientFor(Window* owner) {
    if (owner == this) owner = nullptr;
    if (owner == mTransientFor) return;
    mTransientFor = owner;
    if (owner) owner->winId();
    winId();
    windowHandle()->setTransientParent(owner ? owner->windowHandle() : nullptr);
    markTransientForOnX11();
}

void Window::setVisible(bool visible) {
    QWidget::setVisible(visible);
    // Mapping an ordinary window, Qt takes the mark away again.
    if (visible && mTransientFor) markTransientForOnX11();
}

void Window::renewTransientsForThis() {
    // A change of flags makes the native window anew; the windows kept above it follow it there.
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* kept = qobject_cast<Window*>(top);
        if (!kept || kept == this || kept->mTransientFor != this || !kept->windowHandle()) continue;
        kept->windowHandle()->setTransientParent(windowHandle());
        kept->markTransientForOnX11();
    }
}

void Window::markTransientForOnX11() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    // The QWidget's own id goes stale when Qt makes the native window anew; the handle's does not.
    if (!connection || !windowHandle()) return;
    const auto window = static_cast<xcb_window_t>(windowHandle()->winId());
    if (mTransientFor && mTransientFor->windowHandle()) {
        const auto owner = static_cast<xcb_window_t>(mTransientFor->windowHandle()->winId());
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_TRANSIENT_FOR,
                            XCB_ATOM_WINDOW, 32, 1, &owner);
    } else {
        xcb_delete_property(connection, window, XCB_ATOM_WM_TRANSIENT_FOR);
    }
    xcb_flush(connection);
}

void Window::setCanBecomeKeyWindow(bool can) {
    mCanBecomeKey = can;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowDoesNotAcceptFocus, !can);
    setAttribute(Qt::WA_ShowWithoutActivating, !can);
    if (visible) show();
    renewTransientsForThis();
}

NSRect Window::frameRect() const {
    const QRect g = geometry();
    return NSMakeRect(g.x(), primaryScreenHeight() - g.y() - g.height(), g.width(), g.height());
}

void Window::setFrameRect(const NSRect& frame) {
    const int w = static_cast<int>(std::lround(frame.size.width));
    const int h = static_cast<int>(std::lround(frame.size.height));
    const bool wasSetting = std::exchange(mSettingFrame, true);
    setGeometry(static_cast<int>(std::lround(frame.origin.x)),
                primaryScreenHeight() - static_cast<int>(std::lround(frame.origin.y)) - h, w, h);
    mSettingFrame = wasSetting;
    layoutContent();
    keepYUpOrigins(*mContentView);
}

void Window::setContentSize(NSSize size) {
    const bool wasSetting = std::exchange(mSettingFrame, true);
    resize(static_cast<int>(std::lround(size.width)),
           static_cast<int>(std::lround(size.height)) + menuBarHeight());
    mSettingFrame = wasSetting;
    // A hidden window hears of its size only when shown; its views are placed from it before that.
    layoutContent();
    keepYUpOrigins(*mContentView);
}

int Window::menuBarHeight() const {
    return mMenuBar ? mMenuBar->sizeHint().height() : 0;
}

void Window::layoutContent() {
    const int bar = menuBarHeight();
    if (mMenuBar) mMenuBar->setGeometry(0, 0, width(), bar);
    mContentView->setGeometry(0, bar, width(), std::max(0, height() - bar));
}

void Window::setMenuBar(QWidget* bar) {
    if (bar == mMenuBar) return;
    const QSize content = mContentView->size();
    const QSize minimum = minimumSize() - QSize(0, menuBarHeight());
    mMenuBar = bar;
    if (bar) {
        bar->setParent(this);
        bar->show();
    }
    const bool wasSetting = std::exchange(mSettingFrame, true);
    if (minimum.height() > 0) setMinimumSize(minimum.width(), minimum.height() + menuBarHeight());
    resize(content.width(), content.height() + menuBarHeight());
    mSettingFrame = wasSetting;
    layoutContent();
    keepYUpOrigins(*mContentView);
}

void Window::setContentMinSize(NSSize size) {
    setMinimumSize(static_cast<int>(std::lround(size.width)),
                   static_cast<int>(std::lround(size.height)) + menuBarHeight());
}

void Window::noteLiveResize() {
    Scheduler& scheduler = Scheduler::current();
    if (mLiveResizeEnd) {
        scheduler.cancel(mLiveResizeEnd);
    } else {
        for (View* view : findChildren<View*>()) view->viewWillStartLiveResize();
    }
    mLiveResizeEnd = scheduler.scheduleAfter(kLiveResizeQuietMs, [this] { endLiveResize(); });
}

void Window::endLiveResize() {
    mLiveResizeEnd = 0;
    for (View* view : findChildren<View*>()) view->viewDidEndLiveResize();
}

void Window::center() {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect area = s->availableGeometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

bool Window::setFrameUsingName(const std::string& name) {
    if (name.empty()) return false;
    const std::optional<std::string> saved = store().get(frameKey(name));
    const std::optional<NSRect> frame = saved ? parseFrame(*saved) : std::nullopt;
    if (!frame) return false;
    mRestoring = true;
    setFrameRect(constrainedToScreens(*frame));
    mRestoring = false;
    return true;
}

void Window::saveFrameUsingName(const std::string& name) const {
    if (name.empty()) return;
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const NSRect f = frameRect();
    const NSRect area = s ? screenToYUp(s->availableGeometry()) : NSRect{};
    std::ostringstream out;
    const char* separator = "";
    for (const NSRect& r : {f, area}) {
        out << separator << std::lround(r.origin.x) << ' ' << std::lround(r.origin.y) << ' '
            << std::lround(r.size.width) << ' ' << std::lround(r.size.height);
        separator = " ";
    }
    store().set(frameKey(name), out.str());
}

bool Window::setFrameAutosaveName(const std::string& name) {
    mAutosaveName = name;
    return setFrameUsingName(name);
}

void Window::placeWithFrameAutosaveName(const std::string& name, NSSize defaultContentSize) {
    center();
    if (setFrameAutosaveName(name)) return;
    mRestoring = true;
    setContentSize(defaultContentSize);
    center();
    mRestoring = false;
}

void Window::autosave() const {
    if (!mRestoring && !mAutosaveName.empty()) saveFrameUsingName(mAutosaveName);
}

Button* Window::defaultButton() const {
    for (Button* button : findChildren<Button*>())
        if (button->keyEquivalent() == "\r") return button;
    return nullptr;
}

bool Window::performKeyEquivalent(const NSEvent& event) {
    for (Button* button : findChildren<Button*>())
        if (button->performKeyEquivalent(event)) return true;
    return false;
}

void Window::beginSheet(Window* sheet, std::function<void(long)> didEnd) {
    if (!sheet || mSheet || sheet == this) return;
    mSheet = sheet;
    sheet->mSheetParent = this;
    mSheetDidEnd = std::move(didEnd);
    // Qt's sheet type with the dialog one is its drawer, which X11 shows frameless in the
    // screen's corner; a dialog with a parent is transient for it, so it stays over it.
    sheet->setParent(this, Qt::Dialog);
    sheet->setWindowModality(Qt::WindowModal);
    const QRect over = geometry();
    sheet->move(over.x() + (over.width() - sheet->width()) / 2, over.y());
    sheet->show();
}

void Window::endSheet(Window* sheet, long returnCode) {
    if (!sheet || sheet != mSheet) return;
    mSheet = nullptr;
    sheet->mSheetParent = nullptr;
    auto didEnd = std::move(mSheetDidEnd);
    mSheetDidEnd = nullptr;
    sheet->hide();
    if (didEnd) didEnd(returnCode);
}

void Window::performClose() {
    close();
}

bool Window::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate || e->type() == QEvent::WindowDeactivate) {
        const bool key = isKeyWindow();
        if (key != mWasKey) {
            mWasKey = key;
            if (key)
                emit didBecomeKey();
            else
                emit didResignKey();
        }
    }
    return QWidget::event(e);
}

// Keys the focused view passed on end here; Return and Enter reach the default button.
void Window::keyPressEvent(QKeyEvent* event) {
    if (isModifierOnlyKey(event->key()) ||
        !performKeyEquivalent(NSEvent::keyEvent(*event, NSEventType::KeyDown)))
        event->ignore();
}

void Window::closeEvent(QCloseEvent* event) {
    if (windowShouldClose && !windowShouldClose()) {
        event->ignore();
        return;
    }
    emit willClose();
    event->accept();
    if (mSheetParent) mSheetParent->endSheet(this, NSModalResponseCancel);
}

void Window::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    autosave();
    emit didMove();
}

void Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutContent();
    // Sizes set by the program are no live resize; the user's (through the window manager) are.
    if (isVisible() && !mSettingFrame && !mRestoring && event->oldSize().isValid()) noteLiveResize();
    autosave();
    emit didResize();
}
