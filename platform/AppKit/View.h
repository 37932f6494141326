// The base of the custom views: a QWidget that draws and takes events as the platform's views do.
// drawRect draws in y-up coordinates through the current GraphicsContext; every press of the left
// button is one mouseDown (a double-click's second press too); every key press, repeats included,
// is one keyDown, except a press of a modifier key alone; Tab and Space are keys like any other.
// Events a view leaves unhandled (the default implementations) go on to its superview, and keys
// end at the window, which offers them to its buttons' key equivalents.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "platform/AppKit/Event.h"
#include "platform/AppKit/Geometry.h"

class Window;

// A region of a view that reports the mouse entering and leaving it; the key tells whose it is.
struct TrackingArea {
    NSRect rect;
    std::string userInfoKey;
    bool inside{false};
};

class View : public QWidget {
    Q_OBJECT
public:
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    explicit View(QWidget* parent = nullptr);
    View(const NSRect& frame, QWidget* parent);

    NSRect bounds() const;
    // The rectangle in the superview's y-up coordinates. Setting it before the superview has its
    // size places the view from the superview's current height.
    NSRect frame() const;
    void setFrame(const NSRect& frame);
    void setFrameOrigin(NSPoint origin);
    void setFrameSize(NSSize size);

    // The window whose content holds this view, or nullptr.
    Window* enclosingWindow() const;
    void addSubview(QWidget* view);
    void removeFromSuperview();

    // Marks the view for drawing at the next paint; several marks make one drawRect.
    void setNeedsDisplay(bool flag = true);
    void setNeedsDisplayInRect(const NSRect& rect);
    // Draws now.
    void display();
    // Whether the widget or a view it lies in is inside its drawRect. Marks made then are dropped:
    // that drawing covers them, and a drawing that asked for another would never come to rest.
    static bool isDrawing(const QWidget& widget);
    // Draws the view and its visible subviews into an image of its size (for tests and snapshots).
    QImage renderToImage();

    using QWidget::setToolTip;
    void setToolTip(const std::string& text) { QWidget::setToolTip(QString::fromStdString(text)); }

    // Points: from a view's y-up coordinates (the window's when `view` is nullptr) into this view's.
    NSPoint convertPointFromView(NSPoint point, const QWidget* view) const;
    NSPoint convertPointToView(NSPoint point, const QWidget* view) const;

    void addTrackingArea(const TrackingArea& area);
    // Removes the areas with this key.
    void removeTrackingAreas(const std::string& userInfoKey);
    const std::vector<TrackingArea>& trackingAreas() const { return mTrackingAreas; }

    // The view's drawing, in y-up coordinates; the default draws nothing.
    virtual void drawRect(const NSRect& dirtyRect);
    virtual void mouseDown(const NSEvent& event);
    virtual void mouseDragged(const NSEvent& event);
    virtual void mouseUp(const NSEvent& event);
    virtual void rightMouseDown(const NSEvent& event);
    virtual void mouseMoved(const NSEvent& event);
    virtual void mouseEntered(const NSEvent& event);
    virtual void mouseExited(const NSEvent& event);
    virtual void keyDown(const NSEvent& event);
    virtual void keyUp(const NSEvent& event);
    virtual void scrollWheel(const NSEvent& event);
    // Called when the size changes and when the view is shown; rebuild tracking areas here.
    virtual void updateTrackingAreas() {}
    // Whether clicks and makeFirstResponder give this view the keyboard; asked when it is shown.
    virtual bool acceptsFirstResponder() const { return false; }
    // The window's user resize begins and ends (the window tells every view in it).
    virtual void viewWillStartLiveResize() {}
    virtual void viewDidEndLiveResize() {}
    virtual void becomeFirstResponder() {}
    virtual void resignFirstResponder() {}

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void press(QMouseEvent* event);
    void updateInside(NSPoint local, const NSEvent& event, bool forceOutside);

    bool mPassedOn{false};
    bool mDrawing{false};
    std::vector<TrackingArea> mTrackingAreas;
};
