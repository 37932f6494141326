// The no-tempo notice: a borderless, dark, translucent, rounded panel floating at the top right of
// the first screen around the panel view it is made with. It never takes the keyboard, is not in
// the Windows menu, and fades out when closed. The panel view is the caller's and outlives the
// window: it is handed back (detached) when the window goes, so the next notice can reuse it.
// Main thread only.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointer>
#include <functional>
#include <memory>

#include "platform/AppKit/Window.h"
#include "platform/Foundation/Scheduler.h"

class View;

class NotifyNoBPMWindow : public Window {
public:
    static constexpr double kFadeSeconds = 0.25;

    // Null without a view. The window is closed (not on screen) at opacity 1.0.
    static std::unique_ptr<NotifyNoBPMWindow> initWithView(View* view);
    ~NotifyNoBPMWindow() override;

    // Open: fades to opacity 0 and is closed (then hidden). Closed: comes to the front without
    // activating the application, fades to 1.0 and is open.
    void displayOrCloseWindow();
    // Called once a closing fade is done and the window is off the screen.
    std::function<void()> didFadeOut;

    bool isOpen() const { return mIsOpen; }
    bool isFading() const { return mFadeTask != 0; }
    View* notifyView() const { return mNotifyView; }
    NSRect notifyFrame() const { return mNotifyFrame; }
    NSPoint location() const { return mLocation; }

    // The window frame for a panel of that size on a screen (y-up) at a scale.
    static NSRect frameForPanel(NSSize panel, const NSRect& screen, CGFloat scale, CGFloat margin = 2.0);

    void setupGeometry();
    void setupBackground();
    // The panel as drawn: clipped to the rounded path, filled, bordered when a border is set.
    QImage drawBackground() const;
    QPainterPath backgroundPath() const;

    QColor borderColor{Qt::white};
    float borderWidth{0};
    float viewMargin{2.0f};
    float cornerRadius{8.0f};
    QColor backgroundColor{QColor::fromRgbF(0.12f, 0.12f, 0.12f, 0.9f)};

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    explicit NotifyNoBPMWindow(View* view);
    static CGFloat screenScale();
    void fadeTo(CGFloat target, std::function<void()> done);
    void fadeStep();

    NSPoint mLocation{};
    [[maybe_unused]] bool mResizing{false};  // kept as the window's record has it; nothing reads it
    bool mIsOpen{false};
    QPointer<View> mNotifyView;
    NSRect mNotifyFrame{};

    Scheduler::TaskId mFadeTask{0};
    int64_t mFadeStart{0};
    CGFloat mFadeFrom{1}, mFadeTarget{1};
    std::function<void()> mFadeDone;
};
