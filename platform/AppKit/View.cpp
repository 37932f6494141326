#include "platform/AppKit/View.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <utility>

#include "platform/AppKit/GraphicsContext.h"
#include "platform/AppKit/WidgetFrame.h"
#include "platform/AppKit/Window.h"

View::View(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
}

View::View(const NSRect& frame, QWidget* parent) : View(parent) {
    setFrame(frame);
}

NSRect View::bounds() const {
    return NSMakeRect(0, 0, width(), height());
}

NSRect View::frame() const {
    return frameOfWidget(*this);
}

void View::setFrame(const NSRect& frame) {
    setFrameOfWidget(*this, frame);
}

void View::setFrameOrigin(NSPoint origin) {
    const NSRect f = frame();
    setFrame(NSMakeRect(origin.x, origin.y, f.size.width, f.size.height));
}

void View::setFrameSize(NSSize size) {
    const NSRect f = frame();
    setFrame(NSMakeRect(f.origin.x, f.origin.y, size.width, size.height));
}

Window* View::enclosingWindow() const {
    return qobject_cast<Window*>(window());
}

void View::addSubview(QWidget* view) {
    if (!view) return;
    view->setParent(this);
    if (!view->isHidden() || !view->testAttribute(Qt::WA_WState_ExplicitShowHide)) view->show();
}

void View::removeFromSuperview() {
    setParent(nullptr);
}

void View::setNeedsDisplay(bool flag) {
    if (flag && !isDrawing(*this)) update();
}

void View::setNeedsDisplayInRect(const NSRect& rect) {
    if (isDrawing(*this)) return;
    update(QRectF(rect.origin.x, height() - NSMaxY(rect), rect.size.width, rect.size.height).toAlignedRect());
}

void View::display() {
    repaint();
}

bool View::isDrawing(const QWidget& widget) {
    for (const QWidget* w = &widget; w; w = w->parentWidget())
        if (const auto* view = qobject_cast<const View*>(w); view && view->mDrawing) return true;
    return false;
}

QImage View::renderToImage() {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

NSPoint View::convertPointFromView(NSPoint point, const QWidget* view) const {
    const QWidget* from = view ? view : window();
    const QPointF qt(point.x, from->height() - point.y);
    const QPointF here = mapFrom(from, qt);
    return {here.x(), height() - here.y()};
}

NSPoint View::convertPointToView(NSPoint point, const QWidget* view) const {
    const QWidget* to = view ? view : window();
    const QPointF there = mapTo(to, QPointF(point.x, height() - point.y));
    return {there.x(), to->height() - there.y()};
}

void View::addTrackingArea(const TrackingArea& area) {
    mTrackingAreas.push_back(area);
    setMouseTracking(true);
}

void View::removeTrackingAreas(const std::string& userInfoKey) {
    std::erase_if(mTrackingAreas, [&](const TrackingArea& a) { return a.userInfoKey == userInfoKey; });
}

void View::drawRect(const NSRect&) {}

// The defaults pass the event on to the superview, as an unhandled event travels the responder chain.
void View::mouseDown(const NSEvent&) {
    mPassedOn = true;
}
void View::mouseDragged(const NSEvent&) {
    mPassedOn = true;
}
void View::mouseUp(const NSEvent&) {
    mPassedOn = true;
}
void View::rightMouseDown(const NSEvent&) {
    mPassedOn = true;
}
void View::mouseMoved(const NSEvent&) {}
void View::mouseEntered(const NSEvent&) {}
void View::mouseExited(const NSEvent&) {}
void View::keyDown(const NSEvent&) {
    mPassedOn = true;
}
void View::keyUp(const NSEvent&) {
    mPassedOn = true;
}
void View::scrollWheel(const NSEvent&) {
    mPassedOn = true;
}

bool View::event(QEvent* e) {
    switch (e->type()) {
        case QEvent::KeyPress: {
            // Tab and Backtab would move the focus before keyPressEvent saw them.
            auto* key = static_cast<QKeyEvent*>(e);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
                keyPressEvent(key);
                return true;
            }
            break;
        }
        case QEvent::ShortcutOverride:
            // Left unclaimed: a key that is a menu's key equivalent goes to the menu first, with or
            // without Ctrl, as menus come before the key window; every other key comes back to the
            // focused view as a key press. Controls that take every key claim it themselves.
            break;
        case QEvent::Polish:
            setFocusPolicy(acceptsFirstResponder() ? Qt::ClickFocus : Qt::NoFocus);
            break;
        default:
            break;
    }
    return QWidget::event(e);
}

bool View::focusNextPrevChild(bool next) {
    if (hasFocus()) return false;
    return QWidget::focusNextPrevChild(next);
}

void View::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    GraphicsContext context(painter, height());
    const QRect r = event->rect();
    const bool wasDrawing = std::exchange(mDrawing, true);
    drawRect(NSMakeRect(r.x(), height() - r.y() - r.height(), r.width(), r.height()));
    mDrawing = wasDrawing;
}

void View::press(QMouseEvent* event) {
    mPassedOn = false;
    if (event->button() == Qt::LeftButton)
        mouseDown(NSEvent::mouseEvent(*event, NSEventType::LeftMouseDown, *this));
    else if (event->button() == Qt::RightButton)
        rightMouseDown(NSEvent::mouseEvent(*event, NSEventType::RightMouseDown, *this));
    else
        mPassedOn = true;
    event->setAccepted(!mPassedOn);
}

void View::mousePressEvent(QMouseEvent* event) {
    press(event);
}

// Qt reports a double-click's second press as this event alone; it is a mouseDown like the first.
void View::mouseDoubleClickEvent(QMouseEvent* event) {
    press(event);
}

void View::mouseMoveEvent(QMouseEvent* event) {
    const NSPoint local{event->position().x(), height() - event->position().y()};
    if (!mTrackingAreas.empty())
        updateInside(local, NSEvent::mouseEvent(*event, NSEventType::MouseMoved, *this), false);
    mPassedOn = false;
    if (event->buttons() & Qt::LeftButton)
        mouseDragged(NSEvent::mouseEvent(*event, NSEventType::LeftMouseDragged, *this));
    else
        mouseMoved(NSEvent::mouseEvent(*event, NSEventType::MouseMoved, *this));
    event->setAccepted(!mPassedOn);
}

void View::mouseReleaseEvent(QMouseEvent* event) {
    mPassedOn = false;
    if (event->button() == Qt::LeftButton)
        mouseUp(NSEvent::mouseEvent(*event, NSEventType::LeftMouseUp, *this));
    else
        mPassedOn = true;
    event->setAccepted(!mPassedOn);
}

void View::leaveEvent(QEvent* event) {
    if (!mTrackingAreas.empty()) {
        NSEvent e;
        e.type = NSEventType::MouseExited;
        updateInside({}, e, true);
    }
    QWidget::leaveEvent(event);
}

void View::updateInside(NSPoint local, const NSEvent& source, bool forceOutside) {
    // Callbacks may rebuild the areas, so each transition is reported from a copy.
    const std::vector<TrackingArea> areas = mTrackingAreas;
    for (size_t i = 0; i < areas.size(); ++i) {
        const bool inside = !forceOutside && NSPointInRect(local, areas[i].rect);
        if (inside == areas[i].inside) continue;
        if (i < mTrackingAreas.size() && mTrackingAreas[i].userInfoKey == areas[i].userInfoKey)
            mTrackingAreas[i].inside = inside;
        TrackingArea reported = areas[i];
        reported.inside = inside;
        NSEvent e = source;
        e.type = inside ? NSEventType::MouseEntered : NSEventType::MouseExited;
        e.trackingArea = &reported;
        if (inside)
            mouseEntered(e);
        else
            mouseExited(e);
    }
}

void View::keyPressEvent(QKeyEvent* event) {
    if (isModifierOnlyKey(event->key())) {
        event->ignore();
        return;
    }
    mPassedOn = false;
    keyDown(NSEvent::keyEvent(*event, NSEventType::KeyDown));
    event->setAccepted(!mPassedOn);
}

void View::keyReleaseEvent(QKeyEvent* event) {
    if (isModifierOnlyKey(event->key())) {
        event->ignore();
        return;
    }
    mPassedOn = false;
    keyUp(NSEvent::keyEvent(*event, NSEventType::KeyUp));
    event->setAccepted(!mPassedOn);
}

void View::wheelEvent(QWheelEvent* event) {
    mPassedOn = false;
    scrollWheel(NSEvent::wheelEvent(*event, *this));
    event->setAccepted(!mPassedOn);
}

void View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    keepYUpOrigins(*this);
    updateTrackingAreas();
}

void View::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateTrackingAreas();
}

void View::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    becomeFirstResponder();
}

void View::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    resignFirstResponder();
}
