#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "sockets/Ipv4Address.h"
#include "sockets/Ipv6Address.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"
#include "tests/sockets/protocols/support/ExternalClient.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

// Echoes every byte it receives; the listening side makes one per connection.
class EchoSocket : public TcpSocket {
public:
    explicit EchoSocket(ISocketHandler& handler) : TcpSocket(handler) { DisableInputBuffer(); }
    Socket* Create() override { return new EchoSocket(Handler()); }
    void OnRawData(const char* buf, size_t len) override { SendBuf(buf, len); }
};

// A client that records what happens to it, in order.
class ClientSocket : public TcpSocket {
public:
    explicit ClientSocket(ISocketHandler& handler) : TcpSocket(handler) { DisableInputBuffer(); }
    void OnConnect() override { events.push_back("connect"); }
    void OnReconnect() override { events.push_back("reconnect"); }
    void OnConnectFailed() override { events.push_back("failed"); }
    void OnWrite() override {
        if (!Connecting() && GetOutputLength() > 0) events.push_back("write");
        TcpSocket::OnWrite();
    }
    void OnRawData(const char* buf, size_t len) override { received.append(buf, len); }
    void OnDisconnect(short info, int code) override {
        disconnects.push_back(info);
        disconnectCode = code;
    }
    void OnDelete() override { deleted = true; }
    std::vector<std::string> events;
    std::vector<short> disconnects;
    int disconnectCode = -1;
    std::string received;
    bool deleted = false;
};

// A backlog of one, filled: the kernel drops further connection requests, so connects hang.
struct HangingPort {
    loopback::Fd listener = loopback::Listen(0);
    port_t port = loopback::PortOf(listener.get());
    std::vector<loopback::Fd> fillers = [this] {
        std::vector<loopback::Fd> connected;
        for (int i = 0; i < 4; ++i) connected.push_back(loopback::Connect(port, true));
        return connected;
    }();
};

class TcpSocketTest : public ::testing::Test {
protected:
    TcpSocketTest() {
        handler.RegStdLog(&log);
        handler.SetClock(clock);
    }
    // A listening socket of echo sockets on 127.0.0.1; answers its port.
    port_t Listen() {
        auto* listener = new ListenSocket(handler, std::make_unique<EchoSocket>(handler));
        listener->SetDeleteByHandler();
        EXPECT_EQ(listener->Bind("127.0.0.1", 0), 0);
        handler.Add(listener);
        return listener->GetPort();
    }
    bool Open(ClientSocket& client, port_t port) {
        Ipv4Address ad("127.0.0.1", port);
        const bool ok = client.Open(ad);
        handler.Add(&client);
        return ok;
    }
    bool Pump(const std::function<bool()>& done) { return loopback::Pump(handler, done); }
    // Small kernel buffers on both sides, so that megabytes stay queued in the socket.
    static void Narrow(int fd) {
        int size = 32 * 1024;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof(size));
    }

    CapturingLog log;
    VirtualClock clock;
    SocketHandler handler;
};

TEST_F(TcpSocketTest, EchoesThroughAListeningSocket) {
    const port_t port = Listen();
    ASSERT_NE(port, 0);
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, port));
    EXPECT_TRUE(client.events.empty());  // OnConnect comes from the loop, never from Open
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    EXPECT_EQ(client.events, std::vector<std::string>{"connect"});
    client.Send("hello, loop");
    ASSERT_TRUE(Pump([&] { return client.received.size() == 11; }));
    EXPECT_EQ(client.received, "hello, loop");
    EXPECT_EQ(client.GetBytesSent(), 11u);
    EXPECT_EQ(client.GetBytesReceived(), 11u);
    client.SetCloseAndDelete();
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
}

TEST_F(TcpSocketTest, OutputQueuedBeforeTheConnectionIsSentBeforeOnConnect) {
    const port_t port = Listen();
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, port));
    client.Send("early");
    EXPECT_EQ(client.GetOutputLength(), 5u);
    EXPECT_EQ(log.Count("SendBuf", "Attempt to write to a non-connected socket, will be sent on connect"),
              1u);
    ASSERT_TRUE(Pump([&] { return client.received == "early"; }));
    ASSERT_GE(client.events.size(), 2u);
    EXPECT_EQ(client.events[0], "write");
    EXPECT_EQ(client.events[1], "connect");
    client.SetCloseAndDelete();
    Pump([&] { return client.deleted; });
}

TEST_F(TcpSocketTest, SlowReaderGetsAllQueuedOutputThenEndOfFile) {
    loopback::Fd listener = loopback::Listen();
    Narrow(listener.get());
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    Narrow(client.GetSocket());
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_NE(peer.get(), -1);
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));

    std::string data(3 * 1024 * 1024, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 23);
    client.Send(data);
    ASSERT_GT(client.GetOutputLength(), 0u);  // the kernel took only part of it
    client.SetCloseAndDelete();

    // The peer reads a slice between passes until the end of file; the clock stands still, so
    // the flush never expires.
    std::string got;
    char buf[16384];
    ssize_t n = -1;
    for (int i = 0; i < 20000 && n != 0; ++i) {
        handler.Select(0, 1000);
        n = recv(peer.get(), buf, sizeof(buf), MSG_DONTWAIT);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(n, 0);  // the end of file came after all of it
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data);
    EXPECT_EQ(log.Count("Closing", "Sending all data before closing"), 1u);

    // The write side is shut down; the socket waits for the peer to close its own.
    for (int i = 0; i < 20; ++i) handler.Select(0, 1000);
    EXPECT_FALSE(client.deleted);
    peer.reset();
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
    EXPECT_EQ(log.Count("Closing", "Closing socket while data still left to send"), 0u);
    EXPECT_EQ(log.Count("read() after shutdown"), 0u);
}

TEST_F(TcpSocketTest, ReplyReachesAPeerThatIsStillSending) {
    loopback::Fd listener = loopback::Listen();
    Narrow(listener.get());
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    Narrow(client.GetSocket());
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    fcntl(peer.get(), F_SETFL, O_NONBLOCK);

    const std::string reply(300000, 'r');
    client.Send(reply);
    client.SetCloseAndDelete();
    // The peer uploads 4 MB while it reads, and closes once both are done.
    const std::string upload(4 * 1024 * 1024, 'u');
    size_t sent = 0;
    std::string got;
    char buf[16384];
    bool ended = false;
    int error = 0;
    for (int i = 0; i < 100000 && !(ended && sent == upload.size()) && error == 0; ++i) {
        handler.Select(0, 1000);
        if (sent < upload.size()) {
            const ssize_t w = send(peer.get(), upload.data() + sent,
                                   std::min<size_t>(65536, upload.size() - sent), MSG_NOSIGNAL);
            if (w > 0) sent += static_cast<size_t>(w);
            if (w == -1 && errno != EAGAIN) error = errno;
        }
        const ssize_t r = recv(peer.get(), buf, sizeof(buf), 0);
        if (r > 0) got.append(buf, static_cast<size_t>(r));
        if (r == 0) ended = true;
        if (r == -1 && errno != EAGAIN) error = errno;
    }
    EXPECT_EQ(error, 0) << strerror(error);
    EXPECT_TRUE(ended);
    EXPECT_EQ(got.size(), reply.size());
    EXPECT_EQ(sent, upload.size());
    peer.reset();
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
}

TEST_F(TcpSocketTest, AClosingSocketTellsOnceInAFifthOfASecondThatItIsStillSending) {
    loopback::Fd listener = loopback::Listen();
    Narrow(listener.get());
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    Narrow(client.GetSocket());
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    client.Send(std::string(3 * 1024 * 1024, 'x'));  // nobody reads
    client.SetCloseAndDelete();
    for (int i = 0; i < 50; ++i) handler.Select(0, 0);
    EXPECT_EQ(log.Count("Closing", "Sending all data before closing"), 1u);
    clock.sleepFor(199'999);
    handler.Select(0, 0);
    EXPECT_EQ(log.Count("Closing", "Sending all data before closing"), 1u);
    clock.sleepFor(1);
    for (int i = 0; i < 50; ++i) handler.Select(0, 0);
    EXPECT_EQ(log.Count("Closing", "Sending all data before closing"), 2u);
}

TEST_F(TcpSocketTest, FlushGivesUpAfterFiveSecondsWithAWarning) {
    loopback::Fd listener = loopback::Listen();
    Narrow(listener.get());
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    Narrow(client.GetSocket());
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    client.Send(std::string(3 * 1024 * 1024, 'x'));  // nobody reads
    client.SetCloseAndDelete();
    handler.Select(0, 0);
    EXPECT_FALSE(client.deleted);
    clock.sleepFor(5'000'000);
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
    EXPECT_EQ(log.Count("Closing", "Closing socket while data still left to send"), 1u);
}

TEST_F(TcpSocketTest, PeerCloseIsADisconnectWithReasonZero) {
    loopback::Fd listener = loopback::Listen();
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    peer.reset();
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
    EXPECT_EQ(client.disconnects, std::vector<short>{0});
    EXPECT_TRUE(client.Lost());
}

TEST_F(TcpSocketTest, ResetPeerIsOneDisconnect) {
    loopback::Fd listener = loopback::Listen();
    Narrow(listener.get());
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    Narrow(client.GetSocket());
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    client.Send(std::string(3 * 1024 * 1024, 'r'));  // output queued: write interest too
    ASSERT_GT(client.GetOutputLength(), 0u);
    linger reset{1, 0};
    setsockopt(peer.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
    peer.reset();
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
    EXPECT_EQ(client.disconnects, std::vector<short>{TCP_DISCONNECT_ERROR});
    EXPECT_EQ(client.disconnectCode, ECONNRESET);
    EXPECT_EQ(log.Count("send"), 0u);
}

TEST_F(TcpSocketTest, ReconnectAfterAPeerCloseFlushesItsNextClose) {
    loopback::Fd listener = loopback::Listen();
    Narrow(listener.get());
    ClientSocket client(handler);
    client.SetReconnect();
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    loopback::Fd first = loopback::Accept(listener.get());
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    first.reset();
    ASSERT_TRUE(Pump([&] { return client.events.size() == 2; }));
    EXPECT_EQ(client.events.back(), "reconnect");
    EXPECT_FALSE(client.Lost());
    EXPECT_TRUE(client.GetFlushBeforeClose());
    loopback::Fd second = loopback::Accept(listener.get());
    ASSERT_NE(second.get(), -1);
    Narrow(client.GetSocket());

    client.SetReconnect(false);
    const std::string data(1024 * 1024, 'n');
    client.Send(data);
    client.SetCloseAndDelete();
    std::string got;
    char buf[16384];
    ssize_t n = -1;
    for (int i = 0; i < 20000 && n != 0; ++i) {
        handler.Select(0, 1000);
        n = recv(second.get(), buf, sizeof(buf), MSG_DONTWAIT);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(got.size(), data.size());
    second.reset();
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
}

TEST_F(TcpSocketTest, ReadinessWithNothingToReadIsNoError) {
    loopback::Fd listener = loopback::Listen();
    ClientSocket client(handler);
    ASSERT_TRUE(Open(client, loopback::PortOf(listener.get())));
    loopback::Fd peer = loopback::Accept(listener.get());
    ASSERT_TRUE(Pump([&] { return !client.events.empty(); }));
    log.Clear();
    client.OnRead();  // a spurious wake-up: recv gives EAGAIN
    EXPECT_TRUE(log.Entries().empty());
    EXPECT_FALSE(client.CloseAndDelete());
    EXPECT_TRUE(client.disconnects.empty());
}

TEST_F(TcpSocketTest, ConnectTimeoutsRetryThenFail) {
    const HangingPort hanging;
    const port_t port = hanging.port;

    ClientSocket client(handler);
    client.SetConnectionRetry(2);
    ASSERT_TRUE(Open(client, port));
    ASSERT_TRUE(client.Connecting());
    for (int attempt = 0; attempt < 3; ++attempt) {
        for (int i = 0; i < 3; ++i) handler.Select(0, 1000);
        EXPECT_TRUE(client.events.empty()) << "attempt " << attempt;
        clock.sleepFor(6'000'000);
        handler.Select(0, 0);
    }
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
    EXPECT_EQ(log.Count("connect", "connect timeout"), 3u);
    EXPECT_EQ(client.GetConnectionRetries(), 2);
    EXPECT_EQ(client.events, std::vector<std::string>{"failed"});
}

TEST_F(TcpSocketTest, ARetryWhoseConnectFailsAtOnceFailsTheConnection) {
    const HangingPort hanging;
    const port_t port = hanging.port;

    ClientSocket client(handler);
    client.SetConnectionRetry(2);
    ASSERT_TRUE(Open(client, port));
    ASSERT_TRUE(client.Connecting());
    // By the retry the way there is gone: TCP to a multicast address fails in connect() itself.
    Ipv4Address unreachable("224.0.0.1", port);
    client.SetClientRemoteAddress(unreachable);

    clock.sleepFor(6'000'000);
    handler.Select(0, 0);  // the connect times out; the retry's connect fails
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
    EXPECT_EQ(log.Count("connect: failed"), 1u);
    EXPECT_EQ(client.events, std::vector<std::string>{"failed"}) << "the owner hears of it at once";
}

TEST_F(TcpSocketTest, EchoesOverIpv6Loopback) {
    auto* listener = new ListenSocket(handler, std::make_unique<EchoSocket>(handler), true);
    listener->SetDeleteByHandler();
    if (listener->Bind("::1", 0) != 0) {
        delete listener;
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    handler.Add(listener);
    ClientSocket client(handler);
    client.SetIpv6();
    ASSERT_TRUE(client.Open("::1", listener->GetPort()));
    handler.Add(&client);
    client.Send("six");
    ASSERT_TRUE(Pump([&] { return client.received == "six"; }));
    EXPECT_EQ(client.GetRemoteAddress(), "::1");
}

// Answers every connection with 300,000 bytes and closes, whatever the peer is still sending:
// at once when accepted, or on the first bytes it reads.
class ReplySocket : public TcpSocket {
public:
    ReplySocket(ISocketHandler& handler, bool onAccept) : TcpSocket(handler), m_on_accept(onAccept) {
        DisableInputBuffer();
    }
    Socket* Create() override { return new ReplySocket(Handler(), m_on_accept); }
    void OnAccept() override {
        SetSoSndbuf(32 * 1024);  // so that most of the reply waits in the socket's queue
        if (m_on_accept) Reply();
    }
    void OnRawData(const char*, size_t) override {
        if (!CloseAndDelete()) Reply();
    }

private:
    void Reply() {
        Send(std::string(300000, 'r'));
        SetCloseAndDelete();
    }
    bool m_on_accept;
};

TEST(RealPeers, PythonClientStillUploadingGetsTheWholeReply) {
    REQUIRE_PROGRAM(python, "python3");
    for (bool onAccept : {true, false}) {
        CapturingLog log;
        SocketHandler handler(&log);
        auto* listener = new ListenSocket(handler, std::make_unique<ReplySocket>(handler, onAccept));
        listener->SetDeleteByHandler();
        ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
        handler.Add(listener);
        const std::string script =
            "import socket, threading\n"
            "s = socket.socket()\n"
            "s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 32768)\n"
            "s.connect(('127.0.0.1', " +
            std::to_string(listener->GetPort()) +
            "))\n"
            "def upload():\n"
            "    try:\n"
            "        s.sendall(b'u' * (4 * 1024 * 1024))\n"
            "    except OSError as e:\n"
            "        print('upload', type(e).__name__)\n"
            "t = threading.Thread(target=upload)\n"
            "t.start()\n"
            "got, end = 0, 'eof'\n"
            "try:\n"
            "    while True:\n"
            "        b = s.recv(65536)\n"
            "        if not b: break\n"
            "        got += len(b)\n"
            "except OSError as e:\n"
            "    end = type(e).__name__\n"
            "t.join()\n"
            "s.close()\n"
            "print(got, end)\n";
        for (int run = 0; run < 3; ++run) {
            const external::Result r = external::Run(handler, {python, "-c", script});
            EXPECT_EQ(r.status, 0) << r.out;
            EXPECT_EQ(r.out, "300000 eof\n") << (onAccept ? "on accept" : "on data") << ", run " << run;
        }
        EXPECT_TRUE(loopback::Pump(handler, [&] { return handler.GetCount() == 1; }));  // the listener
    }
}

TEST_F(TcpSocketTest, AnAcceptedSocketThatAnswersAndClosesAtOnceFlushesFirst) {
    auto* listener = new ListenSocket(handler, std::make_unique<ReplySocket>(handler, true));
    listener->SetDeleteByHandler();
    ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
    handler.Add(listener);
    loopback::Fd peer(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    Narrow(peer.get());
    sockaddr_in sa = loopback::Address(listener->GetPort());
    ASSERT_EQ(connect(peer.get(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)), 0);
    std::string got;
    char buf[16384];
    ssize_t n = -1;
    for (int i = 0; i < 20000 && n != 0; ++i) {
        handler.Select(0, 1000);
        n = recv(peer.get(), buf, sizeof(buf), MSG_DONTWAIT);
        if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(n, 0);
    EXPECT_EQ(got.size(), 300000u);
    EXPECT_EQ(log.Count("Add", "Trying to add socket with SetCloseAndDelete() true"), 0u);
    peer.reset();
    EXPECT_TRUE(Pump([&] { return handler.GetCount() == 1; }));  // the listener
}

// A handler that turns every connection away.
class RefusingHandler : public SocketHandler {
public:
    using SocketHandler::SocketHandler;
    bool OkToAccept(Socket*) override { return false; }
};

TEST(ListenSocketRefusal, ConnectionsTheHandlerRefusesAreClosed) {
    CapturingLog log;
    RefusingHandler handler(&log);
    auto* listener = new ListenSocket(handler, std::make_unique<EchoSocket>(handler));
    listener->SetDeleteByHandler();
    ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
    handler.Add(listener);
    loopback::Fd peer = loopback::Connect(listener->GetPort());
    ASSERT_TRUE(loopback::Pump(handler, [&] { return log.Count("accept", "Not OK to accept") == 1; }));
    char c;
    EXPECT_TRUE(loopback::WaitFor(peer.get(), POLLIN));
    EXPECT_EQ(recv(peer.get(), &c, 1, 0), 0);  // closed at once
    EXPECT_EQ(handler.GetCount(), 1u);         // only the listener
}

TEST_F(TcpSocketTest, OpenRefusesInvalidAddresses) {
    ClientSocket client(handler);
    Ipv4Address nowhere("no.such.host.invalid", 80);
    EXPECT_FALSE(client.Open(nowhere));
    EXPECT_EQ(log.Count("Open", "Invalid SocketAddress"), 1u);
    EXPECT_TRUE(client.CloseAndDelete());
}

TEST_F(TcpSocketTest, OpenRefusesADescriptorSelectCannotWatch) {
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 1100) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2048);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    loopback::Fd listener = loopback::Listen();
    // Every number below FD_SETSIZE taken, so the socket's descriptor lies above it.
    std::vector<loopback::Fd> fillers;
    for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) != -1;) {
        fillers.emplace_back(fd);
        if (fd >= FD_SETSIZE - 1) break;
    }
    if (fillers.empty() || fillers.back().get() < FD_SETSIZE - 1) GTEST_SKIP() << "too few descriptors";
    ClientSocket client(handler);
    Ipv4Address ad("127.0.0.1", loopback::PortOf(listener.get()));
    const int above = dup(0);
    close(above);
    EXPECT_FALSE(client.Open(ad));
    EXPECT_EQ(log.Count("Open", "Descriptor outside the range of fd_set"), 1u);
    EXPECT_EQ(client.GetSocket(), -1);
    EXPECT_TRUE(client.CloseAndDelete());
    EXPECT_EQ(fcntl(above, F_GETFD), -1);  // and it was closed
}

TEST_F(TcpSocketTest, RefusedConnectFailsWithoutRetries) {
    loopback::Fd closed = loopback::Listen();
    const port_t port = loopback::PortOf(closed.get());
    closed.reset();
    ClientSocket client(handler);
    if (Open(client, port)) {
        ASSERT_TRUE(Pump([&] { return client.deleted; }));
        EXPECT_EQ(client.events, std::vector<std::string>{"failed"});
    } else {
        EXPECT_EQ(log.Count("connect: failed"), 1u);
    }
}

}  // namespace
