#include "Source/Toolkit/GradientButtonCell.h"

#include "platform/AppKit/GraphicsContext.h"

GradientButtonCell::GradientButtonCell(QWidget* parent) : Button(parent) {}

GradientButtonCell::GradientButtonCell(const NSRect& frame, QWidget* parent) : Button(frame, parent) {}

void GradientButtonCell::drawRect(const NSRect&) {
    GraphicsContext* context = GraphicsContext::currentContext();
    if (!context) return;
    const NSRect frame = bounds();
    mGradients.drawBezel(frame, isEnabled(), isDefaultButton());
    if (isHighlighted()) drawGradientCellShade(NSInsetRect(frame, 2, 2));
    const TextAttributes attributes = gradientCellTextAttributes(isEnabled());
    const NSSize t = sizeWithAttributes(title(), attributes);
    context->drawString(
        title(), NSMakePoint((NSWidth(frame) - t.width) / 2, (NSHeight(frame) - t.height) / 2), attributes);
}
