// Binds menu items' shortcuts application-wide, so they work in every window and win over the
// focused view, also without Ctrl; and shows the menu model in a menu bar outside the content.
#pragma once

#include <QKeySequence>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class NSMenu;
class QMenuBar;
class QShortcut;
class QWidget;

// The Qt combination of a Qt key with the platform's mask (Command = Ctrl, Control = Super).
QKeySequence keySequenceFor(int qtKey, uint32_t modifierMask);

// The combination as menus show it ("Ctrl+Alt+Right"); a dead key by its accent ("Ctrl+Alt+´"),
// as Qt has no name for it.
QString shortcutText(const QKeySequence& sequence);

class MenuShortcuts {
public:
    MenuShortcuts() = default;
    ~MenuShortcuts();
    MenuShortcuts(const MenuShortcuts&) = delete;
    MenuShortcuts& operator=(const MenuShortcuts&) = delete;

    // Drops the old bindings and binds every item of the menu and its submenus that has a shortcut.
    // Each firing validates the item first.
    void rebind(NSMenu& menu, QWidget& owner);
    size_t count() const { return mShortcuts.size(); }

private:
    void bindMenu(NSMenu& menu, QWidget& owner);
    std::vector<QShortcut*> mShortcuts;
};

// A menu bar with one menu per top-level item that has a submenu.
QMenuBar* makeMenuBar(NSMenu& mainMenu, QWidget* parent);
