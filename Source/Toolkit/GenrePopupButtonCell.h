// The genre pop-up on the dark track panel: its title in white with white arrows right after it,
// no bezel; a "•••" title in its list becomes a separator, as the genre list uses it. The
// layer's pop-up button is cell and control in one, so this class is both. Main thread only.
#pragma once

#include "platform/AppKit/PopUpButton.h"

class GenrePopupButtonCell : public PopUpButton {
    Q_OBJECT
public:
    explicit GenrePopupButtonCell(QWidget* parent = nullptr);

    void addItemWithTitle(const std::string& title, long tag = 0) override;
    void insertItemWithTitle(const std::string& title, int index) override;

    // Where the title goes: from the left edge, as wide as it measures but no wider than the frame.
    NSRect titleRect() const;
    NSRect arrowsRect() const;

    void drawRect(const NSRect& dirtyRect) override;
};
