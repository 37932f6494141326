#include "Source/Toolkit/GenrePopupButtonCell.h"

#include <algorithm>

#include "Source/Toolkit/MenuWithSeparatorString.h"
#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/Image.h"

namespace {
constexpr CGFloat kArrowsSide = 16;
// Offsets from the top edge, as the layouts give them.
constexpr CGFloat kTitleTop = 5;
constexpr CGFloat kArrowsTop = 3;

TextAttributes titleAttributes() {
    TextAttributes attributes;
    attributes.font = NSFont::fontWithName("Lucida Grande", 12);
    attributes.color = NSColor::whiteColor();
    return attributes;
}
}  // namespace

GenrePopupButtonCell::GenrePopupButtonCell(QWidget* parent) : PopUpButton(false, parent) {}

void GenrePopupButtonCell::addItemWithTitle(const std::string& title, long tag) {
    if (title == MenuWithSeparatorString::kSeparatorString)
        addSeparatorItem();
    else
        PopUpButton::addItemWithTitle(title, tag);
}

void GenrePopupButtonCell::insertItemWithTitle(const std::string& title, int index) {
    if (title == MenuWithSeparatorString::kSeparatorString)
        insertSeparatorItem(index);
    else
        PopUpButton::insertItemWithTitle(title, index);
}

NSRect GenrePopupButtonCell::titleRect() const {
    const NSRect b = bounds();
    const NSSize t = sizeWithAttributes(title(), titleAttributes());
    const CGFloat width = std::min(t.width, NSWidth(b));
    return NSMakeRect(0, NSHeight(b) - kTitleTop - t.height, width, t.height);
}

NSRect GenrePopupButtonCell::arrowsRect() const {
    return NSMakeRect(NSMaxX(titleRect()) + 1, NSHeight(bounds()) - kArrowsTop - kArrowsSide, kArrowsSide,
                      kArrowsSide);
}

void GenrePopupButtonCell::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    context->drawStringInRect(title(), titleRect(), titleAttributes());
    if (const auto arrows = NSImage::imageNamed("arrows_white.png")) arrows->drawInRect(arrowsRect());
}
