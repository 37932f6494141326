#include "platform/Foundation/DistributedNotificationCenter.h"

#include <QDBusMessage>

#include "platform/Foundation/PropertyListSerialization.h"
#include "platform/Foundation/SessionBus.h"

NSDistributedNotificationCenter::NSDistributedNotificationCenter(QDBusConnection connection)
    : fConnection(std::move(connection)) {
    SessionBus::subscribe(QString(), QString::fromLatin1(kDistributedNotificationsPath),
                          QString::fromLatin1(kDistributedNotificationsInterface), QStringLiteral("Posted"),
                          this, SLOT(posted(QString, QString, QByteArray)),
                          SessionBus::Backlog::LatestByFirstArgument);
}

NSDistributedNotificationCenter::~NSDistributedNotificationCenter() {
    SessionBus::unsubscribe(QString(), QString::fromLatin1(kDistributedNotificationsPath),
                            QString::fromLatin1(kDistributedNotificationsInterface), QStringLiteral("Posted"),
                            this, SLOT(posted(QString, QString, QByteArray)));
}

NSDistributedNotificationCenter& NSDistributedNotificationCenter::defaultCenter() {
    static NSDistributedNotificationCenter* center =
        new NSDistributedNotificationCenter;  // lives as long as the process
    return *center;
}

NSDistributedNotificationCenter::ObserverToken NSDistributedNotificationCenter::addObserver(
    const void* owner, std::string_view name, Observer observer) {
    return fObservers.addObserver(owner, name, nullptr, std::move(observer));
}

void NSDistributedNotificationCenter::removeObserver(ObserverToken token) {
    fObservers.removeObserver(token);
}

void NSDistributedNotificationCenter::removeObserver(const void* owner) {
    fObservers.removeObserver(owner);
}

bool NSDistributedNotificationCenter::postNotificationName(
    std::string_view name, std::string_view object, const std::optional<PropertyList::Dictionary>& userInfo) {
    QByteArray bytes;
    if (userInfo) {
        const Result<PropertyList::Data> data = PropertyListSerialization::dataWithPropertyList(
            PropertyList(*userInfo), PropertyListFormat::Binary);
        if (!data) return false;
        bytes = QByteArray(reinterpret_cast<const char*>(data.value().data()),
                           static_cast<qsizetype>(data.value().size()));
    }
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kDistributedNotificationsPath),
                                                     QString::fromLatin1(kDistributedNotificationsInterface),
                                                     QStringLiteral("Posted"));
    signal << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
           << QString::fromUtf8(object.data(), static_cast<qsizetype>(object.size())) << bytes;
    return fConnection.send(signal);
}

void NSDistributedNotificationCenter::posted(const QString& name, const QString&,
                                             const QByteArray& userInfo) {
    NSNotification notification{name.toStdString(), nullptr, std::nullopt};
    if (!userInfo.isEmpty()) {
        // Another process's bytes: a user info that does not read as a dictionary is left out.
        const Result<PropertyList> plist = PropertyListSerialization::propertyListWithData(std::span(
            reinterpret_cast<const uint8_t*>(userInfo.constData()), static_cast<size_t>(userInfo.size())));
        if (plist && plist.value().dictionary()) notification.userInfo = *plist.value().dictionary();
    }
    fObservers.postNotification(notification);
}
