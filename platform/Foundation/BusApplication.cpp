#include "platform/Foundation/BusApplication.h"

#include <QMetaObject>

#include "platform/Foundation/SessionBus.h"

BusApplication::BusApplication(Action quit, Action activate, QDBusConnection connection)
    : fQuit(std::move(quit)), fActivate(std::move(activate)), fConnection(std::move(connection)) {}

BusApplication::~BusApplication() {
    if (fExported) fConnection.unregisterObject(QString::fromLatin1(kBusApplicationPath));
}

bool BusApplication::publish(std::string_view bundleIdentifier) {
    if (!fExported) {
        fExported = fConnection.registerObject(QString::fromLatin1(kBusApplicationPath), this,
                                               QDBusConnection::ExportScriptableSlots);
        if (!fExported) return false;
    }
    return SessionBus::ownName(fConnection, bundleIdentifier);
}

void BusApplication::Quit() {
    // Queued, so the caller's request is answered before the application goes away.
    if (fQuit)
        QMetaObject::invokeMethod(
            this, [this] { fQuit(); }, Qt::QueuedConnection);
}

void BusApplication::Activate() {
    if (fActivate)
        QMetaObject::invokeMethod(
            this, [this] { fActivate(); }, Qt::QueuedConnection);
}
