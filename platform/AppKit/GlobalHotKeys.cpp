#include "platform/AppKit/GlobalHotKeys.h"

#include <xcb/xcb.h>

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <map>
#include <memory>
#include <optional>

#include "platform/AppKit/DesktopShortcuts.h"
#include "platform/AppKit/KeyCodes.h"

namespace {

// X keycodes are evdev codes moved by 8.
constexpr uint32_t kEvdevToX = 8;
// Caps Lock and Num Lock: every combination of them is grabbed and ignored on presses.
constexpr uint16_t kLockMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr uint16_t kIgnoredMasks = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;

struct Registration {
    EventHotKeyID id;
    xcb_keycode_t keycode{0};
    uint16_t modifiers{0};
    bool grabbed{false};
    bool down{false};
};

class HotKeyTable : public QAbstractNativeEventFilter {
public:
    static HotKeyTable& shared() {
        static HotKeyTable table;
        return table;
    }

    xcb_connection_t* connection() {
        auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
        if (!app || QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
        auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t* c = x11 ? x11->connection() : nullptr;
        if (c && !mFiltering) {
            app->installNativeEventFilter(this);
            mFiltering = true;
        }
        return c;
    }

    xcb_window_t root(xcb_connection_t* c) { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }

    OSStatus add(UInt32 keyCode, UInt32 carbonModifiers, EventHotKeyID id, EventHotKeyRef* outRef) {
        if (!outRef) return paramErr;
        *outRef = nullptr;
        const std::optional<uint32_t> evdev = evdevCodeForKeyCode(static_cast<int>(keyCode));
        if (!evdev) return eventHotKeyInvalidErr;
        auto registration = std::make_unique<Registration>();
        registration->id = id;
        registration->keycode = static_cast<xcb_keycode_t>(*evdev + kEvdevToX);
        registration->modifiers = x11ModifiersFromCarbon(carbonModifiers);
        if (xcb_connection_t* c = connection()) {
            // All four grabs or none: a half-held combination would fire only with some locks.
            bool refused = false;
            for (uint16_t locks : kLockMasks) {
                xcb_void_cookie_t cookie =
                    xcb_grab_key_checked(c, 1, root(c), registration->modifiers | locks,
                                         registration->keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
                    free(error);  // BadAccess: another client holds it
                    refused = true;
                }
            }
            if (refused) {
                ungrab(c, *registration);
                return eventHotKeyExistsErr;
            }
            registration->grabbed = true;
        }
        auto* ref = reinterpret_cast<EventHotKeyRef>(registration.get());
        mRegistrations[ref] = std::move(registration);
        *outRef = ref;
        return noErr;
    }

    OSStatus remove(EventHotKeyRef ref) {
        auto found = mRegistrations.find(ref);
        if (found == mRegistrations.end()) return eventHotKeyInvalidErr;
        if (xcb_connection_t* c = found->second->grabbed ? connection() : nullptr) ungrab(c, *found->second);
        mRegistrations.erase(found);
        return noErr;
    }

    void setHandler(std::function<void(EventHotKeyID)> handler) { mHandler = std::move(handler); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t") return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const uint8_t type = event->response_type & ~0x80;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
        auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        return type == XCB_KEY_PRESS ? pressed(*key) : released(*key);
    }

private:
    // A press is over at its key's release, whatever modifiers are still held (or no longer).
    bool released(const xcb_key_release_event_t& key) {
        bool ours = false;
        for (auto& [ref, registration] : mRegistrations) {
            if (!registration->grabbed || registration->keycode != key.detail || !registration->down)
                continue;
            registration->down = false;
            ours = true;
        }
        mLastRelease = ours ? std::optional<Release>({key.detail, key.time}) : std::nullopt;
        return ours;
    }

    bool pressed(const xcb_key_press_event_t& key) {
        // The server repeats a held key as a release and a press with one time stamp.
        const bool repeat =
            mLastRelease && mLastRelease->keycode == key.detail && mLastRelease->time == key.time;
        mLastRelease.reset();
        const uint16_t state = key.state & ~kIgnoredMasks & 0xFF;
        for (auto& [ref, registration] : mRegistrations) {
            if (!registration->grabbed || registration->keycode != key.detail ||
                registration->modifiers != state)
                continue;
            // Detectable auto-repeat sends presses alone: still the one press.
            if (repeat || registration->down) {
                registration->down = true;
                return true;
            }
            registration->down = true;
            if (mHandler) {
                const EventHotKeyID id = registration->id;
                auto handler = mHandler;  // the handler may replace itself
                handler(id);
            }
            return true;
        }
        return false;
    }

    void ungrab(xcb_connection_t* c, const Registration& registration) {
        for (uint16_t locks : kLockMasks)
            xcb_ungrab_key(c, registration.keycode, root(c), registration.modifiers | locks);
        xcb_flush(c);
    }

    std::map<EventHotKeyRef, std::unique_ptr<Registration>> mRegistrations;
    std::function<void(EventHotKeyID)> mHandler;
    struct Release {
        xcb_keycode_t keycode;
        xcb_timestamp_t time;
    };
    std::optional<Release> mLastRelease;
    bool mFiltering{false};
};

}  // namespace

OSStatus RegisterEventHotKey(UInt32 keyCode, UInt32 carbonModifiers, EventHotKeyID id,
                             EventHotKeyRef* outRef) {
    return HotKeyTable::shared().add(keyCode, carbonModifiers, id, outRef);
}

OSStatus UnregisterEventHotKey(EventHotKeyRef ref) {
    return HotKeyTable::shared().remove(ref);
}

void InstallHotKeyHandler(std::function<void(EventHotKeyID)> handler) {
    HotKeyTable::shared().setHandler(std::move(handler));
}

bool GlobalHotKeysAvailable() {
    return HotKeyTable::shared().connection() != nullptr;
}
