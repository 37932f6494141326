// What a running application offers other applications on the session bus: the requests to
// quit and to come forward, as the methods Quit() and Activate() of the interface
// com.orvo.Application on the object /com/orvo/Application.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <string_view>

inline constexpr const char* kBusApplicationPath = "/com/orvo/Application";
inline constexpr const char* kBusApplicationInterface = "com.orvo.Application";

// Lives on the main thread; the actions run there, after the request has been answered.
class BusApplication : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.orvo.Application")

public:
    using Action = std::function<void()>;

    explicit BusApplication(Action quit, Action activate = {},
                            QDBusConnection connection = QDBusConnection::sessionBus());
    ~BusApplication() override;
    BusApplication(const BusApplication&) = delete;
    BusApplication& operator=(const BusApplication&) = delete;

    // Exports the object, then owns the bundle identifier as the bus name; false when either
    // fails (the name owned by another process).
    bool publish(std::string_view bundleIdentifier);

public slots:
    Q_SCRIPTABLE void Quit();
    Q_SCRIPTABLE void Activate();

private:
    Action fQuit;
    Action fActivate;
    QDBusConnection fConnection;
    bool fExported{false};
};
