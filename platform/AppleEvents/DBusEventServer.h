// The receiving side of the bus transport: serves an event handler as the method
// Send(ay event) -> (ay reply) of com.orvo.AppleEvents on /com/orvo/AppleEvents.
//
// Events are answered strictly in the order they arrive, one at a time, on the thread the
// server lives on (the main thread). A reply may be held back (delayNextReply): the events
// that arrive meanwhile wait behind it.
#pragma once

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <deque>

#include "platform/AppleEvents/AEReceive.h"

class DBusEventServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.orvo.AppleEvents")

public:
    explicit DBusEventServer(AEEventHandler handler,
                             QDBusConnection connection = QDBusConnection::sessionBus());
    ~DBusEventServer() override;
    DBusEventServer(const DBusEventServer&) = delete;
    DBusEventServer& operator=(const DBusEventServer&) = delete;

    // Exports the object on the connection; false when the path is taken.
    bool publish();

    // The next event's reply leaves this many milliseconds after it was answered.
    void delayNextReply(int milliseconds);
    // Every reply leaves this many milliseconds after it was answered (0: at once), a slow
    // peer for benchmarks; a delay of the next reply goes first.
    void delayEveryReply(int milliseconds);

    // Events received, answered or waiting.
    size_t received() const { return fReceived; }

public slots:
    Q_SCRIPTABLE QByteArray Send(const QByteArray& event);

private:
    struct Pending {
        QDBusMessage message;
        QByteArray event;
    };

    void answerWaiting();

    AEEventHandler fHandler;
    QDBusConnection fConnection;
    std::deque<Pending> fWaiting;
    bool fHolding{false};  // a delayed reply is on its way; the waiting events stay queued
    int fNextDelay{0};
    int fEveryDelay{0};
    size_t fReceived{0};
    bool fPublished{false};
};
