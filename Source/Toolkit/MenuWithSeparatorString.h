// A menu in which the title "•••" adds a separator instead of an item; the genre list marks the
// end of the player's own genres with it.
#pragma once

#include "platform/AppKit/Menu.h"

class MenuWithSeparatorString : public NSMenu {
public:
    static constexpr const char* kSeparatorString = "\u2022\u2022\u2022";

    using NSMenu::NSMenu;

    // Both answer the separator item they add for "•••".
    NSMenuItem* addItemWithTitle(const std::string& title, std::function<void()> action,
                                 const std::string& keyEquivalent = {}) override;
    NSMenuItem* insertItemWithTitle(const std::string& title, std::function<void()> action,
                                    const std::string& keyEquivalent, size_t index) override;
};
