#include "Source/Toolkit/MenuWithSeparatorString.h"

NSMenuItem* MenuWithSeparatorString::addItemWithTitle(const std::string& title, std::function<void()> action,
                                                      const std::string& keyEquivalent) {
    if (title == kSeparatorString) return addItem(NSMenuItem::separatorItem());
    return NSMenu::addItemWithTitle(title, std::move(action), keyEquivalent);
}

NSMenuItem* MenuWithSeparatorString::insertItemWithTitle(const std::string& title,
                                                         std::function<void()> action,
                                                         const std::string& keyEquivalent, size_t index) {
    if (title == kSeparatorString) return insertItem(NSMenuItem::separatorItem(), index);
    return NSMenu::insertItemWithTitle(title, std::move(action), keyEquivalent, index);
}
