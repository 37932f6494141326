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
    if (yUp) widget.setProperty(kYUpOriginProperty, y);
    widget.setGeometry(x, yUp ? parent->height() - y - h : y, w, h);
}

void keepYUpOrigins(QWidget& parent) {
    for (QObject* child : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow()) continue;
        const QVariant y = widget->property(kYUpOriginProperty);
        if (!y.isValid()) continue;
        const QRect g = widget->geometry();
        widget->move(g.x(), parent.height() - y.toInt() - g.height());
    }
}
