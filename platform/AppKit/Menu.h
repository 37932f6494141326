// Menus and their items in the platform's terms: items found by tag, submenus, a title, a state,
// an action and a key equivalent with its modifier mask. A validation callback is asked before a
// menu shows and before a key equivalent fires, so a disabled command never runs.
#pragma once

#include <QKeySequence>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct NSEvent;
class NSMenu;
class QMenu;
class QWidget;

// A title as Qt shows it: an "&" in it is a character, never a mnemonic.
QString qtMenuText(const std::string& title);

inline constexpr int NSOffState = 0;
inline constexpr int NSOnState = 1;
inline constexpr int NSMixedState = -1;

class NSMenuItem {
public:
    NSMenuItem(std::string title, std::function<void()> action, std::string keyEquivalent);
    static std::unique_ptr<NSMenuItem> separatorItem();

    const std::string& title() const { return mTitle; }
    void setTitle(const std::string& title) { mTitle = title; }
    long tag() const { return mTag; }
    void setTag(long tag) { mTag = tag; }
    int state() const { return mState; }
    void setState(int state) { mState = state; }
    bool isEnabled() const { return mEnabled; }
    void setEnabled(bool enabled) { mEnabled = enabled; }
    bool isSeparatorItem() const { return mSeparator; }

    // One character ("a", "\r") or empty; its mask uses the platform's modifier masks.
    const std::string& keyEquivalent() const { return mKeyEquivalent; }
    void setKeyEquivalent(const std::string& key) { mKeyEquivalent = key; }
    uint32_t keyEquivalentModifierMask() const { return mKeyMask; }
    void setKeyEquivalentModifierMask(uint32_t mask) { mKeyMask = mask; }
    // The combination bound application-wide; the item keeps its key equivalent for display.
    const QKeySequence& shortcut() const { return mShortcut; }
    void setShortcut(const QKeySequence& shortcut) { mShortcut = shortcut; }

    NSMenu* submenu() const { return mSubmenu.get(); }
    void setSubmenu(std::unique_ptr<NSMenu> submenu);
    NSMenu* menu() const { return mMenu; }

    std::function<void()> action;
    // Asked before the item shows and before it fires; false disables it.
    std::function<bool(NSMenuItem&)> validate;

    // Validates, then sends the action; false when disabled or without an action.
    bool performAction();
    void runValidation();

private:
    friend class NSMenu;
    std::string mTitle;
    std::string mKeyEquivalent;
    uint32_t mKeyMask{0};
    QKeySequence mShortcut;
    long mTag{0};
    int mState{NSOffState};
    bool mEnabled{true};
    bool mSeparator{false};
    std::unique_ptr<NSMenu> mSubmenu;
    NSMenu* mMenu{nullptr};
};

class NSMenu {
public:
    explicit NSMenu(std::string title = {});
    virtual ~NSMenu();

    const std::string& title() const { return mTitle; }
    NSMenuItem* addItem(std::unique_ptr<NSMenuItem> item);
    // Virtual so that a menu may read some titles as other items (separators).
    virtual NSMenuItem* addItemWithTitle(const std::string& title, std::function<void()> action,
                                         const std::string& keyEquivalent = {});
    virtual NSMenuItem* insertItemWithTitle(const std::string& title, std::function<void()> action,
                                            const std::string& keyEquivalent, size_t index);
    NSMenuItem* insertItem(std::unique_ptr<NSMenuItem> item, size_t index);
    void removeItemAtIndex(size_t index);
    void removeAllItems();
    size_t numberOfItems() const { return mItems.size(); }
    NSMenuItem* itemAtIndex(size_t index) const;
    NSMenuItem* itemWithTag(long tag) const;  // this menu only
    NSMenuItem* itemWithTitle(const std::string& title) const;
    // This menu and its submenus, depth first.
    NSMenuItem* findItemWithTag(long tag) const;
    NSMenu* supermenu() const { return mSupermenu; }

    // The menu's delegate: rebuilds the items of a menu whose contents change, before the menu
    // shows (fillQMenu asks it first).
    std::function<void(NSMenu&)> needsUpdate;

    // Runs every item's validation, submenus too; called before the menu shows.
    void update();
    // The enabled item, submenus included, whose key equivalent the event is; it fires.
    bool performKeyEquivalent(const NSEvent& event);

    // A Qt menu rebuilt from the model; actions come back to the model's items. A submenu is
    // filled when it opens, not with its parent, so its delegate's work (a player's answer) is
    // only paid for by opening it.
    void fillQMenu(QMenu& menu);

private:
    friend class NSMenuItem;
    std::string mTitle;
    std::vector<std::unique_ptr<NSMenuItem>> mItems;
    NSMenu* mSupermenu{nullptr};
};

// Whether the item with that key and mask is the one the event presses.
bool keyEquivalentMatches(const std::string& key, uint32_t mask, const NSEvent& event);
