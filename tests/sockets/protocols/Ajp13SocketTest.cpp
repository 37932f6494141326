#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/protocols/Ajp13Socket.h"
#include "tests/sockets/protocols/support/AjpTestPeer.h"
#include "tests/sockets/protocols/support/Converse.h"
#include "tests/sockets/support/CapturingLog.h"

namespace {

using Packets = std::vector<std::string>;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

class Ajp13SocketTest : public ::testing::Test {
protected:
    Ajp13SocketTest() {
        auto* listener = new ListenSocket(handler, std::make_unique<ajp::Container>(handler, &log));
        listener->SetDeleteByHandler();
        listener->Bind("127.0.0.1", 0);
        port = listener->GetPort();
        handler.Add(listener);
        log.response.SetHttpStatusCode(200);
        log.response.SetHttpStatusMsg("OK");
    }
    // Sends the bytes on a new connection; returns the packets that came until `count` arrived
    // or the container closed. A count of 0 runs the handler a while and takes what came.
    Packets Exchange(const std::string& bytes, size_t count, bool* closed = nullptr) {
        fd = loopback::Connect(port);
        return More(bytes, count, closed);
    }
    Packets More(const std::string& bytes, size_t count, bool* closed = nullptr) {
        const std::string got = loopback::Converse(
            handler, fd.get(), bytes,
            [&](const std::string& g) { return count && ajp::Packets(g).size() >= count; }, closed,
            count ? 2000 : 50);
        return ajp::Packets(got);
    }

    CapturingLog capture;
    SocketHandler handler{&capture};
    ajp::Log log;
    port_t port{0};
    loopback::Fd fd;
};

TEST_F(Ajp13SocketTest, APostWithoutBodyReachesTheApplicationWithAnEmptyForm) {
    log.response.SetHeader("Content-Type", "text/plain");
    log.response.SetHeader("X-Other", "1");
    log.response.SetCookie("s=1; path=/");
    log.response.Write("hello");
    const Packets got = Exchange(ajp::ForwardRequest(4, "/p", {}), 3);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"POST /p [=]"}));
    ASSERT_EQ(got.size(), 3u);
    // Two headers, the computed content-length and one cookie.
    EXPECT_EQ(got[0], Bytes({4, 0, 200}) + ajp::Payload().string("OK").raw("").Packet().substr(4) +
                          Bytes({0, 4}) + Bytes({0xA0, 0x03}) +
                          ajp::Payload().string("5").Packet().substr(4) + Bytes({0xA0, 0x01}) +
                          ajp::Payload().string("text/plain").Packet().substr(4) +
                          ajp::Payload().string("X-Other").string("1").Packet().substr(4) +
                          Bytes({0xA0, 0x07}) + ajp::Payload().string("s=1; path=/").Packet().substr(4));
    EXPECT_EQ(got[1], Bytes({3, 0, 5}) + "hello" + Bytes({0}));
    EXPECT_EQ(got[1], ajp::SentChunk("hello"));
    EXPECT_EQ(got[2], Bytes({5, 0}));
    EXPECT_EQ(log.completed, 1);
}

TEST_F(Ajp13SocketTest, ABodyIsAskedForChunkByChunkAndWinsOverTheQueryString) {
    log.respond = false;
    const std::string body = "a=" + std::string(2498, 'x');
    Packets got =
        Exchange(ajp::ForwardRequest(
                     4, "/up", {{0xA008, "", "2500"}, {0xA007, "", "application/x-www-form-urlencoded"}},
                     {{5, "q=1"}}) +
                     ajp::BodyChunk(body.substr(0, 1000)),
                 1);
    const std::string ask = Bytes({6, 0x03, 0xE8});
    EXPECT_EQ(got, (Packets{ask}));
    got = More(ajp::BodyChunk(body.substr(1000, 1000)), 1);
    EXPECT_EQ(got, (Packets{ask}));
    EXPECT_TRUE(log.requests.empty());
    got = More(ajp::BodyChunk(body.substr(2000)), 0);
    loopback::Pump(handler, [&] { return !log.requests.empty(); });
    EXPECT_TRUE(got.empty());
    ASSERT_EQ(log.requests.size(), 1u);
    EXPECT_EQ(log.requests[0], "POST /up [a=" + std::string(2498, 'x') + "]");
}

TEST_F(Ajp13SocketTest, ALargeBodyGoesOutIn8100ByteChunks) {
    log.response.Write(std::string(20000, 'b'));
    const Packets got = Exchange(ajp::ForwardRequest(2, "/big", {}), 5);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[1], ajp::SentChunk(std::string(8100, 'b')));
    EXPECT_EQ(got[2], ajp::SentChunk(std::string(8100, 'b')));
    EXPECT_EQ(got[3], ajp::SentChunk(std::string(3800, 'b')));
    EXPECT_EQ(got[3].size(), 4u + 3800);
    EXPECT_EQ(got[4], Bytes({5, 0}));
}

TEST_F(Ajp13SocketTest, CPingGetsCPongAndOtherPingsNoReply) {
    log.respond = false;
    bool closed = true;
    const Packets got = Exchange(
        ajp::Payload().byte(10).Packet() + ajp::Payload().byte(8).Packet() + ajp::Payload().byte(10).Packet(),
        0, &closed);
    EXPECT_EQ(got, (Packets{Bytes({9}), Bytes({9})}));
    EXPECT_FALSE(closed);
}

TEST_F(Ajp13SocketTest, AChunkedBodyIsAskedForUntilAnEmptyPacketInEitherForm) {
    const std::string ask = Bytes({6, 0x03, 0xE8});
    const std::string forward = ajp::ForwardRequest(
        4, "/c", {{0, "Transfer-Encoding", "chunked"}, {0xA007, "", "application/x-www-form-urlencoded"}});
    const struct {
        const char* name;
        std::string end;
    } ends[] = {
        {"zero data length", ajp::Payload().integer(0).Packet()},
        {"no payload", ajp::Payload().Packet()},
    };
    for (const auto& e : ends) {
        log.requests.clear();
        Packets got = Exchange(forward, 1);
        EXPECT_EQ(got, (Packets{ask})) << e.name;
        got = More(ajp::BodyChunk("a=1"), 1);
        EXPECT_EQ(got, (Packets{ask})) << e.name;
        got = More(ajp::BodyChunk("&b=" + std::string(5000, 'y')), 1);
        EXPECT_EQ(got, (Packets{ask})) << e.name;
        EXPECT_TRUE(log.requests.empty()) << e.name;
        got = More(e.end, 2);
        EXPECT_EQ(log.requests,
                  (std::vector<std::string>{"POST /c [a=1] [b=" + std::string(5000, 'y') + "]"}))
            << e.name;
        EXPECT_EQ(got.size(), 2u) << e.name;
    }
}

TEST_F(Ajp13SocketTest, BodyPacketsMayFollowTheForwardRequestAtOnce) {
    log.respond = false;
    const std::string ask = Bytes({6, 0x03, 0xE8});
    // A chunked body sent unasked, then the answer to the ask that crossed it.
    bool closed = true;
    Packets got = Exchange(ajp::ForwardRequest(4, "/c", {{0, "Transfer-Encoding", "chunked"}}) +
                               ajp::BodyChunk("unasked") + ajp::BodyChunk(""),
                           2);
    EXPECT_EQ(got, (Packets{ask, ask}));
    EXPECT_EQ(log.bodies, (std::vector<std::string>{"unasked"}));
    got = More(ajp::BodyChunk(""), 0, &closed);
    EXPECT_FALSE(closed);
    // With Content-Length the first packet always comes unasked.
    got = Exchange(ajp::ForwardRequest(4, "/l", {{0xA008, "", "6"}}) + ajp::BodyChunk("length"), 0);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(log.bodies, (std::vector<std::string>{"unasked", "length"}));
}

TEST_F(Ajp13SocketTest, ABodyPastTheCapIsAnswered413AndClosesTheConnection) {
    log.maxBody = 6000;
    const std::vector<std::string> refusal = ajp::Refusal(413, "Payload Too Large");
    bool closed = false;
    Packets got =
        Exchange(ajp::ForwardRequest(4, "/c", {{0, "Transfer-Encoding", "chunked"}}) +
                     ajp::BodyChunk(std::string(4000, 'a')) + ajp::BodyChunk(std::string(4000, 'a')),
                 5, &closed);
    EXPECT_TRUE(closed);
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(Packets(got.end() - 2, got.end()), refusal);
    got = Exchange(
        ajp::ForwardRequest(4, "/l", {{0xA008, "", "6001"}}) + ajp::BodyChunk(std::string(4000, 'a')), 2,
        &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(got, refusal);
    EXPECT_TRUE(log.requests.empty());
    EXPECT_EQ(capture.Count("Ajp13Socket", "request body of more than 6000 bytes"), 2u);
}

TEST_F(Ajp13SocketTest, ALargePostIsReadWithoutOverflowReports) {
    log.maxBody = 1 << 20;
    const std::string body(800000, 'p');
    std::string bytes = ajp::ForwardRequest(4, "/big", {{0xA008, "", std::to_string(body.size())}});
    for (size_t at = 0; at < body.size(); at += 8000) bytes += ajp::BodyChunk(body.substr(at, 8000));
    fd = loopback::Connect(port);
    bool closed = false;
    loopback::Converse(
        handler, fd.get(), bytes, [&](const std::string&) { return !log.bodies.empty(); }, &closed);
    EXPECT_FALSE(closed);
    ASSERT_EQ(log.bodies.size(), 1u);
    EXPECT_EQ(log.bodies[0].size(), body.size());
    EXPECT_EQ(log.bodies[0], body);
    for (const CapturingLog::Entry& e : capture.Entries()) ADD_FAILURE() << e.user_text << ": " << e.sys_text;
}

TEST_F(Ajp13SocketTest, EachForwardRequestStartsFromNothing) {
    Exchange(ajp::ForwardRequest(2, "/one", {{0xA009, "", "c=1"}, {0, "X-One", "1"}}, {{5, "q=1"}}), 2);
    More(ajp::ForwardRequest(2, "/two", {}), 2);
    EXPECT_EQ(log.requests, (std::vector<std::string>{"GET /one [q=1]", "GET /two [=]"}));
}

TEST_F(Ajp13SocketTest, ASecondResponseWhileTheFirstStreamsIsRefused) {
    const std::string body(4 << 20, 'r');
    log.response.Write(body);
    log.respondTwice = true;
    // A small receive window keeps the first response streaming when the second comes.
    fd = loopback::Fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int window = 8192;
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &window, sizeof(window));
    const sockaddr_in sa = loopback::Address(port);
    ASSERT_EQ(connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)), 0);
    const std::string got = loopback::Converse(
        handler, fd.get(), ajp::ForwardRequest(2, "/", {}),
        [](const std::string& g) {
            return g.size() >= 6 && g.compare(g.size() - 6, 6, "AB\x00\x02\x05\x00", 6) == 0;
        },
        nullptr, 20000);
    const Packets packets = ajp::Packets(got);
    size_t heads = 0;
    std::string received;
    for (const std::string& p : packets) {
        if (p[0] == 4) ++heads;
        if (p[0] == 3) received += p.substr(3, p.size() - 4);
    }
    EXPECT_EQ(heads, 1u);
    EXPECT_EQ(received.size(), body.size());
    EXPECT_EQ(packets.back(), Bytes({5, 0}));
    EXPECT_EQ(log.completed, 1);
}

TEST_F(Ajp13SocketTest, APartialPacketHas30SecondsAndAnIdleConnection120) {
    VirtualClock clock;
    handler.SetClock(clock);
    log.respond = false;
    const auto advance = [&](int seconds) { clock.sleepFor(seconds * 1'000'000LL); };
    // Dribbled: each byte comes well within 30 s of the last, but the packet takes longer.
    bool closed = false;
    const std::string forward = ajp::ForwardRequest(2, "/", {});
    Exchange(forward.substr(0, 1), 0, &closed);
    for (int i = 1; i < 4 && !closed; ++i) {
        advance(10);
        More(forward.substr(i, 1), 0, &closed);
    }
    EXPECT_FALSE(closed);
    advance(5);
    More("", 0, &closed);
    EXPECT_TRUE(closed) << "a packet begun 35 s ago";
    // Idle from the accept, and after a complete packet: open at 100 s, closed past 120 s.
    Exchange("", 0, &closed);
    advance(100);
    More("", 0, &closed);
    EXPECT_FALSE(closed);
    advance(25);
    More("", 0, &closed);
    EXPECT_TRUE(closed) << "nothing sent for 125 s";
    Exchange(forward, 0, &closed);
    EXPECT_EQ(log.requests.size(), 1u);
    advance(100);
    More("", 0, &closed);
    EXPECT_FALSE(closed);
    advance(25);
    More("", 0, &closed);
    EXPECT_TRUE(closed) << "idle for 125 s";
}

TEST_F(Ajp13SocketTest, FaultyPacketsCloseTheConnectionAndReachNoApplication) {
    const std::string good = ajp::ForwardRequest(2, "/", {});
    std::string past = good;
    past[6] = 0x7f;  // the protocol string claims more bytes than the packet has
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"bad packet id", "\x12\x35" + good.substr(2)},
        {"unknown type", ajp::Payload().byte(99).Packet()},
        {"string past its packet", past},
        {"payload longer than the buffer", std::string("\x12\x34\x20\x00", 4) + std::string(8192, 'x')},
        {"unknown header code", ajp::ForwardRequest(2, "/", {{0xA0FF, "", "v"}})},
        {"unknown attribute", ajp::ForwardRequest(2, "/", {}, {{99, "v"}})},
        {"more body than announced",
         ajp::ForwardRequest(4, "/", {{0xA008, "", "2"}}) + ajp::BodyChunk("abc")},
        {"body chunk lying about its length",
         ajp::ForwardRequest(4, "/", {{0xA008, "", "2"}}) + ajp::Payload().integer(9).raw("ab").Packet()},
        {"bad content-length", ajp::ForwardRequest(4, "/", {{0xA008, "", "-5"}})},
        {"truncated forward request", ajp::Payload().byte(2).byte(2).Packet()},
    };
    for (const Case& c : cases) {
        log.requests.clear();
        capture.Clear();
        bool closed = false;
        const Packets got = Exchange(c.bytes, 1, &closed);
        EXPECT_TRUE(closed) << c.name;
        EXPECT_TRUE(log.requests.empty()) << c.name;
        EXPECT_TRUE(got.empty()) << c.name;
        // Reported through the handler's log, not on standard error.
        EXPECT_GE(capture.Count("Ajp13Socket"), 1u) << c.name;
    }
}

TEST_F(Ajp13SocketTest, HeadersThatDoNotFitAPacketAreAnswered500AndReported) {
    log.response.SetHeader("X-Big", std::string(9000, 'h'));
    bool closed = false;
    const Packets got = Exchange(ajp::ForwardRequest(2, "/", {}), 2, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(got, ajp::Refusal(500, "Internal Server Error"));
    EXPECT_EQ(log.failed, (std::vector<std::string>{"response headers do not fit in a packet"}));
    EXPECT_EQ(log.completed, 0);
    EXPECT_EQ(capture.Count("Ajp13Socket::Respond", "response headers do not fit in a packet"), 1u);
}

}  // namespace
