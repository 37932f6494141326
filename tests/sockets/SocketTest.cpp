#include <gtest/gtest.h>

#include "platform/Carbon/Clock.h"
#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"
#include "tests/sockets/support/CapturingLog.h"

namespace {

class SocketTest : public ::testing::Test {
protected:
    SocketTest() {
        handler.RegStdLog(&log);
        handler.SetClock(clock);
    }
    CapturingLog log;
    VirtualClock clock;
    SocketHandler handler;
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

TEST_F(SocketTest, CloseTimeIsRecordedOnceAndTimeoutsFollowTheClock) {
    TcpSocket s(handler);
    s.Attach(100);  // a number only; nothing is done with it
    s.SetCloseAndDelete();
    clock.sleepFor(3'000'000);
    s.SetCloseAndDelete();
    EXPECT_EQ(s.TimeSinceClose(), 3);

    s.SetConnecting();
    EXPECT_FALSE(s.Timeout(handler.Now() + 5));
    EXPECT_TRUE(s.Timeout(handler.Now() + 6));
    s.SetConnecting(false);
    s.SetCloseAndDelete(false);
    s.Attach(-1);
}

TEST_F(SocketTest, ReportsForMissingStateKeepTheirTexts) {
    TcpSocket s(handler);
    EXPECT_EQ(s.Close(), 0);
    EXPECT_EQ(s.GetClientRemoteAddress(), nullptr);
    EXPECT_EQ(s.GetRemoteAddress(), "");
    EXPECT_EQ(s.Socket::GetPort(), 0);
    const std::vector<CapturingLog::Entry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].user_text, "Socket::Close");
    EXPECT_EQ(entries[0].sys_text, "file descriptor invalid");
    EXPECT_EQ(entries[0].level, LOG_LEVEL_WARNING);
    EXPECT_EQ(entries[1].sys_text, "remote address not yet set");
    EXPECT_EQ(entries[1].level, LOG_LEVEL_ERROR);
    EXPECT_EQ(entries[2].sys_text, "GetPort only implemented for ListenSocket");
}

}  // namespace
