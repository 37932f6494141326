#include <gtest/gtest.h>

#include <string>
#include <vector>

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
            handler, fd.get(), bytes, [&](const std::string& g) { return count && ajp::Packets(g).size() >= count; },
            closed, count ? 2000 : 50);
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
    EXPECT_EQ(got[1], Bytes({3, 0, 5}) + "hello");
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
    EXPECT_EQ(got[1].size(), 3u + 8100);
    EXPECT_EQ(got[1].substr(0, 3), Bytes({3, 8100 >> 8, 8100 & 0xff}));
    EXPECT_EQ(got[2].size(), 3u + 8100);
    EXPECT_EQ(got[3].size(), 3u + 3800);
    EXPECT_EQ(got[4], Bytes({5, 0}));
}

TEST_F(Ajp13SocketTest, PingsGetNoReplyAndTheConnectionStays) {
    log.respond = false;
    bool closed = true;
    const Packets got =
        Exchange(ajp::Payload().byte(10).Packet() + ajp::Payload().byte(8).Packet(), 0, &closed);
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(closed);
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
        bool closed = false;
        const Packets got = Exchange(c.bytes, 1, &closed);
        EXPECT_TRUE(closed) << c.name;
        EXPECT_TRUE(log.requests.empty()) << c.name;
        EXPECT_TRUE(got.empty()) << c.name;
    }
}

TEST_F(Ajp13SocketTest, HeadersThatDoNotFitAPacketCloseTheConnection) {
    log.response.SetHeader("X-Big", std::string(9000, 'h'));
    bool closed = false;
    const Packets got = Exchange(ajp::ForwardRequest(2, "/", {}), 1, &closed);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(got.empty());
}

}  // namespace
