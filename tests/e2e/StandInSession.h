// What the end-to-end tests do with the real stand-in player: drive it with its --ctl commands,
// run the event loop and Beatwick's queued work until something holds, and quit a running one.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>
#include <functional>

#include "Source/PlayerBridge/PlayerLocator.h"
#include "platform/Foundation/RunningApplication.h"
#include "platform/Foundation/VirtualScheduler.h"

inline const char* const kStandIn = BEATWICK_BINARY_DIR "/player-standin";

// `player-standin --ctl ARGUMENTS`: what it printed; a failing command fails the test.
inline QString control(const QStringList& arguments) {
    QProcess process;
    process.start(QString::fromLatin1(kStandIn), QStringList{"--ctl"} + arguments);
    EXPECT_TRUE(process.waitForFinished(15000)) << arguments.join(' ').toStdString();
    EXPECT_EQ(process.exitCode(), 0) << arguments.join(' ').toStdString();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

// Runs the event loop and the scheduler's queued work, and the timed work that is due (as at the
// end of a turn of the loop), until the condition holds; false when it did not within the
// bound. Timed work stays on the scheduler's virtual time.
inline bool runEventsUntil(VirtualScheduler& scheduler, const std::function<bool()>& condition,
                           int boundMs = 20000) {
    QDeadlineTimer deadline(boundMs);
    for (;;) {
        scheduler.advance(0);
        if (condition()) return true;
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
}

// Asks a running stand-in to quit, and kills it when it does not.
inline void quitStandIn(VirtualScheduler& scheduler) {
    const SInt32 pid = PBRunningPlayerProcessID();
    if (pid == 0) return;
    NSRunningApplication{"com.apple.iTunes", pid, ""}.terminate();
    if (!runEventsUntil(scheduler, [] { return PBRunningPlayerProcessID() == 0; })) kill(pid, SIGTERM);
}
