// SIGTERM, SIGINT and SIGHUP turned into a quit on the main thread: a desktop's logout or a
// terminal's Ctrl+C then ends the program as its Quit command does, so it writes what it keeps
// at quit instead of losing it. The handler only writes a byte to a pipe; the main thread's event
// loop reads it. One exists at a time; the previous handlers come back when it goes.
#pragma once

#include <csignal>
#include <functional>
#include <memory>

class QSocketNotifier;

class TerminationSignals {
public:
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // `quit` runs on the main thread at each signal (by default the event loop is asked to end).
    explicit TerminationSignals(std::function<void()> quit = {});
    ~TerminationSignals();

    // Whether the handlers are in place (a pipe could be made).
    bool installed() const { return mNotifier != nullptr; }

private:
    static void handle(int signal);
    void readSignals();

    std::function<void()> mQuit;
    int mPipe[2]{-1, -1};
    std::unique_ptr<QSocketNotifier> mNotifier;
    struct sigaction mPrevious[3]{};
};
