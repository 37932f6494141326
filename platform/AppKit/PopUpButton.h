// A pop-up button: a list of items (title, tag, image) shown as a menu on a press. The chosen
// item becomes the selected one and the action is sent. A pull-down button keeps item 0 as its
// face (its title, or its image alone with `setImageOnly`) and never selects it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppKit/View.h"

class NSImage;
class QMenu;

struct PopUpItem {
    std::string title;
    long tag{0};
    std::shared_ptr<NSImage> image;
    bool enabled{true};
    bool separator{false};
};

class PopUpButton : public View {
    Q_OBJECT
public:
    explicit PopUpButton(bool pullsDown = false, QWidget* parent = nullptr);
    ~PopUpButton() override;

    bool pullsDown() const { return mPullsDown; }
    void setImageOnly(bool imageOnly);

    int numberOfItems() const { return static_cast<int>(mItems.size()); }
    // Virtual so that a pop-up may read some titles as other items (separators).
    virtual void addItemWithTitle(const std::string& title, long tag = 0);
    void addSeparatorItem();
    virtual void insertItemWithTitle(const std::string& title, int index);
    void insertSeparatorItem(int index);
    void removeItemAtIndex(int index);
    void removeAllItems();
    PopUpItem* itemAtIndex(int index);
    int indexOfItemWithTitle(const std::string& title) const;
    int indexOfItemWithTag(long tag) const;
    std::vector<std::string> itemTitles() const;

    int indexOfSelectedItem() const { return mSelected; }
    PopUpItem* selectedItem() { return itemAtIndex(mSelected); }
    void selectItemAtIndex(int index);
    // Selects the item with that title; none selects nothing.
    void selectItemWithTitle(const std::string& title);
    // The face's text; a pop-up shows the selected item's title until this replaces it.
    void setTitle(const std::string& title);
    std::string titleOfSelectedItem() const;
    std::string title() const;

    std::function<void()> action;
    // Asked before the menu shows, so a list that changes can be rebuilt.
    std::function<void()> menuNeedsUpdate;
    // Chooses the item as a click in the menu would: selects it and sends the action.
    void chooseItemAtIndex(int index);

    void drawRect(const NSRect& dirtyRect) override;
    void mouseDown(const NSEvent& event) override;

private:
    std::vector<PopUpItem> mItems;
    int mSelected{-1};
    bool mPullsDown;
    bool mImageOnly{false};
    std::string mTitle;
    bool mTitleSet{false};
};
