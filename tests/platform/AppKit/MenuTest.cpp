#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/Menu.h"
#include "platform/AppKit/MenuShortcuts.h"
#include "platform/AppKit/PopUpButton.h"
#include "tests/support/TestApplication.h"

namespace {
NSEvent keyDown(const std::string& chars, uint32_t mask) {
    NSEvent e;
    e.type = NSEventType::KeyDown;
    e.characters = chars;
    e.charactersIgnoringModifiers = chars;
    e.modifierFlags = mask;
    return e;
}

// Titles as data gives them; Qt would read each "&" as a mnemonic marker.
const std::vector<std::string> kTitlesWithAmpersands{"R&B/Soul", "Rock & Roll", "Tom && Jerry", "&"};

// The titles the actions show: their text with Qt's markers read, and no mnemonic among them.
std::vector<std::string> shownTitles(const QList<QAction*>& actions) {
    std::vector<std::string> shown;
    for (const QAction* action : actions) {
        if (action->isSeparator()) continue;
        EXPECT_TRUE(QKeySequence::mnemonic(action->text()).isEmpty()) << action->text().toStdString();
        shown.push_back(action->iconText().toStdString());
    }
    return shown;
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

TEST(MenuTitles, AnAmpersandIsShownAsWrittenInMenusSubmenusBarsAndPopUps) {
    testApplication();
    NSMenu bar;
    auto menu = std::make_unique<NSMenu>("Genres");
    for (const std::string& title : kTitlesWithAmpersands) menu->addItemWithTitle(title, [] {});
    menu->addItemWithTitle("Drum & Bass", nullptr)->setSubmenu(std::make_unique<NSMenu>());
    bar.addItemWithTitle("Tom & Jerry", nullptr)->setSubmenu(std::move(menu));

    QWidget owner;
    QMenuBar* menuBar = makeMenuBar(bar, &owner);
    EXPECT_EQ(shownTitles(menuBar->actions()), std::vector<std::string>{"Tom & Jerry"});
    std::vector<std::string> expected = kTitlesWithAmpersands;
    expected.push_back("Drum & Bass");
    EXPECT_EQ(shownTitles(menuBar->actions().front()->menu()->actions()), expected);

    PopUpButton popUp;
    for (const std::string& title : kTitlesWithAmpersands) popUp.addItemWithTitle(title);
    popUp.resize(120, 24);
    popUp.show();
    std::vector<std::string> offered;
    // The pop-up's menu runs its own loop: read it there, then close it.
    QTimer::singleShot(0, [&] {
        if (auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            offered = shownTitles(shown->actions());
            shown->close();
        }
    });
    QTest::mouseClick(&popUp, Qt::LeftButton);
    EXPECT_EQ(offered, kTitlesWithAmpersands);
}

// Each opening of a menu rebuilds it; a submenu is rebuilt only when it opens itself.
TEST(Menu, FillingKeepsOneQtSubmenuAndLeavesItsContentsToItsOwnOpening) {
    testApplication();
    NSMenu controls("Controls");
    controls.addItemWithTitle("Get Info", [] {});
    auto playlists = std::make_unique<NSMenu>("Add to Playlist");
    int playlistFills = 0;
    playlists->needsUpdate = [&](NSMenu& shown) {
        ++playlistFills;
        shown.removeAllItems();
        shown.addItemWithTitle("Dance", [] {});
    };
    controls.addItemWithTitle("Add to Playlist", nullptr)->setSubmenu(std::move(playlists));

    QMenu qmenu;
    for (int opening = 0; opening < 50; ++opening) controls.fillQMenu(qmenu);
    const QList<QMenu*> submenus = qmenu.findChildren<QMenu*>();
    ASSERT_EQ(submenus.size(), 1);
    EXPECT_EQ(playlistFills, 0) << "the parent's openings ask nothing of the submenu's delegate";
    EXPECT_EQ(qmenu.actions().size(), 2);

    submenus.front()->popup(QPoint(0, 0));
    EXPECT_EQ(playlistFills, 1);
    EXPECT_EQ(shownTitles(submenus.front()->actions()), std::vector<std::string>{"Dance"});
    submenus.front()->close();
}
