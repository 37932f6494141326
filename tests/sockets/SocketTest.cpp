#include <gtest/gtest.h>
#include <netdb.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sockets/Exception.h"
#include "sockets/Ipv4Address.h"
#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"
#include "sockets/UdpSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/FakeSocketHandler.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

class SocketTest : public ::testing::Test {
protected:
    SocketTest() { handler.RegStdLog(&log); }
    CapturingLog log;
    FakeSocketHandler handler;
};

TEST_F(SocketTest, StreamDefaultsAndUniqueIds) {
    TcpSocket a(handler);
    TcpSocket b(handler);
    EXPECT_EQ(b.UniqueIdentifier(), a.UniqueIdentifier() + 1);
    EXPECT_EQ(a.GetConnectTimeout(), 5);
    EXPECT_TRUE(a.GetFlushBeforeClose());
    EXPECT_EQ(a.GetConnectionRetry(), 0);
    EXPECT_EQ(a.Protocol(), 6);
}

TEST_F(SocketTest, StateChangesKeepTheHandlersListsInStep) {
    TcpSocket s(handler);
    s.Attach(100);  // a number only; nothing is done with it
    s.SetCloseAndDelete();
    handler.now += 3;
    s.SetCloseAndDelete();
    EXPECT_EQ(handler.OnList(LIST_CLOSE, 100), 1u);
    EXPECT_EQ(s.TimeSinceClose(), 3);

    s.SetConnecting();
    EXPECT_EQ(handler.OnList(LIST_TIMEOUT, 100), 1u);
    EXPECT_FALSE(s.Timeout(handler.now + 5));
    EXPECT_TRUE(s.Timeout(handler.now + 6));
    s.SetConnecting(false);
    EXPECT_EQ(handler.OnList(LIST_TIMEOUT, 100), 0u);

    s.SetCallOnConnect();
    s.SetRetryClientConnect();
    EXPECT_EQ(handler.OnList(LIST_CALLONCONNECT, 100), 1u);
    EXPECT_EQ(handler.OnList(LIST_RETRY, 100), 1u);
    s.Attach(-1);
}

TEST_F(SocketTest, CloseClearsTheDescriptorEverywhere) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    close(fds[1]);
    TcpSocket s(handler);
    s.Attach(fds[0]);
    s.Set(true, true);
    s.SetCloseAndDelete();
    s.SetTimeout(10);
    EXPECT_EQ(s.Close(), 0);
    EXPECT_EQ(s.GetSocket(), -1);
    EXPECT_EQ(handler.interest[fds[0]], std::make_tuple(false, false, false));
    EXPECT_EQ(handler.OnList(LIST_CLOSE, fds[0]), 0u);
    EXPECT_EQ(handler.OnList(LIST_TIMEOUT, fds[0]), 0u);
    EXPECT_EQ(handler.closed.count(fds[0]), 1u);
}

TEST_F(SocketTest, ReportsForMissingStateKeepTheirTexts) {
    TcpSocket s(handler);
    EXPECT_EQ(s.Close(), 0);
    EXPECT_EQ(s.GetClientRemoteAddress(), nullptr);
    EXPECT_EQ(s.GetRemoteAddress(), "");
    EXPECT_EQ(s.Socket::GetPort(), 0);
    s.SendBuf("x", 1);
    const std::vector<CapturingLog::Entry> entries = log.Entries();
    struct Expected {
        const char* user;
        const char* sys;
        loglevel_t level;
    };
    const Expected expected[] = {
        {"Socket::Close", "file descriptor invalid", LOG_LEVEL_WARNING},
        {"GetClientRemoteAddress", "remote address not yet set", LOG_LEVEL_ERROR},
        {"GetPort", "GetPort only implemented for ListenSocket", LOG_LEVEL_WARNING},
        {"SendBuf", "Attempt to write to a non-ready socket", LOG_LEVEL_WARNING},
        {"SendBuf", " * GetSocket() == INVALID_SOCKET", LOG_LEVEL_INFO},
    };
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].user_text, expected[i].user) << i;
        EXPECT_EQ(entries[i].sys_text, expected[i].sys) << i;
        EXPECT_EQ(entries[i].level, expected[i].level) << i;
    }
}

TEST_F(SocketTest, OpenRefusesWhenTheHandlerIsFull) {
    handler.count = 1024;
    TcpSocket s(handler);
    EXPECT_FALSE(s.Open("127.0.0.1", 9));
    EXPECT_EQ(log.Count("Open", "no space left in fd_set"), 1u);
    EXPECT_TRUE(s.CloseAndDelete());
}

// Without a protocols database (a system without /etc/protocols) TCP and UDP sockets still open.
// The child hides the database behind /dev/null in a mount namespace of its own; it answers
// 77 where it may not make one.
TEST(SocketProtocols, TcpAndUdpOpenWithoutAProtocolsDatabase) {
    loopback::Fd listener = loopback::Listen();
    const port_t port = loopback::PortOf(listener.get());
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        if (getprotobyname("tcp")) {
            if (unshare(CLONE_NEWNS) != 0 ||
                mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("/dev/null", "/etc/protocols", nullptr, MS_BIND, nullptr) != 0)
                _exit(77);
            if (getprotobyname("tcp")) _exit(77);
        }
        try {
            SocketHandler handler;
            TcpSocket tcp(handler);
            Ipv4Address ad("127.0.0.1", port);
            if (!tcp.Open(ad)) _exit(1);
            UdpSocket udp(handler, 64, false, 0);
            port_t any = 0;
            if (udp.Bind(any, 0) != 0) _exit(2);
        } catch (const Exception&) {
            _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace to hide the protocols database in";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
