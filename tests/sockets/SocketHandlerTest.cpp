#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/Carbon/Clock.h"
#include "sockets/IMutex.h"
#include "sockets/Lock.h"
#include "sockets/Mutex.h"
#include "sockets/Socket.h"
#include "sockets/SocketHandler.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

// What happened to a probe socket, kept outside it so that its deletion can be seen.
struct Events {
    int reads = 0;
    int deletes = 0;
    bool destroyed = false;
};

class ProbeSocket : public Socket {
public:
    // The events outlive the socket, which the handler may delete after the test body.
    ProbeSocket(ISocketHandler& handler, std::shared_ptr<Events> events, int fd)
        : Socket(handler), m_events(std::move(events)) {
        Attach(fd);
    }
    ~ProbeSocket() override { m_events->destroyed = true; }
    void OnOptions(int, int, int, int) override {}
    void OnRead() override {
        ++m_events->reads;
        char buf[64];
        if (read(GetSocket(), buf, sizeof(buf)) <= 0) SetCloseAndDelete();
        if (throwOnRead) throw std::runtime_error("from OnRead");
        if (whenRead) whenRead();
    }
    void OnDelete() override {
        ++m_events->deletes;
        if (throwOnDelete) throw std::runtime_error("from OnDelete");
    }
    bool throwOnRead = false;
    bool throwOnDelete = false;
    std::function<void()> whenRead;

private:
    std::shared_ptr<Events> m_events;
};

// A connected pair of local stream descriptors: the socket under test takes one end.
struct Pair {
    Pair() { socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds); }
    ~Pair() {
        if (fds[1] != -1) close(fds[1]);
    }
    int take() {
        const int fd = fds[0];
        fds[0] = -1;
        return fd;
    }
    void poke() { ASSERT_EQ(write(fds[1], "x", 1), 1); }
    int fds[2]{-1, -1};
};

class SocketHandlerTest : public ::testing::Test {
protected:
    SocketHandlerTest() {
        handler.RegStdLog(&log);
        handler.SetClock(clock);
    }
    ProbeSocket* Owned(const std::shared_ptr<Events>& events, Pair& pair) {
        auto* p = new ProbeSocket(handler, events, pair.take());
        p->SetDeleteByHandler();
        return p;
    }
    void Pass() { handler.Select(0, 0); }

    CapturingLog log;
    VirtualClock clock;
    SocketHandler handler;
};

TEST_F(SocketHandlerTest, AdmitsQueuedSocketsAndDispatchesReadiness) {
    auto events = std::make_shared<Events>();
    Pair pair;
    ProbeSocket* p = Owned(events, pair);
    handler.Add(p);
    EXPECT_FALSE(handler.Valid(p));
    EXPECT_EQ(handler.GetCount(), 1u);
    Pass();
    EXPECT_TRUE(handler.Valid(p));
    EXPECT_TRUE(handler.Valid(p->UniqueIdentifier()));
    pair.poke();
    EXPECT_TRUE(loopback::Pump(handler, [&] { return events->reads == 1; }));
    EXPECT_TRUE(handler.CheckSanity());
}

TEST_F(SocketHandlerTest, SocketAddedTwiceIsDeletedOnceWithoutStayingQueued) {
    auto events = std::make_shared<Events>();
    Pair pair;
    ProbeSocket* p = Owned(events, pair);
    handler.Add(p);
    handler.Add(p);
    EXPECT_EQ(log.Count("Add", "Attempt to add socket already in add queue"), 1u);
    Pass();
    EXPECT_EQ(events->deletes, 1);
    EXPECT_TRUE(events->destroyed);
    EXPECT_EQ(handler.GetCount(), 0u);
}

TEST_F(SocketHandlerTest, CloseAndDeleteBeforeAdmissionClosesOnTheSamePass) {
    auto events = std::make_shared<Events>();
    Pair pair;
    ProbeSocket* p = Owned(events, pair);
    p->SetCloseAndDelete();
    handler.Add(p);
    Pass();
    EXPECT_EQ(log.Count("Add", "Trying to add socket with SetCloseAndDelete() true"), 1u);
    EXPECT_EQ(events->deletes, 1);
    EXPECT_TRUE(events->destroyed);
    EXPECT_EQ(handler.GetCount(), 0u);
}

TEST_F(SocketHandlerTest, DescriptorAboveFdSetSizeIsRefusedWithoutTouchingTheSets) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur <= 1500) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2048);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    Pair pair;
    const int high = dup2(pair.fds[0], 1500);
    if (high != 1500) GTEST_SKIP() << "no descriptor 1500 here";
    auto events = std::make_shared<Events>();
    auto* p = new ProbeSocket(handler, events, high);
    p->SetDeleteByHandler();
    handler.Add(p);
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].user_text, "Add");
    EXPECT_EQ(log.Entries()[0].err, 1500);
    EXPECT_EQ(log.Entries()[0].level, LOG_LEVEL_FATAL);

    bool r = true, w = true, x = true;
    handler.Set(1500, true, true, true);
    handler.Get(1500, r, w, x);  // out of range: outputs untouched
    EXPECT_TRUE(r && w && x);

    Pass();
    EXPECT_EQ(events->deletes, 1);
    EXPECT_TRUE(events->destroyed);  // and its destructor closed 1500
    EXPECT_EQ(fcntl(1500, F_GETFD), -1);
}

TEST(SocketHandlerEnd, SocketsItOwnsButNeverAdmittedGoWithTheHandler) {
    auto queued = std::make_shared<Events>(), failed = std::make_shared<Events>();
    Pair pairA;
    int fd = -1;
    {
        SocketHandler handler;
        auto* a = new ProbeSocket(handler, queued, pairA.take());
        a->SetDeleteByHandler();
        fd = a->GetSocket();
        handler.Add(a);
        // Without a descriptor it lands on the list of failed admissions.
        auto* b = new ProbeSocket(handler, failed, -1);
        b->SetDeleteByHandler();
        b->SetCloseAndDelete();
        handler.Add(b);
    }
    EXPECT_TRUE(queued->destroyed);
    EXPECT_TRUE(failed->destroyed);
    EXPECT_EQ(fcntl(fd, F_GETFD), -1);  // its descriptor went with it
}

TEST_F(SocketHandlerTest, DestroyedSocketLeavesTheActiveListSoAReusedNumberIsServedOnce) {
    auto first = std::make_shared<Events>();
    Pair pairA;
    auto a = std::make_unique<ProbeSocket>(handler, first, pairA.take());
    const int fd = a->GetSocket();
    handler.Add(a.get());
    Pass();
    a.reset();  // the owner deletes it while the handler still controls it
    EXPECT_EQ(log.Count("Remove", "Socket destructor called while still in use"), 1u);

    Pair pairB;  // the lowest free number: the one just released
    auto second = std::make_shared<Events>();
    ProbeSocket* b = Owned(second, pairB);
    ASSERT_EQ(b->GetSocket(), fd);
    handler.Add(b);
    pairB.poke();
    EXPECT_TRUE(loopback::Pump(handler, [&] { return second->reads == 1; }));
    EXPECT_EQ(log.Count("Add", "Attempt to add socket already in controlled queue"), 0u);
    EXPECT_EQ(first->reads, 0);
    EXPECT_TRUE(handler.CheckSanity());
}

TEST_F(SocketHandlerTest, DetachedSocketIsForgottenQuietly) {
    auto events = std::make_shared<Events>();
    Pair pair;
    auto p = std::make_unique<ProbeSocket>(handler, events, pair.take());
    handler.Add(p.get());
    Pass();
    p->SetCloseAndDelete();
    handler.Detach(p.get());
    EXPECT_FALSE(handler.Valid(p.get()));
    EXPECT_TRUE(handler.CheckSanity());
    pair.poke();
    for (int i = 0; i < 5; ++i) handler.Select(0, 1000);
    EXPECT_EQ(events->reads, 0);
    EXPECT_EQ(events->deletes, 0);  // the close list forgot it too
    p.reset();
    EXPECT_EQ(log.Count("Remove"), 0u);
}

TEST_F(SocketHandlerTest, SocketAddedAndClosedInTheSamePassIsDeletedOnce) {
    auto first = std::make_shared<Events>();
    auto second = std::make_shared<Events>();
    Pair pairA, pairB;
    ProbeSocket* a = Owned(first, pairA);
    ProbeSocket* b = Owned(second, pairB);
    // Queued after this pass's admission, to be closed by its close step.
    a->whenRead = [&] {
        handler.Add(b);
        b->SetCloseAndDelete();
    };
    handler.Add(a);
    Pass();
    pairA.poke();
    ASSERT_TRUE(loopback::Pump(handler, [&] { return second->destroyed; }));
    EXPECT_EQ(second->deletes, 1);
    EXPECT_EQ(second->reads, 0);
    EXPECT_EQ(handler.GetCount(), 1u);
    EXPECT_TRUE(handler.CheckSanity());
}

TEST_F(SocketHandlerTest, SocketClosedEarlierInThePassGetsNoReadEvent) {
    auto first = std::make_shared<Events>();
    auto second = std::make_shared<Events>();
    Pair pairA, pairB;
    ProbeSocket* a = Owned(first, pairA);
    auto b = std::make_unique<ProbeSocket>(handler, second, pairB.take());
    ASSERT_LT(a->GetSocket(), b->GetSocket());  // a's events come first
    a->whenRead = [&] { b->Close(); };
    handler.Add(a);
    handler.Add(b.get());
    Pass();
    pairA.poke();
    pairB.poke();
    ASSERT_TRUE(loopback::WaitFor(a->GetSocket(), POLLIN));
    ASSERT_TRUE(loopback::WaitFor(b->GetSocket(), POLLIN));
    handler.Select(0, 0);
    EXPECT_EQ(first->reads, 1);
    EXPECT_EQ(second->reads, 0);
    EXPECT_FALSE(handler.Valid(b.get()));
}

TEST_F(SocketHandlerTest, SocketClosedWhileQueuedIsNotAdmittedUnderItsOldNumber) {
    auto first = std::make_shared<Events>();
    Pair pairA;
    ProbeSocket* a = Owned(first, pairA);
    const int fd = a->GetSocket();
    handler.Add(a);
    a->SetCloseAndDelete();
    a->Close();

    Pair pairB;
    auto second = std::make_shared<Events>();
    ProbeSocket* b = Owned(second, pairB);
    ASSERT_EQ(b->GetSocket(), fd);
    handler.Add(b);
    EXPECT_EQ(log.Count("Add", "Attempt to add socket already in add queue"), 0u);
    Pass();
    EXPECT_TRUE(first->destroyed);
    EXPECT_TRUE(handler.Valid(b));
    EXPECT_TRUE(handler.CheckSanity());
}

TEST_F(SocketHandlerTest, DescriptorClosedBehindTheHandlersBackIsDropped) {
    auto events = std::make_shared<Events>();
    Pair pair;
    ProbeSocket* p = Owned(events, pair);
    handler.Add(p);
    Pass();
    close(p->GetSocket());  // select() now fails with EBADF
    EXPECT_EQ(handler.Select(0, 0), -1);
    EXPECT_EQ(log.Count("select"), 1u);
    EXPECT_EQ(log.Count("Select", "Bad fd in fd_set (2)"), 1u);
    EXPECT_FALSE(handler.Valid(p));
    p->Attach(-1);
    delete p;
}

TEST_F(SocketHandlerTest, ExceptionFromACallbackLeavesConsistentLists) {
    auto events = std::make_shared<Events>();
    Pair pair;
    ProbeSocket* p = Owned(events, pair);
    p->throwOnRead = true;
    handler.Add(p);
    Pass();
    pair.poke();
    bool thrown = false;
    for (int i = 0; i < 100 && !thrown; ++i) {
        try {
            handler.Select(0, 5000);
        } catch (const std::runtime_error&) {
            thrown = true;
        }
    }
    ASSERT_TRUE(thrown);
    EXPECT_TRUE(handler.CheckSanity());
    EXPECT_TRUE(handler.Valid(p));

    // Its close throws from OnDelete; it is still erased and deleted, once.
    p->throwOnRead = false;
    p->throwOnDelete = true;
    p->SetCloseAndDelete();
    EXPECT_THROW(Pass(), std::runtime_error);
    Pass();
    EXPECT_FALSE(handler.Valid(p));
    EXPECT_TRUE(events->destroyed);
    EXPECT_EQ(events->deletes, 1);
    EXPECT_EQ(handler.GetCount(), 0u);
    EXPECT_TRUE(handler.CheckSanity());
}

TEST_F(SocketHandlerTest, DestroyingTheHandlerClosesAndDeletesItsOwnedSockets) {
    auto owned = std::make_shared<Events>();
    Pair pair;
    auto handler2 = std::make_unique<SocketHandler>(&log);
    auto* a = new ProbeSocket(*handler2, owned, pair.take());
    a->SetDeleteByHandler();
    handler2->Add(a);
    handler2->Select(0, 0);
    handler2.reset();
    EXPECT_TRUE(owned->destroyed);
}

TEST_F(SocketHandlerTest, AutomaticTimeoutPollsOnlyWhilePendingWork) {
    auto events = std::make_shared<Events>();
    Pair pair;
    ProbeSocket* p = Owned(events, pair);
    handler.Add(p);
    Pass();
    pair.poke();
    // Nothing pending: blocks until the descriptor is ready, which it is.
    EXPECT_EQ(handler.Select(), 0);
    EXPECT_EQ(events->reads, 1);
}

TEST_F(SocketHandlerTest, TheSameSelectErrorIsReportedOnceIn10000Passes) {
    // A negative time-out makes select() fail with EINVAL on every pass.
    for (int pass = 1; pass <= 10001; ++pass) {
        ASSERT_EQ(handler.Select(-1, 0), -1);
        if (pass == 2 || pass == 10000) {
            EXPECT_EQ(log.Count("select"), 1u) << "after pass " << pass;
        }
    }
    EXPECT_EQ(log.Count("select"), 2u);
    EXPECT_EQ(log.Entries().back().err, EINVAL);

    // After a pass without it the same error is news again.
    handler.Select(0, 0);
    handler.Select(-1, 0);
    EXPECT_EQ(log.Count("select"), 3u);
}

TEST_F(SocketHandlerTest, SelectLeavesTheCallersTimeoutAsItWas) {
    struct timeval timeout {
        0, 2000
    };
    EXPECT_EQ(handler.Select(&timeout), 0);
    EXPECT_EQ(timeout.tv_sec, 0);
    EXPECT_EQ(timeout.tv_usec, 2000);
}

// Counts who holds it: the handler's thread, or nobody.
class CountingMutex : public IMutex {
public:
    int Lock() override {
        ++held;
        return 0;
    }
    int Unlock() override {
        if (waiting) ++releasedWhileWaiting;
        --held;
        return 0;
    }
    int held = 0;
    bool waiting = false;
    int releasedWhileWaiting = 0;
};

TEST(SocketHandlerMutex, HeldForTheHandlersLifeExceptInsideSelect) {
    CountingMutex mutex;
    {
        SocketHandler handler(mutex);
        EXPECT_EQ(mutex.held, 1);
        EXPECT_EQ(&handler.GetMutex(), &mutex);
        mutex.waiting = true;
        handler.Select(0, 0);
        mutex.waiting = false;
        EXPECT_EQ(mutex.releasedWhileWaiting, 1);
        EXPECT_EQ(mutex.held, 1);
    }
    EXPECT_EQ(mutex.held, 0);
}

// The contract of a handler made with a mutex: another thread that holds the mutex may use the
// handler while its owner waits in select().
TEST(SocketHandlerMutex, AnotherThreadAddsASocketWhileTheOwnerWaits) {
    Mutex mutex;
    SocketHandler handler(mutex);
    auto events = std::make_shared<Events>();
    Pair pair;
    auto* p = new ProbeSocket(handler, events, pair.take());
    p->SetDeleteByHandler();
    std::atomic<bool> added{false};
    std::thread other([&] {
        Lock lock(mutex);
        handler.Add(p);
        added = true;
    });
    for (int i = 0; i < 100000 && !added; ++i) handler.Select(0, 1000);
    other.join();
    ASSERT_TRUE(added);
    pair.poke();
    EXPECT_TRUE(loopback::Pump(handler, [&] { return events->reads == 1; }));
}

}  // namespace
