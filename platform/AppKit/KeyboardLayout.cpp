#include "platform/AppKit/KeyboardLayout.h"

// xcb's XKB header names a member "explicit".
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QAbstractNativeEventFilter>
#include <QEvent>
#include <QGuiApplication>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/KeyCodes.h"

namespace {

struct DeadKeyAccent {
    xkb_keysym_t keysym;
    char32_t accent;
    Qt::Key qtKey;  // what Qt reports for the key
};

// A dead key types nothing by itself; its name is the accent it puts on the next letter.
constexpr DeadKeyAccent kDeadKeyAccents[] = {
    {XKB_KEY_dead_grave, U'\u0060', Qt::Key_Dead_Grave},
    {XKB_KEY_dead_acute, U'\u00B4', Qt::Key_Dead_Acute},
    {XKB_KEY_dead_circumflex, U'\u005E', Qt::Key_Dead_Circumflex},
    {XKB_KEY_dead_tilde, U'\u007E', Qt::Key_Dead_Tilde},
    {XKB_KEY_dead_macron, U'\u00AF', Qt::Key_Dead_Macron},
    {XKB_KEY_dead_breve, U'\u02D8', Qt::Key_Dead_Breve},
    {XKB_KEY_dead_abovedot, U'\u02D9', Qt::Key_Dead_Abovedot},
    {XKB_KEY_dead_diaeresis, U'\u00A8', Qt::Key_Dead_Diaeresis},
    {XKB_KEY_dead_abovering, U'\u02DA', Qt::Key_Dead_Abovering},
    {XKB_KEY_dead_doubleacute, U'\u02DD', Qt::Key_Dead_Doubleacute},
    {XKB_KEY_dead_caron, U'\u02C7', Qt::Key_Dead_Caron},
    {XKB_KEY_dead_cedilla, U'\u00B8', Qt::Key_Dead_Cedilla},
    {XKB_KEY_dead_ogonek, U'\u02DB', Qt::Key_Dead_Ogonek},
    {XKB_KEY_dead_iota, U'\u037A', Qt::Key_Dead_Iota},
};

// xkbcommon's context and its keymaps are not thread-safe: one lock guards them all.
std::mutex& xkbMutex() {
    static std::mutex mutex;
    return mutex;
}

// Called with xkbMutex held.
xkb_context* sharedContext() {
    static xkb_context* context = [] {
        xkb_context* made = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        // A layout that cannot be made is answered with nullptr; its diagnostics are noise.
        if (made) xkb_context_set_log_level(made, XKB_LOG_LEVEL_CRITICAL);
        return made;
    }();
    return context;
}

struct LiveKeymap {
    xkb_keymap* keymap{nullptr};
    xkb_layout_index_t group{0};
};

xcb_connection_t* applicationConnection() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
    auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Called with xkbMutex held. The keymap of the display's core keyboard with the group in effect.
LiveKeymap keymapOfDisplay(xcb_connection_t* connection) {
    if (!connection || !sharedContext()) return {};
    if (!xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr,
                                     nullptr))
        return {};
    const int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device < 0) return {};
    xkb_keymap* keymap =
        xkb_x11_keymap_new_from_device(sharedContext(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) return {};
    LiveKeymap live{keymap, 0};
    if (xkb_state* state = xkb_x11_state_new_from_device(keymap, connection, device)) {
        live.group = xkb_state_serialize_layout(state, XKB_STATE_LAYOUT_EFFECTIVE);
        xkb_state_unref(state);
    }
    return live;
}

// Called with xkbMutex held.
xkb_keymap* keymapFromNames(const std::string& layout, const std::string& variant) {
    if (!sharedContext() || layout.empty()) return nullptr;
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), variant.c_str(), ""};
    return xkb_keymap_new_from_names(sharedContext(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

struct CurrentLayout {
    std::mutex mutex;
    std::shared_ptr<const KeyboardLayout> layout;
    bool loaded{false};
    uint64_t generation{0};
};

CurrentLayout& currentLayout() {
    static CurrentLayout current;
    return current;
}

// The observers of layout changes; touched on the main thread only.
std::vector<KeyboardLayoutObserver*>& layoutObservers() {
    static std::vector<KeyboardLayoutObserver*> observers;
    return observers;
}

// On the main thread, after the layout in use changed. An observer may end another (or itself)
// while they are told.
void tellLayoutObservers() {
    const std::vector<KeyboardLayoutObserver*> observers = layoutObservers();
    for (KeyboardLayoutObserver* observer : observers) {
        const auto& live = layoutObservers();
        if (std::find(live.begin(), live.end(), observer) != live.end()) observer->layoutDidChange();
    }
}

// Several notifications come for one change; the layout is read once they have all arrived.
void reloadSoon() {
    static bool pending = false;
    if (pending) return;
    pending = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        pending = false;
        KeyboardLayout::reloadCurrent();
    });
}

// Sees every event of the application, so it hears the layout change whichever widget gets it.
class LayoutChangeFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        // The change goes to each window; the reading is made once.
        if (event->type() == QEvent::KeyboardLayoutChange) reloadSoon();
        return false;
    }
};

// On X11 the server itself tells of a new keymap, a changed one and a switch of the group in use;
// Qt's connection listens for these for its own keymap.
class XkbNotifyFilter : public QAbstractNativeEventFilter {
public:
    explicit XkbNotifyFilter(uint8_t firstEvent) : mFirstEvent(firstEvent) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) != mFirstEvent) return false;
        const auto* xkb = reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event);
        switch (xkb->xkbType) {
            case XCB_XKB_NEW_KEYBOARD_NOTIFY:
            case XCB_XKB_MAP_NOTIFY:
                reloadSoon();
                break;
            case XCB_XKB_STATE_NOTIFY:
                if (const auto layout = KeyboardLayout::current(); layout && layout->group() != xkb->group)
                    reloadSoon();
                break;
        }
        return false;
    }

private:
    uint8_t mFirstEvent;
};

std::string utf8(char32_t c) {
    return QString::fromUcs4(&c, 1).toStdString();
}

}  // namespace

KeyboardLayout::KeyboardLayout(xkb_keymap* keymap, uint32_t group) : mKeymap(keymap), mGroup(group) {}

KeyboardLayout::~KeyboardLayout() {
    std::lock_guard lock(xkbMutex());
    xkb_keymap_unref(mKeymap);
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::fromNames(const std::string& layout,
                                                                const std::string& variant) {
    xkb_keymap* keymap = nullptr;
    {
        std::lock_guard lock(xkbMutex());
        keymap = keymapFromNames(layout, variant);
    }
    if (!keymap) return nullptr;
    return std::shared_ptr<const KeyboardLayout>(new KeyboardLayout(keymap, 0));
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::fromDisplay(xcb_connection_t* connection) {
    LiveKeymap live;
    {
        std::lock_guard lock(xkbMutex());
        live = keymapOfDisplay(connection);
    }
    if (!live.keymap) return nullptr;
    return std::shared_ptr<const KeyboardLayout>(new KeyboardLayout(live.keymap, live.group));
}

std::shared_ptr<const KeyboardLayout> KeyboardLayout::current() {
    CurrentLayout& current = currentLayout();
    {
        std::lock_guard lock(current.mutex);
        if (current.loaded) return current.layout;
    }
    reloadCurrent();
    std::lock_guard lock(current.mutex);
    return current.layout;
}

void KeyboardLayout::reloadCurrent() {
    LiveKeymap live;
    {
        std::lock_guard lock(xkbMutex());
        live = keymapOfDisplay(applicationConnection());
        if (!live.keymap) live = {keymapFromNames("us", ""), 0};
    }
    setCurrent(live.keymap
                   ? std::shared_ptr<const KeyboardLayout>(new KeyboardLayout(live.keymap, live.group))
                   : nullptr);
}

void KeyboardLayout::setCurrent(std::shared_ptr<const KeyboardLayout> layout) {
    CurrentLayout& current = currentLayout();
    std::shared_ptr<const KeyboardLayout> old;
    std::lock_guard lock(current.mutex);
    old = std::move(current.layout);
    current.layout = std::move(layout);
    current.loaded = true;
    ++current.generation;
    // The change may be made on any thread; observers hear of it on the main thread.
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, &tellLayoutObservers, Qt::QueuedConnection);
}

void KeyboardLayout::followLayoutChanges() {
    QCoreApplication* app = QCoreApplication::instance();
    static QObject* filter = nullptr;
    if (filter || !app) return;
    filter = new LayoutChangeFilter(app);
    app->installEventFilter(filter);
    if (xcb_connection_t* connection = applicationConnection()) {
        const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
        if (xkb && xkb->present) {
            static XkbNotifyFilter notifications(xkb->first_event);
            app->installNativeEventFilter(&notifications);
        }
    }
}

uint64_t KeyboardLayout::generation() {
    CurrentLayout& current = currentLayout();
    std::lock_guard lock(current.mutex);
    return current.generation;
}

uint32_t KeyboardLayout::keysymForKeyCode(int keyCode, uint32_t cocoaFlags) const {
    const std::optional<uint32_t> evdev = evdevCodeForKeyCode(keyCode);
    if (!evdev) return XKB_KEY_NoSymbol;
    std::lock_guard lock(xkbMutex());
    xkb_state* state = xkb_state_new(mKeymap);
    if (!state) return XKB_KEY_NoSymbol;
    auto bit = [this](const char* name) -> xkb_mod_mask_t {
        const xkb_mod_index_t index = xkb_keymap_mod_get_index(mKeymap, name);
        return index == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t{1} << index;
    };
    xkb_mod_mask_t depressed = 0;
    if (cocoaFlags & NSShiftKeyMask) depressed |= bit(XKB_MOD_NAME_SHIFT);
    if (cocoaFlags & NSAlternateKeyMask) depressed |= bit(XKB_MOD_NAME_ALT);
    // Num Lock on, so the keypad names its digits rather than its cursor keys.
    xkb_state_update_mask(state, depressed, 0, bit(XKB_MOD_NAME_NUM), 0, 0, mGroup);
    const xkb_keysym_t keysym = xkb_state_key_get_one_sym(state, *evdev + 8);
    xkb_state_unref(state);
    return keysym;
}

std::optional<std::string> KeyboardLayout::textForKeyCode(int keyCode, uint32_t cocoaFlags) const {
    const xkb_keysym_t keysym = keysymForKeyCode(keyCode, cocoaFlags);
    if (keysym == XKB_KEY_NoSymbol) return std::nullopt;
    for (const DeadKeyAccent& dead : kDeadKeyAccents)
        if (dead.keysym == keysym) return utf8(dead.accent);
    const char32_t character = xkb_keysym_to_utf32(keysym);
    if (character < 0x20 || character == 0x7f || (character >= 0x80 && character < 0xa0)) return std::nullopt;
    return utf8(character);
}

int KeyboardLayout::qtDeadKeyForKeyCode(int keyCode) const {
    const xkb_keysym_t keysym = keysymForKeyCode(keyCode, 0);
    for (const DeadKeyAccent& dead : kDeadKeyAccents)
        if (dead.keysym == keysym) return dead.qtKey;
    return 0;
}

std::optional<std::string> KeyboardLayout::accentForQtDeadKey(int qtKey) {
    for (const DeadKeyAccent& dead : kDeadKeyAccents)
        if (dead.qtKey == qtKey) return utf8(dead.accent);
    return std::nullopt;
}

KeyboardLayoutObserver::KeyboardLayoutObserver(std::function<void()> changed) : mChanged(std::move(changed)) {
    KeyboardLayout::followLayoutChanges();
    layoutObservers().push_back(this);
}

KeyboardLayoutObserver::~KeyboardLayoutObserver() {
    std::erase(layoutObservers(), this);
}
