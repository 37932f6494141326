// A keyboard layout: what each key position types, through xkbcommon. The current layout is the
// display's live keymap, in the group that is in effect when the keymap holds several layouts,
// when the application runs on X11, else a "us" keymap made without a display; dead keys answer
// their spacing accents. Layouts are immutable once made; the static members may be called from
// any thread, except followLayoutChanges (main thread).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct xcb_connection_t;
struct xkb_keymap;

class KeyboardLayout {
public:
    ~KeyboardLayout();
    KeyboardLayout(const KeyboardLayout&) = delete;
    KeyboardLayout& operator=(const KeyboardLayout&) = delete;

    // A keymap from the system's layout data ("us", "de" with an optional variant); nullptr when
    // the data is missing or names no layout.
    static std::shared_ptr<const KeyboardLayout> fromNames(const std::string& layout,
                                                           const std::string& variant = {});

    // The live keymap of an X display's core keyboard with its group in effect; nullptr when the
    // server has no XKB.
    static std::shared_ptr<const KeyboardLayout> fromDisplay(xcb_connection_t* connection);

    // The layout in use, made on first use; nullptr when there is no layout data at all.
    static std::shared_ptr<const KeyboardLayout> current();
    // Reads the layout in use again, after the display reported a change.
    static void reloadCurrent();
    // Replaces the layout in use (nullptr: no layout data), as a layout change does.
    static void setCurrent(std::shared_ptr<const KeyboardLayout> layout);
    // Reads the layout again whenever the application hears of a layout change (on X11: a new
    // keymap, a changed one or another group in effect), once per burst of notifications; once is
    // enough, later calls do nothing. Needs the application object.
    static void followLayoutChanges();
    // Counts the changes of the layout in use, so caches built from it know when to rebuild.
    static uint64_t generation();

    // The text the key types with the Shift and Option bits of the Cocoa mask (Option is the Alt
    // key), Num Lock on; the spacing accent for a dead key. nullopt for a code without a
    // position, a key that types nothing, or a control character.
    std::optional<std::string> textForKeyCode(int keyCode, uint32_t cocoaFlags) const;
    // The Qt key a dead key at the position reports without modifiers (Qt::Key_Dead_Acute), 0
    // for a key that is no dead key. Shortcuts on such a key are bound by it, as it types nothing.
    int qtDeadKeyForKeyCode(int keyCode) const;
    // The spacing accent that names a Qt dead key ("´" for Qt::Key_Dead_Acute); nullopt for
    // any other key.
    static std::optional<std::string> accentForQtDeadKey(int qtKey);
    // The layout of the keymap that is read (0 for a keymap made from names).
    uint32_t group() const { return mGroup; }

private:
    KeyboardLayout(xkb_keymap* keymap, uint32_t group);
    // The keysym the key gives with the Shift and Option of the mask, Num Lock on; 0 for none.
    uint32_t keysymForKeyCode(int keyCode, uint32_t cocoaFlags) const;
    xkb_keymap* mKeymap;
    uint32_t mGroup;
};

// Calls the function on the main thread after each change of the layout in use, until it is
// destroyed; made and destroyed on the main thread.
class KeyboardLayoutObserver {
public:
    explicit KeyboardLayoutObserver(std::function<void()> changed);
    ~KeyboardLayoutObserver();
    KeyboardLayoutObserver(const KeyboardLayoutObserver&) = delete;
    KeyboardLayoutObserver& operator=(const KeyboardLayoutObserver&) = delete;
    void layoutDidChange() const { mChanged(); }

private:
    std::function<void()> mChanged;
};
