#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "sockets/Ipv4Address.h"
#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

class Socks4Client : public TcpSocket {
public:
    explicit Socks4Client(ISocketHandler& handler) : TcpSocket(handler) { DisableInputBuffer(); }
    void OnConnect() override { ++connects; }
    void OnConnectFailed() override { ++failures; }
    void OnLine(const std::string& line) override { lines.push_back(line); }
    void OnRawData(const char* buf, size_t len) override { raw.append(buf, len); }
    int connects = 0;
    int failures = 0;
    std::vector<std::string> lines;
    std::string raw;
};

std::string Reply(unsigned char code) {
    return std::string{0, static_cast<char>(code), 0, 0, 0, 0, 0, 0};
}

class Socks4Test : public ::testing::Test {
protected:
    Socks4Test() : proxy(loopback::Listen()), destination(loopback::Listen()) {
        handler.RegStdLog(&log);
        handler.SetClock(clock);
        handler.SetSocks4Host("127.0.0.1");
        handler.SetSocks4Port(loopback::PortOf(proxy.get()));
    }
    // Opens the client towards the destination, takes the connection at the proxy and reads the
    // request from it.
    loopback::Fd Open(Socks4Client& client, std::string& request, size_t requestSize) {
        Ipv4Address ad("127.0.0.1", loopback::PortOf(destination.get()));
        EXPECT_TRUE(client.Open(ad));
        handler.Add(&client);
        loopback::Fd peer = loopback::Accept(proxy.get());
        EXPECT_TRUE(loopback::Pump(handler, [&] {
            request += loopback::ReadSome(peer.get(), requestSize - request.size(), 0);
            return request.size() == requestSize;
        }));
        return peer;
    }
    bool Pump(const std::function<bool()>& done) { return loopback::Pump(handler, done); }

    CapturingLog log;
    VirtualClock clock;
    SocketHandler handler;
    loopback::Fd proxy;
    loopback::Fd destination;
};

TEST_F(Socks4Test, RequestCarriesDestinationAndUserIdAndTheReplyNeverReachesTheData) {
    handler.SetSocks4Userid("alice");
    Socks4Client client(handler);
    client.SetLineProtocol();
    std::string request;
    loopback::Fd peer = Open(client, request, 14);
    const uint16_t port = htons(loopback::PortOf(destination.get()));
    const std::string expected = std::string{4, 1} + std::string(reinterpret_cast<const char*>(&port), 2) +
                                 std::string{127, 0, 0, 1} + "alice" + std::string(1, '\0');
    EXPECT_EQ(request, expected);
    EXPECT_EQ(log.Count("Open", "Connecting to socks4 server @ 127.0.0.1:" +
                                    std::to_string(loopback::PortOf(proxy.get()))),
              1u);

    loopback::WriteAll(peer.get(), Reply(90) + "hello\r\nworld\r\n");
    ASSERT_TRUE(Pump([&] { return client.lines.size() == 2; }));
    EXPECT_EQ(client.lines, (std::vector<std::string>{"hello", "world"}));
    EXPECT_EQ(client.connects, 1);
    EXPECT_EQ(log.Count("OnSocks4Read", "Connection established"), 1u);
}

TEST_F(Socks4Test, OutputQueuedBeforeTheConnectFollowsTheGrant) {
    Socks4Client client(handler);
    Ipv4Address ad("127.0.0.1", loopback::PortOf(destination.get()));
    ASSERT_TRUE(client.Open(ad));
    client.Send("early");
    handler.Add(&client);
    loopback::Fd peer = loopback::Accept(proxy.get());
    std::string request;
    ASSERT_TRUE(Pump([&] {
        request += loopback::ReadSome(peer.get(), 64, 0);
        return request.size() >= 9;
    }));
    for (int i = 0; i < 20; ++i) handler.Select(0, 1000);
    request += loopback::ReadSome(peer.get(), 64, 0);
    EXPECT_EQ(request.size(), 9u);  // the request alone: nothing for the destination yet
    client.Send("later");

    loopback::WriteAll(peer.get(), Reply(90));
    std::string data;
    ASSERT_TRUE(Pump([&] {
        data += loopback::ReadSome(peer.get(), 64, 0);
        return data.size() >= 10;
    }));
    EXPECT_EQ(data, "earlylater");
    EXPECT_EQ(client.connects, 1);
}

TEST_F(Socks4Test, ReplySplitAcrossReadsIsTakenWhole) {
    Socks4Client client(handler);
    std::string request;
    loopback::Fd peer = Open(client, request, 9);
    const std::string reply = Reply(90);
    loopback::WriteAll(peer.get(), reply.substr(0, 3));
    for (int i = 0; i < 20; ++i) handler.Select(0, 1000);
    EXPECT_EQ(client.connects, 0);
    loopback::WriteAll(peer.get(), reply.substr(3) + "data");
    ASSERT_TRUE(Pump([&] { return client.raw == "data"; }));
    EXPECT_EQ(client.connects, 1);
}

TEST_F(Socks4Test, RefusalsAndUnknownAnswersEndTheConnection) {
    struct Case {
        unsigned char code;
        const char* text;
        int failures;
    };
    for (const Case& c : {Case{91, "socks4 server reports connect failed", 1},
                          Case{93, "socks4 server reports connect failed", 1},
                          Case{42, "socks4 server unrecognized response", 0}}) {
        log.Clear();
        Socks4Client client(handler);
        std::string request;
        loopback::Fd peer = Open(client, request, 9);
        loopback::WriteAll(peer.get(), Reply(c.code) + "junk");
        ASSERT_TRUE(Pump([&] { return client.CloseAndDelete(); })) << int(c.code);
        EXPECT_EQ(log.Count("OnSocks4Read", c.text), 1u) << int(c.code);
        EXPECT_EQ(client.failures, c.failures) << int(c.code);
        EXPECT_EQ(client.connects, 0) << int(c.code);
        EXPECT_EQ(client.raw, "") << int(c.code);
        // Closed at once: with no connection to the destination there is nothing to flush.
        EXPECT_TRUE(Pump([&] { return !handler.Valid(&client); })) << int(c.code);
    }
}

TEST_F(Socks4Test, UnreachableServerWithTryDirectConnectsToTheDestination) {
    proxy.reset();  // nothing listens on the proxy's port any more
    handler.SetSocks4TryDirect(true);
    Socks4Client client(handler);
    Ipv4Address ad("127.0.0.1", loopback::PortOf(destination.get()));
    ASSERT_TRUE(client.Open(ad));
    handler.Add(&client);
    ASSERT_TRUE(Pump([&] { return client.connects == 1 || client.failures; }));
    EXPECT_EQ(client.connects, 1);
    loopback::Fd direct = loopback::Accept(destination.get());
    EXPECT_NE(direct.get(), -1);
    EXPECT_FALSE(client.Socks4());
}

TEST_F(Socks4Test, UserIdTooLongForTheRequestFails) {
    handler.SetSocks4Userid(std::string(992, 'u'));
    Socks4Client client(handler);
    Ipv4Address ad("127.0.0.1", loopback::PortOf(destination.get()));
    ASSERT_TRUE(client.Open(ad));
    handler.Add(&client);
    loopback::Fd peer = loopback::Accept(proxy.get());
    ASSERT_TRUE(Pump([&] { return client.failures == 1; }));
    EXPECT_EQ(log.Count("OnSocks4Connect", "socks4 userid too long"), 1u);
    EXPECT_EQ(loopback::ReadSome(peer.get(), 2000, 0), "");
}

}  // namespace
