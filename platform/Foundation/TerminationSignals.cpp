#include "platform/Foundation/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
std::atomic<int> gWriteEnd{-1};

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> quit)
    : mQuit(quit ? std::move(quit) : [] { QCoreApplication::quit(); }) {
    if (gWriteEnd.load() != -1 || pipe2(mPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    gWriteEnd.store(mPipe[1]);
    mNotifier = std::make_unique<QSocketNotifier>(mPipe[0], QSocketNotifier::Read);
    QObject::connect(mNotifier.get(), &QSocketNotifier::activated, [this] { readSignals(); });
    struct sigaction action {};
    action.sa_handler = &TerminationSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &mPrevious[i]);
}

TerminationSignals::~TerminationSignals() {
    if (!mNotifier) return;
    for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &mPrevious[i], nullptr);
    gWriteEnd.store(-1);
    mNotifier.reset();
    close(mPipe[0]);
    close(mPipe[1]);
}

void TerminationSignals::handle(int) {
    // Only async-signal-safe work here: one byte into the pipe, errno kept.
    const int saved = errno;
    const int end = gWriteEnd.load();
    if (end != -1) {
        const char byte = 1;
        (void)!write(end, &byte, 1);
    }
    errno = saved;
}

void TerminationSignals::readSignals() {
    char bytes[64];
    bool any = false;
    while (read(mPipe[0], bytes, sizeof bytes) > 0) any = true;
    if (any) mQuit();
}
