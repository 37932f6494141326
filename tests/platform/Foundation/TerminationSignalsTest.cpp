#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <csignal>

#include "platform/Foundation/TerminationSignals.h"

namespace {

// A termination signal becomes one quit on the event loop, once per signal; afterwards the
// previous disposition is back.
TEST(TerminationSignals, EachSignalQuitsOnTheEventLoopAndThePreviousHandlerComesBack) {
    int argc = 1;
    char name[] = "foundation_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    std::signal(SIGHUP, SIG_IGN);
    {
        QEventLoop loop;
        int quits = 0;
        TerminationSignals termination([&] {
            ++quits;
            loop.quit();
        });
        ASSERT_TRUE(termination.installed());
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            QTimer::singleShot(0, [signal] { std::raise(signal); });
            QTimer guard;
            guard.setSingleShot(true);
            QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
            guard.start(10000);  // a bound, in case the signal never arrives
            loop.exec();
        }
        EXPECT_EQ(quits, 3) << "the process lived on, and quit once for each";
    }
    struct sigaction now {};
    sigaction(SIGHUP, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN);
    std::signal(SIGHUP, SIG_DFL);
}

}  // namespace
