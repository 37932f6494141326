#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>
#include <vector>

#include "sockets/Exception.h"
#include "sockets/Ipv4Address.h"
#include "sockets/SocketHandler.h"
#include "sockets/UdpSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

class Receiver : public UdpSocket {
public:
    Receiver(ISocketHandler& handler, int retries) : UdpSocket(handler, 2048, false, retries) {}
    void OnRawData(const char* buf, size_t len, struct sockaddr* from, socklen_t) override {
        datagrams.emplace_back(buf, len);
        fromPort = ntohs(reinterpret_cast<sockaddr_in*>(from)->sin_port);
    }
    void OnRawData(const char* buf, size_t len, struct sockaddr*, socklen_t, struct timeval* ts) override {
        datagrams.emplace_back(buf, len);
        stamp = *ts;
    }
    std::vector<std::string> datagrams;
    uint16_t fromPort = 0;
    timeval stamp{};
};

loopback::Fd BoundUdp(uint16_t port) {
    loopback::Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa = loopback::Address(port);
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0) fd.reset();
    return fd;
}

void SendDatagram(uint16_t port, const std::string& text) {
    loopback::Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa = loopback::Address(port);
    sendto(fd.get(), text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
}

class UdpSocketTest : public ::testing::Test {
protected:
    UdpSocketTest() { handler.RegStdLog(&log); }
    CapturingLog log;
    SocketHandler handler;
};

TEST_F(UdpSocketTest, BindTriesFollowingPortsAndThrowsWhenTheRangeIsBusy) {
    // Two neighbouring busy ports p and p + 1.
    loopback::Fd first, second;
    uint16_t p = 0;
    for (int tries = 0; tries < 20 && second.get() == -1; ++tries) {
        first = BoundUdp(0);
        p = loopback::PortOf(first.get());
        if (p < 65000) second = BoundUdp(p + 1);
    }
    ASSERT_NE(second.get(), -1);

    UdpSocket busy(handler, 2048, false, 0);
    port_t port = p;
    try {
        busy.Bind("127.0.0.1", port, 0);
        FAIL() << "bound a busy port";
    } catch (const Exception& e) {
        EXPECT_EQ(e.ToString(), "bind() failed for UdpSocket, port:range: " + std::to_string(p) + ":0");
    }
    EXPECT_EQ(log.Count("bind"), 1u);
    EXPECT_TRUE(busy.CloseAndDelete());

    UdpSocket ranged(handler, 2048, false, 0);
    ASSERT_EQ(ranged.Bind("127.0.0.1", port, 2), 0);
    EXPECT_EQ(port, p);  // read, not updated
    EXPECT_EQ(ranged.GetPort(), p + 2);
    EXPECT_TRUE(ranged.IsBound());
}

TEST_F(UdpSocketTest, BindRangeEndsAtTheLastPort) {
    loopback::Fd last = BoundUdp(65535);  // busy, whether by this one or another
    UdpSocket ranged(handler, 2048, false, 0);
    port_t port = 65535;
    try {
        ranged.Bind("127.0.0.1", port, 2);
        FAIL() << "bound port " << ranged.GetPort();
    } catch (const Exception& e) {
        EXPECT_EQ(e.ToString(), "bind() failed for UdpSocket, port:range: 65535:2");
    }
    EXPECT_FALSE(ranged.IsBound());
}

TEST_F(UdpSocketTest, RetriesBoundTheDatagramsOneReadinessTakes) {
    for (int retries : {0, 3}) {
        Receiver receiver(handler, retries);
        port_t port = 0;
        ASSERT_EQ(receiver.Bind("127.0.0.1", port, 0), 0);
        for (int i = 0; i < 6; ++i) SendDatagram(receiver.GetPort(), "d" + std::to_string(i));
        ASSERT_TRUE(loopback::WaitFor(receiver.GetSocket(), POLLIN));
        receiver.OnRead();
        EXPECT_EQ(receiver.datagrams.size(), static_cast<size_t>(retries + 1)) << "retries " << retries;
        EXPECT_EQ(receiver.datagrams[0], "d0");
    }
}

TEST_F(UdpSocketTest, DatagramsReachTheLoopWithTheirSender) {
    auto* receiver = new Receiver(handler, 0);
    receiver->SetDeleteByHandler();
    port_t port = 0;
    ASSERT_EQ(receiver->Bind("127.0.0.1", port, 0), 0);
    handler.Add(receiver);

    UdpSocket sender(handler, 2048, false, 0);
    EXPECT_EQ(sender.GetLastSizeWritten(), -1);
    port_t senderPort = 0;
    ASSERT_EQ(sender.Bind("127.0.0.1", senderPort, 0), 0);
    sender.SendTo("127.0.0.1", receiver->GetPort(), "over the loop");
    EXPECT_EQ(sender.GetLastSizeWritten(), 13);
    ASSERT_TRUE(loopback::Pump(handler, [&] { return !receiver->datagrams.empty(); }));
    EXPECT_EQ(receiver->datagrams[0], "over the loop");
    EXPECT_EQ(receiver->fromPort, sender.GetPort());
}

TEST_F(UdpSocketTest, TimeStampedReadsCarryTheKernelStamp) {
    Receiver receiver(handler, 0);
    port_t port = 0;
    ASSERT_EQ(receiver.Bind("127.0.0.1", port, 0), 0);
    ASSERT_TRUE(receiver.SetSoTimestamp(true));
    receiver.SetTimestamp(true);
    SendDatagram(receiver.GetPort(), "stamped");
    ASSERT_TRUE(loopback::WaitFor(receiver.GetSocket(), POLLIN));
    receiver.OnRead();
    ASSERT_EQ(receiver.datagrams, std::vector<std::string>{"stamped"});
    EXPECT_GT(receiver.stamp.tv_sec, 0);
}

TEST_F(UdpSocketTest, MisuseIsReported) {
    UdpSocket socket(handler, 2048, false, 0);
    socket.Send("nowhere");
    EXPECT_EQ(log.Count("SendBuf", "not connected"), 1u);
    EXPECT_EQ(socket.GetLastSizeWritten(), -1);
    EXPECT_EQ(socket.GetMulticastHops(), -1);
    EXPECT_EQ(log.Count("GetMulticastHops", "Ipv6 only"), 1u);
    EXPECT_FALSE(socket.Open("no.such.host.invalid", 9));
}

}  // namespace
