// The application object's share of the layer: whether this application is the active one, with
// notices when it becomes active and when it resigns, activation, and the modifier keys held now.
// Moving the focus between the application's own windows is neither: only when no window of the
// application has the focus once the event loop settles does it resign. Main thread only.
#pragma once

#include <QObject>
#include <cstdint>

class Application : public QObject {
    Q_OBJECT
public:
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Needs a QApplication; created on first use.
    static Application& sharedApplication();

    bool isActive() const { return mActive; }
    // Brings the application's active or first visible window to the front with the keyboard.
    void activateIgnoringOtherApps(bool ignoringOtherApps);
    // The platform's mask of the modifier keys held at this moment.
    uint32_t currentModifierFlags() const;

    // Takes the state Qt reports (for tests that drive it by hand as the window system would).
    void applicationStateChanged(Qt::ApplicationState state);

signals:
    void didBecomeActive();
    void didResignActive();

private:
    Application();
    void settle();

    bool mActive{false};
    bool mSettlePending{false};
    Qt::ApplicationState mReported{Qt::ApplicationInactive};
};

// The system beep: a bound was reached and nothing was done.
void NSBeep();
