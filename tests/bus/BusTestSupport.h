// Helpers of the bus tests: the test process's folder and waiting on the event loop for a
// condition, with a generous upper bound instead of a fixed sleep.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>
#include <string>

// The temporary folder that is HOME for this test process and the players it starts.
const std::string& BusTestHome();

// Runs the event loop until the condition holds; false when it did not within the bound.
inline bool WaitFor(const std::function<bool()>& condition, int boundMs = 15000) {
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}
