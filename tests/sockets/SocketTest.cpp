#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sockets/TcpSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/FakeSocketHandler.h"

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

}  // namespace
