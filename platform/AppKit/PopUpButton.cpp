#include "platform/AppKit/PopUpButton.h"

#include <QMenu>

#include "platform/AppKit/BezierPath.h"
#include "platform/AppKit/Color.h"
#include "platform/AppKit/Image.h"
#include "platform/AppKit/Menu.h"

PopUpButton::PopUpButton(bool pullsDown, QWidget* parent) : View(parent), mPullsDown(pullsDown) {}

PopUpButton::~PopUpButton() = default;

void PopUpButton::setImageOnly(bool imageOnly) {
    mImageOnly = imageOnly;
    setNeedsDisplay();
}

void PopUpButton::addItemWithTitle(const std::string& title, long tag) {
    // As in a menu, a title already present moves to the end.
    if (const int existing = indexOfItemWithTitle(title); existing >= 0) removeItemAtIndex(existing);
    mItems.push_back({title, tag, nullptr, true, false});
    if (mSelected < 0 && !mPullsDown) mSelected = 0;
    setNeedsDisplay();
}

void PopUpButton::addSeparatorItem() {
    mItems.push_back({"", 0, nullptr, false, true});
}

void PopUpButton::insertSeparatorItem(int index) {
    index = std::clamp(index, 0, numberOfItems());
    mItems.insert(mItems.begin() + index, {"", 0, nullptr, false, true});
    if (mSelected >= index) ++mSelected;
}

void PopUpButton::insertItemWithTitle(const std::string& title, int index) {
    index = std::clamp(index, 0, numberOfItems());
    mItems.insert(mItems.begin() + index, {title, 0, nullptr, true, false});
    if (mSelected >= index) ++mSelected;
    if (mSelected < 0 && !mPullsDown) mSelected = 0;
    setNeedsDisplay();
}

void PopUpButton::removeItemAtIndex(int index) {
    if (index < 0 || index >= numberOfItems()) return;
    mItems.erase(mItems.begin() + index);
    if (mSelected == index)
        mSelected = mItems.empty() || mPullsDown ? -1 : 0;
    else if (mSelected > index)
        --mSelected;
    setNeedsDisplay();
}

void PopUpButton::removeAllItems() {
    mItems.clear();
    mSelected = -1;
    setNeedsDisplay();
}

PopUpItem* PopUpButton::itemAtIndex(int index) {
    return index >= 0 && index < numberOfItems() ? &mItems[index] : nullptr;
}

int PopUpButton::indexOfItemWithTitle(const std::string& title) const {
    for (int i = 0; i < numberOfItems(); ++i)
        if (!mItems[i].separator && mItems[i].title == title) return i;
    return -1;
}

int PopUpButton::indexOfItemWithTag(long tag) const {
    for (int i = 0; i < numberOfItems(); ++i)
        if (!mItems[i].separator && mItems[i].tag == tag) return i;
    return -1;
}

std::vector<std::string> PopUpButton::itemTitles() const {
    std::vector<std::string> titles;
    for (const PopUpItem& item : mItems) titles.push_back(item.title);
    return titles;
}

void PopUpButton::selectItemAtIndex(int index) {
    mSelected = index >= 0 && index < numberOfItems() ? index : -1;
    mTitleSet = false;
    setNeedsDisplay();
}

void PopUpButton::selectItemWithTitle(const std::string& title) {
    selectItemAtIndex(indexOfItemWithTitle(title));
}

void PopUpButton::setTitle(const std::string& title) {
    mTitle = title;
    mTitleSet = true;
    setNeedsDisplay();
}

std::string PopUpButton::titleOfSelectedItem() const {
    return mSelected >= 0 ? mItems[mSelected].title : std::string();
}

std::string PopUpButton::title() const {
    if (mTitleSet) return mTitle;
    if (mPullsDown) return mItems.empty() ? std::string() : mItems.front().title;
    return titleOfSelectedItem();
}

void PopUpButton::chooseItemAtIndex(int index) {
    const PopUpItem* item = itemAtIndex(index);
    if (!item || item->separator || !item->enabled || (mPullsDown && index == 0)) return;
    mSelected = index;
    mTitleSet = false;
    setNeedsDisplay();
    if (action) action();
}

void PopUpButton::drawRect(const NSRect&) {
    const NSRect b = bounds();
    const PopUpItem* face = mPullsDown && !mItems.empty() ? &mItems.front() : nullptr;
    if (mImageOnly && face && face->image) {
        const NSSize s = face->image->size();
        face->image->drawInRect(
            NSMakeRect((b.size.width - s.width) / 2, (b.size.height - s.height) / 2, s.width, s.height));
        return;
    }
    NSBezierPath bezel = NSBezierPath::bezierPathWithRoundedRect(NSInsetRect(b, 1, 1), 4, 4);
    NSColor::colorWithCalibratedWhite(0.92, 1).setFill();
    bezel.fill();
    NSColor::colorWithCalibratedWhite(0.5, 1).setStroke();
    bezel.stroke();
    TextAttributes attributes;
    const std::string text = title();
    const NSSize t = sizeWithAttributes(text, attributes);
    if (GraphicsContext* context = GraphicsContext::currentContext())
        context->drawStringInRect(
            text, NSMakeRect(6, (b.size.height - t.height) / 2, b.size.width - 20, t.height), attributes);
}

void PopUpButton::mouseDown(const NSEvent&) {
    if (!isEnabled()) return;
    if (menuNeedsUpdate) menuNeedsUpdate();
    if (mItems.empty()) return;
    QMenu menu(this);
    for (int i = mPullsDown ? 1 : 0; i < numberOfItems(); ++i) {
        const PopUpItem& item = mItems[i];
        if (item.separator) {
            menu.addSeparator();
            continue;
        }
        QAction* entry = menu.addAction(qtMenuText(item.title));
        entry->setEnabled(item.enabled);
        entry->setCheckable(!mPullsDown);
        entry->setChecked(i == mSelected);
        entry->setData(i);
    }
    if (QAction* chosen = menu.exec(mapToGlobal(QPoint(0, height()))))
        chooseItemAtIndex(chosen->data().toInt());
}
