#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "sockets/SocketHandler.h"
#include "sockets/StdoutLog.h"
#include "sockets/TcpSocket.h"

namespace {

// 2024-03-05 06:07:08 UTC
constexpr std::time_t kWhen = 1709618828;

class StdoutLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_tz = tz ? tz : "";
        m_had_tz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
        m_out = std::tmpfile();
        ASSERT_NE(m_out, nullptr);
    }
    void TearDown() override {
        std::fclose(m_out);
        if (m_had_tz) {
            setenv("TZ", m_tz.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

    // Everything printed so far.
    std::string Printed() {
        std::fflush(m_out);
        std::rewind(m_out);
        std::string text;
        for (int c; (c = std::fgetc(m_out)) != EOF;) text += static_cast<char>(c);
        return text;
    }

    FILE* m_out{nullptr};
    std::string m_tz;
    bool m_had_tz{false};
};

}  // namespace

TEST_F(StdoutLogTest, OneLinePerReportWithTheLevelsName) {
    const struct {
        int level;
        const char* line;
    } cases[] = {
        {0, "2024-03-05 06:07:08 :: select: 4 Interrupted system call (Warning)\n"},
        {1, "2024-03-05 06:07:08 :: select: 4 Interrupted system call (Error)\n"},
        {2, "2024-03-05 06:07:08 :: select: 4 Interrupted system call (Fatal)\n"},
        {3, "2024-03-05 06:07:08 :: select: 4 Interrupted system call (Info)\n"},
        {7, "2024-03-05 06:07:08 :: select: 4 Interrupted system call ()\n"},
        {-1, "2024-03-05 06:07:08 :: select: 4 Interrupted system call ()\n"},
    };
    StdoutLog log(m_out, [] { return kWhen; });
    std::string expected;
    for (const auto& c : cases) {
        log.error(nullptr, nullptr, "select", 4, "Interrupted system call", static_cast<loglevel_t>(c.level));
        expected += c.line;
    }
    EXPECT_EQ(Printed(), expected);
}

TEST_F(StdoutLogTest, ReportOfASocketNamesItsDescriptor) {
    SocketHandler handler;
    TcpSocket socket(handler);
    StdoutLog log(m_out, [] { return kWhen; });
    log.error(&handler, &socket, "connect", 111, "Connection refused", LOG_LEVEL_ERROR);
    EXPECT_EQ(Printed(), "2024-03-05 06:07:08 :: fd " + std::to_string(socket.GetSocket()) +
                             " :: connect: 111 Connection refused (Error)\n");
}
