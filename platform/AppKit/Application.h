// The application object's share of the layer: whether this application is the active one, with
// notices when it becomes active and when it resigns, activation, and the modifier keys held now.
// Moving the focus between the application's own windows is neither: only when no window of the
// application has the focus once the event loop settles does it resign. Main thread only.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>

class NSMenu;

// Critical asks for attention until the application is activated; informational asks once.
enum class NSRequestUserAttentionType { CriticalRequest = 0, InformationalRequest = 10 };

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
    // Marks the application's windows as wanting attention (the desktop highlights them): a
    // critical request lasts until the application is activated, an informational one a moment.
    // Nothing while the application is active. Answers the request's number, 0 when none was made.
    int requestUserAttention(NSRequestUserAttentionType type);
    // The kind of the last request made, for the program's own checks.
    std::optional<NSRequestUserAttentionType> lastAttentionRequest() const { return mLastAttention; }

    // The menu bar's model; not owned. nullptr until the application sets one.
    NSMenu* mainMenu() const { return mMainMenu; }
    void setMainMenu(NSMenu* menu) { mMainMenu = menu; }

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
    NSMenu* mMainMenu{nullptr};
    int mAttentionRequests{0};
    std::optional<NSRequestUserAttentionType> mLastAttention;
    bool mSettlePending{false};
    Qt::ApplicationState mReported{Qt::ApplicationInactive};
};

// The system beep: a bound was reached and nothing was done.
void NSBeep();
// Replaces the sound of NSBeep (tests count beeps); an empty handler restores the system's.
void setBeepHandler(std::function<void()> handler);
