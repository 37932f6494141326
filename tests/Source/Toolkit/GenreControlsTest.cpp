#include <gtest/gtest.h>

#include "Source/Toolkit/GenrePopupButtonCell.h"
#include "Source/Toolkit/LinkTextField.h"
#include "Source/Toolkit/MenuWithSeparatorString.h"
#include "tests/Source/ViewTestApplication.h"

namespace {
constexpr const char* kDots = "\u2022\u2022\u2022";
}

TEST(MenuWithSeparatorString, DotsAddAndInsertSeparators) {
    MenuWithSeparatorString menu;
    int chosen = 0;
    menu.addItemWithTitle("Rock", [&] { chosen = 1; });
    NSMenuItem* added = menu.addItemWithTitle(kDots, [&] { chosen = 2; });
    NSMenuItem* inserted = menu.insertItemWithTitle(kDots, nullptr, "", 0);
    menu.insertItemWithTitle(
        "Jazz", [&] { chosen = 3; }, "", 1);
    NSMenu& plain = menu;  // through the base, as a menu's owner holds it
    plain.addItemWithTitle("\u2022\u2022", nullptr);

    ASSERT_EQ(menu.numberOfItems(), 5u);
    EXPECT_EQ(added, menu.itemAtIndex(3));
    EXPECT_EQ(inserted, menu.itemAtIndex(0));
    for (size_t i : {0u, 3u}) EXPECT_TRUE(menu.itemAtIndex(i)->isSeparatorItem()) << i;
    EXPECT_FALSE(menu.itemAtIndex(3)->performAction()) << "a separator sends nothing";
    EXPECT_EQ(menu.itemAtIndex(1)->title(), "Jazz");
    EXPECT_EQ(menu.itemAtIndex(2)->title(), "Rock");
    EXPECT_EQ(menu.itemAtIndex(4)->title(), "\u2022\u2022") << "only the exact title";
    EXPECT_TRUE(menu.itemAtIndex(1)->performAction());
    EXPECT_EQ(chosen, 3);
}

TEST(GenrePopupButtonCell, DotsAreSeparatorsAndTheTitleIsWhiteWithArrows) {
    viewTestApplication();
    GenrePopupButtonCell popup;
    PopUpButton& base = popup;  // the window holds it as a plain pop-up
    popup.resize(180, 22);
    base.addItemWithTitle("Genre not specified");
    base.addItemWithTitle(kDots);
    base.addItemWithTitle("Rock");
    base.insertItemWithTitle(kDots, 1);
    ASSERT_EQ(popup.numberOfItems(), 4);
    EXPECT_TRUE(popup.itemAtIndex(1)->separator);
    EXPECT_TRUE(popup.itemAtIndex(2)->separator);
    EXPECT_EQ(popup.indexOfItemWithTitle("Rock"), 3);
    popup.chooseItemAtIndex(2);
    EXPECT_EQ(popup.titleOfSelectedItem(), "Genre not specified") << "a separator cannot be chosen";

    const NSRect title = popup.titleRect();
    const NSRect arrows = popup.arrowsRect();
    EXPECT_EQ(title.origin.x, 0);
    EXPECT_EQ(NSMaxY(title), 17) << "5 below the top";
    EXPECT_EQ(arrows, NSMakeRect(NSMaxX(title) + 1, 3, 16, 16)) << "right after the title, 3 below the top";
    const QImage image = popup.renderToImage();
    int white = 0;
    for (int x = 0; x < static_cast<int>(NSMaxX(title)); ++x)
        for (int y = static_cast<int>(title.origin.y); y < static_cast<int>(NSMaxY(title)); ++y)
            if (pixelAt(image, x, y).red() > 200 && pixelAt(image, x, y).alpha() > 200) ++white;
    EXPECT_GT(white, 20) << "white title";
    EXPECT_EQ(pixelAt(image, static_cast<int>(arrows.origin.x) + 8, 13).alpha(), 255) << "the upper arrow";
    EXPECT_EQ(pixelAt(image, static_cast<int>(NSMaxX(arrows)) + 4, 11).alpha(), 0) << "no bezel";

    popup.resize(40, 22);
    EXPECT_EQ(popup.titleRect().size.width, 40) << "never wider than the frame";
}

TEST(LinkTextField, ShowsThePointingHand) {
    viewTestApplication();
    LinkTextField field;
    EXPECT_EQ(field.cursor().shape(), Qt::PointingHandCursor);
}
