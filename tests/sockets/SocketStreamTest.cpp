#include <gtest/gtest.h>

#include <string>

#include "sockets/Ipv4Address.h"
#include "sockets/SocketHandler.h"
#include "sockets/SocketStream.h"
#include "sockets/TcpSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

class Client : public TcpSocket {
public:
    explicit Client(ISocketHandler& handler) : TcpSocket(handler) {}
    void OnDelete() override { deleted = true; }
    bool deleted = false;
};

}  // namespace

TEST(SocketStream, ReadsAndWritesWhileItsSocketIsUnderTheHandler) {
    CapturingLog log;
    SocketHandler handler(&log);
    loopback::Fd listener = loopback::Listen();
    Client client(handler);
    Ipv4Address address("127.0.0.1", loopback::PortOf(listener.get()));
    ASSERT_TRUE(client.Open(address));
    handler.Add(&client);
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_TRUE(loopback::Pump(handler, [&] { return client.IsConnected(); }));

    SocketStream stream(handler, &client);
    loopback::WriteAll(peer.get(), "hello");
    ASSERT_TRUE(loopback::Pump(handler, [&] { return client.GetInputLength() == 5; }));
    char buffer[8] = {};
    EXPECT_EQ(stream.IStreamRead(buffer, 3), 3u);
    EXPECT_STREQ(buffer, "hel");
    stream.IStreamWrite("abc", 3);
    EXPECT_EQ(loopback::ReadSome(peer.get(), 3), "abc");

    client.SetCloseAndDelete();
    peer.reset();  // a closing socket waits for its peer's end
    ASSERT_TRUE(loopback::Pump(handler, [&] { return client.deleted; }));
    EXPECT_FALSE(handler.Valid(&client));
    EXPECT_EQ(stream.IStreamRead(buffer, sizeof buffer), 0u);
    stream.IStreamWrite("lost", 4);
    EXPECT_EQ(log.Count("SendBuf"), 0u);
}
