#include <gtest/gtest.h>

#include <string>

#include "platform/Carbon/Clock.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/protocols/SmtpdSocket.h"
#include "tests/sockets/protocols/support/Converse.h"
#include "tests/sockets/protocols/support/SmtpTestServer.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

using Events = std::vector<std::string>;

class SmtpdSocketTest : public ::testing::Test {
protected:
    SmtpdSocketTest() {
        handler.SetClock(clock);
        auto* listener = new ListenSocket(handler, std::make_unique<SmtpTestServer>(handler, &smtp));
        listener->SetDeleteByHandler();
        listener->Bind("127.0.0.1", 0);
        port = listener->GetPort();
        handler.Add(listener);
    }
    // Sends the bytes and reads replies until `replies` lines came or the server closed.
    std::string Session(const std::string& bytes, size_t replies, bool* closed = nullptr) {
        fd = loopback::Connect(port);
        return Read(replies, closed, bytes);
    }
    std::string Read(size_t replies, bool* closed = nullptr, const std::string& bytes = "") {
        return loopback::Converse(
            handler, fd.get(), bytes,
            [&](const std::string& got) {
                return size_t(std::count(got.begin(), got.end(), '\n')) >= replies;
            },
            closed);
    }

    VirtualClock clock;
    CapturingLog log;
    SocketHandler handler{&log};
    SmtpLog smtp;
    port_t port{0};
    loopback::Fd fd;
};

TEST_F(SmtpdSocketTest, ASessionDeliversAddressesHeadersAndLines) {
    const std::string got = Session(
        "helo client.example\r\n"
        "MAIL FROM:<Some.One@Mail.Example.ORG>\r\n"
        "RCPT TO: <x@y>\r\n"
        "DATA\r\n"
        "Subject: a\r\n\tb\r\n..hidden: x\r\nFrom: c\r\n\r\n..dot\r\nplain\r\n.\r\n"
        "XYZW arg\r\nQUIT\r\n",
        8);
    EXPECT_EQ(
        got,
        "220 ESMTP; \r\n250 localhost\r\n250 OK\r\n250 OK\r\n354 Enter mail, end with \".\" on a line by "
        "itself\r\n250 OK\r\n502 Not implemented\r\n221 Bye Bye\r\n");
    EXPECT_EQ(smtp.events,
              (Events{"hello client.example", "from some.one mail.example.org org example.org", "to x@y",
                      "header Subject=a\tb", "header .hidden=x", "header From=c", "headers done", "line .dot",
                      "line plain", "done", "unknown XYZW arg", "abort 3"}));
}

TEST_F(SmtpdSocketTest, AddressPartsAreCappedAt64) {
    const std::string name64(64, 'n'), name65(65, 'n'), domain65(65, 'd');
    const std::string got = Session("EHLO x\r\nMAIL FROM:<" + name64 + "@d>\r\nMAIL FROM:<" + name65 +
                                        "@d>\r\nRCPT TO:<a@" + domain65 + ">\r\nNOOP\r\n",
                                    5);
    EXPECT_EQ(
        got,
        "220 ESMTP; \r\n250 localhost\r\n250 OK\r\n500 Name too long.\r\n500 Domain too long.\r\n250 OK\r\n");
    EXPECT_TRUE(smtp.Has("abort 1"));
    EXPECT_TRUE(smtp.Has("abort 2"));
}

TEST_F(SmtpdSocketTest, ACommandBeforeHelloClosesWithoutAReply) {
    bool closed = false;
    const std::string got = Session("MAIL FROM:<a@b>\r\n", 5, &closed);
    EXPECT_EQ(got, "220 ESMTP; \r\n");
    EXPECT_TRUE(closed);
    EXPECT_EQ(smtp.events, (Events{"abort 0"}));
}

TEST_F(SmtpdSocketTest, OnlyCrLfDotCrLfEndsAMessage) {
    const char* variants[] = {"\n.\n", "\r.\r", "\n.\r\n", "\r\n.\n", "\r\n.\r", "\r\n. \r\n", "\r\n.\r\r\n"};
    for (const char* v : variants) {
        smtp.events.clear();
        const std::string got = Session(
            std::string("HELO x\r\nDATA\r\n\r\nbody") + v + "MAIL FROM:<evil@x>\r\n\r\n.\r\nNOOP\r\n", 5);
        EXPECT_EQ(got.substr(got.size() - 16), "250 OK\r\n250 OK\r\n") << got;
        for (const std::string& e : smtp.events) EXPECT_NE(e.rfind("from", 0), 0u) << "variant " << v;
        EXPECT_EQ(std::count(smtp.events.begin(), smtp.events.end(), "done"), 1) << v;
    }
}

TEST_F(SmtpdSocketTest, ADotInTheHeaderPhaseEndsTheMessage) {
    Session("HELO x\r\nDATA\r\nSubject: s\r\n.\r\n", 4);
    EXPECT_EQ(smtp.events, (Events{"hello x", "header Subject=s", "headers done", "done"}));
}

TEST_F(SmtpdSocketTest, OversizedLinesAndMessagesAreRefusedAndTheSessionGoesOn) {
    const std::string text(SmtpdSocket::kMaxTextLine + 1, 't');
    const std::string command(SmtpdSocket::kMaxCommandLine + 1, 'c');
    std::string big = "HELO x\r\nDATA\r\n\r\n";
    for (int i = 0; i < 11 * 1024; ++i) big += std::string(990, 'm') + "\r\n";
    std::string got = Session(big + ".\r\nNOOP\r\n", 5);
    EXPECT_NE(got.find("552 Message too large\r\n250 OK\r\n"), std::string::npos) << got.substr(0, 200);
    got = Session("HELO x\r\nDATA\r\n\r\n" + text + "\r\n.\r\nNOOP " + command + "\r\nNOOP\r\n", 6);
    EXPECT_NE(got.find("500 Line too long.\r\n500 Line too long.\r\n250 OK\r\n"), std::string::npos) << got;
    EXPECT_FALSE(smtp.Has("done"));
}

TEST_F(SmtpdSocketTest, ResetAndTimeOut) {
    std::string got = Session("HELO x\r\nMAIL FROM:<a@b>\r\nRSET\r\n", 4);
    EXPECT_EQ(got.substr(got.size() - 8), "250 OK\r\n");
    EXPECT_TRUE(smtp.Has("reset"));
    clock.sleepFor((SmtpdSocket::kIdleTimeout + 2) * 1'000'000LL);
    bool closed = false;
    got = Read(1, &closed);
    EXPECT_EQ(got, "421 Timeout\r\n");
    EXPECT_TRUE(smtp.Has("abort 4"));
}

TEST_F(SmtpdSocketTest, APeerThatDoesNotReadItsRepliesIsNotReadFromEither) {
    // Small kernel buffers on both sides keep the kernel from soaking up the replies.
    smtp.sendBuffer = 4096;
    fd = loopback::Fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int window = 4096;
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &window, sizeof(window));
    const sockaddr_in sa = loopback::Address(port);
    ASSERT_EQ(connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)), 0);
    const int count = 100000;
    std::string commands = "HELO x\r\n";
    for (int i = 0; i < count; ++i) commands += "NOOP\r\n";
    size_t sent = 0;
    for (int pass = 0; pass < 300; ++pass) {
        const ssize_t n =
            send(fd.get(), commands.data() + sent, commands.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) sent += static_cast<size_t>(n);
        handler.Select(0, 1000);
    }
    // The replies to the rest of the read that crossed the bound (reads are at most 16400 bytes)
    // come on top of it.
    const size_t bound = SmtpdSocket::kMaxQueuedReplies + 16400 / 6 * 8;
    EXPECT_GT(smtp.maxOutput, SmtpdSocket::kMaxQueuedReplies);
    EXPECT_LE(smtp.maxOutput, bound);
    // Once the peer reads, every command is answered.
    const std::string got = Read(count + 2, nullptr, commands.substr(sent));
    EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), count + 2);
    EXPECT_LE(smtp.maxOutput, bound);
}

}  // namespace
