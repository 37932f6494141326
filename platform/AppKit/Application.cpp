#include "platform/AppKit/Application.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <utility>

#include "platform/AppKit/Event.h"

Application& Application::sharedApplication() {
    static Application application;
    return application;
}

Application::Application() : mActive(QGuiApplication::applicationState() == Qt::ApplicationActive) {
    mReported = QGuiApplication::applicationState();
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { applicationStateChanged(state); });
}

void Application::applicationStateChanged(Qt::ApplicationState state) {
    mReported = state;
    // Between the focus leaving one window and reaching the next, Qt may report the application
    // inactive for a moment: the state counts once the queued events have run.
    if (mSettlePending) return;
    mSettlePending = true;
    QTimer::singleShot(0, this, [this] { settle(); });
}

void Application::settle() {
    mSettlePending = false;
    const bool active = mReported == Qt::ApplicationActive;
    if (active == mActive) return;
    mActive = active;
    if (active)
        emit didBecomeActive();
    else
        emit didResignActive();
}

void Application::activateIgnoringOtherApps(bool) {
    QWidget* target = QApplication::activeWindow();
    if (!target) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) {
                target = w;
                break;
            }
    }
    if (!target) return;
    target->raise();
    target->activateWindow();
}

int Application::requestUserAttention(NSRequestUserAttentionType type) {
    if (mActive) return 0;
    // An informational request highlights the windows for a moment; a critical one until the
    // application is activated (a duration of 0).
    const int duration = type == NSRequestUserAttentionType::CriticalRequest ? 0 : 1500;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) QApplication::alert(w, duration);
    mLastAttention = type;
    return ++mAttentionRequests;
}

uint32_t Application::currentModifierFlags() const {
    return modifierFlagsFromQt(QGuiApplication::queryKeyboardModifiers());
}

namespace {
std::function<void()>& beepHandler() {
    static std::function<void()> handler;
    return handler;
}
}  // namespace

void NSBeep() {
    if (beepHandler())
        beepHandler()();
    else
        QApplication::beep();
}

void setBeepHandler(std::function<void()> handler) {
    beepHandler() = std::move(handler);
}
