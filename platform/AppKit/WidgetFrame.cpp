#include "platform/AppKit/WidgetFrame.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

NSRect frameOfWidget(const QWidget& widget) {
    const QRect g = widget.geometry();
    const QWidget* parent = widget.parentWidget();
    const int y = parent && !widget.isWindow() ? parent->height() - g.y() - g.height() : g.y();
    return NSMakeRect(g.x(), y, g.width(), g.height());
}

void setFrameOfWidget(QWidget& widget, const NSRect& frame) {
    const int w = std::max(0, static_cast<int>(std::lround(frame.size.width)));
    const int h = std::max(0, static_cast<int>(std::lround(frame.size.height)));
    const int x = static_cast<int>(std::lround(frame.origin.x));
    const int y = static_cast<int>(std::lround(frame.origin.y));
    const QWidget* parent = widget.parentWidget();
    const bool yUp = parent && !widget.isWindow();
    if (yUp) {
        widget.setProperty(kYUpOriginProperty, y);
        widget.setProperty(kLaidOutParentSizeProperty, parent->size());
    }
    widget.setGeometry(x, yUp ? parent->height() - y - h : y, w, h);
}

void setAutoresizingMask(QWidget& widget, unsigned mask) {
    widget.setProperty(kAutoresizingMaskProperty, mask);
}

namespace {

// One axis: the flexible parts among the low margin, the size and the high margin share the
// change in proportion to their lengths (equally when all are empty).
void resizeAxis(double& origin, double& size, double oldParent, double newParent, bool low, bool sized,
                bool high) {
    const double delta = newParent - oldParent;
    const int flexible = int(low) + int(sized) + int(high);
    if (delta == 0 || flexible == 0) return;
    const double lowPart = low ? std::max(0.0, origin) : 0;
    const double sizePart = sized ? std::max(0.0, size) : 0;
    const double highPart = high ? std::max(0.0, oldParent - origin - size) : 0;
    const double total = lowPart + sizePart + highPart;
    auto share = [&](bool on, double part) { return on ? (total > 0 ? part / total : 1.0 / flexible) : 0.0; };
    origin += delta * share(low, lowPart);
    size += delta * share(sized, sizePart);
}

}  // namespace

void keepYUpOrigins(QWidget& parent) {
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow()) continue;
        const QVariant y = widget->property(kYUpOriginProperty);
        if (!y.isValid()) continue;
        const QSize old = widget->property(kLaidOutParentSizeProperty).toSize();
        const unsigned mask = widget->property(kAutoresizingMaskProperty).toUInt();
        const QRect g = widget->geometry();
        NSRect f = NSMakeRect(g.x(), y.toInt(), g.width(), g.height());
        if (old.isValid() && mask != NSViewNotSizable) {
            resizeAxis(f.origin.x, f.size.width, old.width(), parent.width(), mask & NSViewMinXMargin,
                       mask & NSViewWidthSizable, mask & NSViewMaxXMargin);
            resizeAxis(f.origin.y, f.size.height, old.height(), parent.height(), mask & NSViewMinYMargin,
                       mask & NSViewHeightSizable, mask & NSViewMaxYMargin);
        }
        setFrameOfWidget(*widget, f);
    }
}
