#include "platform/AppleEvents/DBusEventServer.h"

#include <QTimer>

#include "platform/AppleEvents/DBusTransport.h"

namespace {

QByteArray answer(const AEEventHandler& handler, const QByteArray& event) {
    const std::vector<uint8_t> bytes(event.begin(), event.end());
    const std::vector<uint8_t> reply = AEAnswerFlattenedEvent(bytes, handler);
    return QByteArray(reinterpret_cast<const char*>(reply.data()), static_cast<qsizetype>(reply.size()));
}

}  // namespace

DBusEventServer::DBusEventServer(AEEventHandler handler, QDBusConnection connection)
    : fHandler(std::move(handler)), fConnection(std::move(connection)) {}

DBusEventServer::~DBusEventServer() {
    if (fPublished) fConnection.unregisterObject(QString::fromLatin1(kAppleEventsPath));
}

bool DBusEventServer::publish() {
    if (!fPublished)
        fPublished = fConnection.registerObject(QString::fromLatin1(kAppleEventsPath), this,
                                                QDBusConnection::ExportScriptableSlots);
    return fPublished;
}

void DBusEventServer::delayNextReply(int milliseconds) {
    fNextDelay = milliseconds > 0 ? milliseconds : 0;
}

void DBusEventServer::delayEveryReply(int milliseconds) {
    fEveryDelay = milliseconds > 0 ? milliseconds : 0;
}

QByteArray DBusEventServer::Send(const QByteArray& event) {
    ++fReceived;
    if (!fHolding && fWaiting.empty() && fNextDelay == 0 && fEveryDelay == 0) return answer(fHandler, event);
    setDelayedReply(true);
    fWaiting.push_back(Pending{message(), event});
    answerWaiting();
    return {};
}

void DBusEventServer::answerWaiting() {
    while (!fHolding && !fWaiting.empty()) {
        Pending next = std::move(fWaiting.front());
        fWaiting.pop_front();
        QDBusMessage reply = next.message.createReply(QVariant(answer(fHandler, next.event)));
        const int delay = fNextDelay != 0 ? fNextDelay : fEveryDelay;
        fNextDelay = 0;
        const bool required = next.message.isReplyRequired();
        if (delay == 0) {
            if (required) fConnection.send(reply);
            continue;
        }
        fHolding = true;
        QTimer::singleShot(delay, this, [this, required, reply = std::move(reply)] {
            if (required) fConnection.send(reply);
            fHolding = false;
            answerWaiting();
        });
    }
}
