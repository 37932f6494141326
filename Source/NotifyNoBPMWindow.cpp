#include "Source/NotifyNoBPMWindow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "platform/AppKit/View.h"

namespace {

constexpr CGFloat kRightInset = 20;
constexpr CGFloat kTopInset = 40;
constexpr int64_t kFadeStepMs = 16;

NSRect firstScreenFrame() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return NSMakeRect(0, 0, 1024, 768);
    const QRect g = screens.first()->geometry();
    return NSMakeRect(g.x(), 0, g.width(), g.height());
}

}  // namespace

NotifyNoBPMWindow::NotifyNoBPMWindow(View* view) : Window(view->frame().size, true), mNotifyView(view) {
    setWindowFlag(Qt::Tool, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setExcludedFromWindowsMenu(true);
    setCanBecomeKeyWindow(false);
    setAlphaValue(1.0);
    setLevel(CGWindowLevelForKey(kCGFloatingWindowLevelKey));

    const NSRect screen = firstScreenFrame();
    const NSSize size = view->frame().size;
    mLocation = NSPoint{screen.origin.x + screen.size.width - size.width - kRightInset,
                        screen.size.height - (size.height + kTopInset)};
    setupGeometry();
    setupBackground();
    contentView()->addSubview(view);
    view->setFrame(mNotifyFrame);
    view->show();
}

std::unique_ptr<NotifyNoBPMWindow> NotifyNoBPMWindow::initWithView(View* view) {
    if (!view) return nullptr;
    return std::unique_ptr<NotifyNoBPMWindow>(new NotifyNoBPMWindow(view));
}

NotifyNoBPMWindow::~NotifyNoBPMWindow() {
    if (mFadeTask) Scheduler::current().cancel(mFadeTask);
    // The panel view belongs to the caller; a window going must not take it along.
    if (mNotifyView && mNotifyView->window() == this) {
        mNotifyView->hide();
        mNotifyView->setParent(nullptr);
    }
}

CGFloat NotifyNoBPMWindow::screenScale() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<CGFloat>(screen->devicePixelRatio()) : 1.0;
}

NSRect NotifyNoBPMWindow::frameForPanel(NSSize panel, const NSRect& screen, CGFloat scale, CGFloat margin) {
    const CGFloat m = margin * scale;
    return NSMakeRect(screen.origin.x + screen.size.width - panel.width - kRightInset,
                      screen.size.height - (panel.height + kTopInset), panel.width + 2 * m,
                      panel.height + 2 * m);
}

void NotifyNoBPMWindow::setupGeometry() {
    const CGFloat m = viewMargin * screenScale();
    const NSSize size = mNotifyView ? mNotifyView->frame().size : NSSize{};
    mNotifyFrame = NSMakeRect(m, m, size.width, size.height);
    setFrameRect(NSMakeRect(mLocation.x, mLocation.y, size.width + 2 * m, size.height + 2 * m));
    contentView()->setFrame(NSMakeRect(0, 0, size.width + 2 * m, size.height + 2 * m));
    if (mNotifyView && mNotifyView->parentWidget()) mNotifyView->setFrame(mNotifyFrame);
}

void NotifyNoBPMWindow::setupBackground() {
    if (isVisible()) update();
}

QPainterPath NotifyNoBPMWindow::backgroundPath() const {
    const CGFloat s = screenScale();
    const CGFloat m = viewMargin * s;
    const NSRect r = NSMakeRect(mNotifyFrame.origin.x - m, mNotifyFrame.origin.y - m,
                                mNotifyFrame.size.width + 2 * m, mNotifyFrame.size.height + 2 * m);
    // Edges on the pixel grid, so the outline is crisp.
    const double left = std::ceil(s * r.origin.x + 0.5);
    const double right = std::floor(s * (r.origin.x + r.size.width) - 0.5);
    const double bottom = std::ceil(s * r.origin.y + 0.5);
    const double top = std::floor(s * (r.origin.y + r.size.height) - 0.5);
    const double radius = cornerRadius * s;
    QPainterPath path;
    const QRectF rect(left / s, bottom / s, (right - left) / s, (top - bottom) / s);
    if (radius > 0)
        path.addRoundedRect(rect, radius / s, radius / s);
    else
        path.addRect(rect);
    return path;
}

QImage NotifyNoBPMWindow::drawBackground() const {
    const QSize size(static_cast<int>(std::lround(frameRect().size.width)),
                     static_cast<int>(std::lround(frameRect().size.height)));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = backgroundPath();
    painter.fillPath(path, backgroundColor);
    if (borderWidth > 0) {
        QPen pen(borderColor, screenScale() * borderWidth * 2);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setClipPath(path);
        painter.strokePath(path, pen);
    }
    return image;
}

void NotifyNoBPMWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, drawBackground());
}

void NotifyNoBPMWindow::displayOrCloseWindow() {
    if (mIsOpen) {
        mIsOpen = false;
        fadeTo(0.0, [this] {
            orderOut();
            if (didFadeOut) didFadeOut();
        });
    } else {
        orderFrontRegardless();
        mIsOpen = true;
        fadeTo(1.0, nullptr);
    }
}

void NotifyNoBPMWindow::fadeTo(CGFloat target, std::function<void()> done) {
    if (mFadeTask) Scheduler::current().cancel(mFadeTask);
    mFadeTask = 0;
    mFadeFrom = alphaValue();
    mFadeTarget = target;
    mFadeDone = std::move(done);
    mFadeStart = Scheduler::current().now();
    if (std::abs(mFadeFrom - mFadeTarget) < 1e-3) {
        setAlphaValue(mFadeTarget);
        if (auto finished = std::exchange(mFadeDone, nullptr)) finished();
        return;
    }
    mFadeTask = Scheduler::current().scheduleAfter(kFadeStepMs, [this] { fadeStep(); });
}

void NotifyNoBPMWindow::fadeStep() {
    mFadeTask = 0;
    const double elapsed = static_cast<double>(Scheduler::current().now() - mFadeStart) / 1000.0;
    const double t = std::clamp(elapsed / kFadeSeconds, 0.0, 1.0);
    setAlphaValue(mFadeFrom + (mFadeTarget - mFadeFrom) * t);
    if (t < 1.0) {
        mFadeTask = Scheduler::current().scheduleAfter(kFadeStepMs, [this] { fadeStep(); });
        return;
    }
    if (auto finished = std::exchange(mFadeDone, nullptr)) finished();
}
