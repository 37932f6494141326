#include <gtest/gtest.h>

#include <QMenuBar>
#include <QShortcut>
#include <QWidget>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/MenuShortcuts.h"

namespace {
NSEvent keyDown(const std::string& chars, uint32_t mask) {
    NSEvent e;
    e.type = NSEventType::KeyDown;
    e.characters = chars;
    e.charactersIgnoringModifiers = chars;
    e.modifierFlags = mask;
    return e;
}
}  // namespace

TEST(Menu, FindsItemsByTagInSubmenus) {
    NSMenu bar;
    auto controls = std::make_unique<NSMenu>("Controls");
    for (long tag = 200; tag <= 217; ++tag) controls->addItemWithTitle("c", nullptr)->setTag(tag);
    NSMenuItem* holder = bar.addItemWithTitle("Controls", nullptr);
    holder->setTag(199);
    holder->setSubmenu(std::move(controls));
    EXPECT_EQ(bar.findItemWithTag(199), holder);
    ASSERT_NE(bar.findItemWithTag(217), nullptr);
    EXPECT_EQ(bar.findItemWithTag(217)->menu(), holder->submenu());
    EXPECT_EQ(bar.itemWithTag(217), nullptr);  // own items only
    EXPECT_EQ(bar.findItemWithTag(218), nullptr);
    EXPECT_EQ(holder->submenu()->supermenu(), &bar);
}

TEST(Menu, KeyEquivalentValidatesBeforeFiring) {
    NSMenu menu;
    int fired = 0;
    bool allowed = false;
    NSMenuItem* item = menu.addItemWithTitle(
        "Next", [&] { ++fired; }, "n");
    item->setKeyEquivalentModifierMask(NSCommandKeyMask);
    item->validate = [&](NSMenuItem&) { return allowed; };

    EXPECT_TRUE(menu.performKeyEquivalent(keyDown("n", NSCommandKeyMask)));  // consumed, disabled
    EXPECT_EQ(fired, 0);
    allowed = true;
    EXPECT_TRUE(menu.performKeyEquivalent(keyDown("N", NSCommandKeyMask)));
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(menu.performKeyEquivalent(keyDown("n", 0)));  // a plain "n" is the view's
    EXPECT_FALSE(menu.performKeyEquivalent(keyDown("n", NSCommandKeyMask | NSShiftKeyMask)));
    EXPECT_EQ(fired, 1);
}

TEST(Menu, UpdateRunsValidationInSubmenus) {
    NSMenu bar;
    auto sub = std::make_unique<NSMenu>();
    NSMenuItem* inner = sub->addItemWithTitle("Inner", [] {});
    inner->validate = [](NSMenuItem& item) {
        item.setState(NSOnState);
        return false;
    };
    bar.addItemWithTitle("Sub", nullptr)->setSubmenu(std::move(sub));
    bar.update();
    EXPECT_FALSE(inner->isEnabled());
    EXPECT_EQ(inner->state(), NSOnState);
    EXPECT_FALSE(inner->performAction());
}

TEST(MenuShortcuts, CommandIsCtrlAndControlIsSuper) {
    EXPECT_EQ(keySequenceFor(Qt::Key_N, NSCommandKeyMask), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(keySequenceFor(Qt::Key_Right, NSControlKeyMask | NSShiftKeyMask),
              QKeySequence(Qt::META | Qt::SHIFT | Qt::Key_Right));
    EXPECT_EQ(keySequenceFor(Qt::Key_Space, 0), QKeySequence(Qt::Key_Space));
}

TEST(MenuShortcuts, BindsItemsOfSubmenusAndDropsOldBindings) {
    QWidget owner;
    NSMenu bar;
    auto sub = std::make_unique<NSMenu>("Controls");
    sub->addItemWithTitle("Play", [] {})->setShortcut(QKeySequence(Qt::Key_Space));
    sub->addItemWithTitle("No key", [] {});
    bar.addItemWithTitle("Controls", nullptr)->setSubmenu(std::move(sub));
    MenuShortcuts shortcuts;
    shortcuts.rebind(bar, owner);
    EXPECT_EQ(shortcuts.count(), 1u);
    shortcuts.rebind(bar, owner);
    EXPECT_EQ(shortcuts.count(), 1u);
    EXPECT_EQ(owner.findChildren<QShortcut*>().size(), 1);
    QMenuBar* menuBar = makeMenuBar(bar, &owner);
    EXPECT_EQ(menuBar->actions().size(), 1);
}
