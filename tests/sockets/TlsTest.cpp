#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/Carbon/Clock.h"
#include "sockets/Ipv4Address.h"
#include "sockets/ListenSocket.h"
#include "sockets/SSLInitializer.h"
#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"
#include "tests/sockets/support/TestCertificate.h"

namespace {

TestCertificate* gCertificate = nullptr;

// The accepting side: TLS on every accepted connection, echoing what it reads.
class TlsServerSocket : public TcpSocket {
public:
    explicit TlsServerSocket(ISocketHandler& handler) : TcpSocket(handler) { DisableInputBuffer(); }
    Socket* Create() override { return new TlsServerSocket(Handler()); }
    void Init() override {
        EnableSSL();
        last = this;
    }
    void InitSSLServer() override {
        InitializeContext("beatwick-test", gCertificate->certFile, gCertificate->keyFile, "", TLS_method());
    }
    void OnSSLAccept() override {
        TcpSocket::OnSSLAccept();
        // Without a goodbye in TLS the end of the stream is then an error, not a close.
        if (strictEof && GetSsl()) SSL_clear_options(GetSsl(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    }
    void OnAccept() override { ++accepted; }
    void OnRawData(const char* buf, size_t len) override {
        received += len;
        if (echo) SendBuf(buf, len);
    }
    void OnDisconnect(short info, int) override {
        disconnectInfo = info;
        closeNotify = GetSsl() && (SSL_get_shutdown(GetSsl()) & SSL_RECEIVED_SHUTDOWN);
    }
    void OnDelete() override {
        if (last == this) last = nullptr;
    }

    static inline TlsServerSocket* last = nullptr;
    static inline int accepted = 0;
    static inline int disconnectInfo = -1;
    static inline bool closeNotify = false;
    static inline bool strictEof = false;
    static inline bool echo = true;
    static inline size_t received = 0;
};

class TlsClientSocket : public TcpSocket {
public:
    explicit TlsClientSocket(ISocketHandler& handler) : TcpSocket(handler) {
        DisableInputBuffer();
        EnableSSL();
    }
    void OnConnect() override { ++connects; }
    void OnReconnect() override { ++reconnects; }
    void OnSSLConnectFailed() override { failed = true; }
    void OnRawData(const char* buf, size_t len) override { received.append(buf, len); }
    void OnDelete() override { deleted = true; }
    int connects = 0;
    int reconnects = 0;
    bool failed = false;
    bool deleted = false;
    std::string received;
};

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gCertificate = new TestCertificate;
        // The seed file of the library's TLS start-up goes into the test's own folder.
        setenv("RANDFILE", (gCertificate->Folder() + "/seed").c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete gCertificate;
        gCertificate = nullptr;
    }
    TlsTest() {
        handler.RegStdLog(&log);
        handler.SetClock(clock);
        TlsServerSocket::last = nullptr;
        TlsServerSocket::accepted = 0;
        TlsServerSocket::disconnectInfo = -1;
        TlsServerSocket::closeNotify = false;
        TlsServerSocket::strictEof = false;
        TlsServerSocket::echo = true;
        TlsServerSocket::received = 0;
    }
    port_t Listen() {
        auto* listener = new ListenSocket(handler, std::make_unique<TlsServerSocket>(handler));
        listener->SetDeleteByHandler();
        EXPECT_EQ(listener->Bind("127.0.0.1", 0), 0);
        handler.Add(listener);
        return listener->GetPort();
    }
    void Connect(TlsClientSocket& client, port_t port) {
        Ipv4Address ad("127.0.0.1", port);
        ASSERT_TRUE(client.Open(ad));
        handler.Add(&client);
        ASSERT_TRUE(loopback::Pump(handler, [&] { return client.connects > 0 || client.failed; }));
        ASSERT_EQ(client.connects, 1);
    }
    bool Pump(const std::function<bool()>& done) { return loopback::Pump(handler, done); }

    CapturingLog log;
    VirtualClock clock;
    SocketHandler handler;
};

TEST_F(TlsTest, ClientAndServerEchoOverNonBlockingDescriptors) {
    const port_t port = Listen();
    TlsClientSocket client(handler);
    Connect(client, port);
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::accepted == 1; }));
    EXPECT_EQ(log.Count("SSLNegotiate/SSL_connect", "Connection established"), 1u);
    EXPECT_EQ(log.Count("SSLNegotiate/SSL_accept", "Connection established"), 1u);
    // Handshake steps that wait for more data report nothing.
    EXPECT_EQ(log.Entries().size(), 2u);
    EXPECT_TRUE(fcntl(client.GetSocket(), F_GETFL) & O_NONBLOCK);

    std::string big(200000, 'q');
    client.Send("ping");
    client.Send(big);
    ASSERT_TRUE(Pump([&] { return client.received.size() == big.size() + 4; }));
    EXPECT_EQ(client.received.substr(0, 4), "ping");
    EXPECT_TRUE(client.received.substr(4) == big);
    client.SetCloseAndDelete();
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
}

TEST_F(TlsTest, PlainTextAtATlsServerFailsTheHandshake) {
    const port_t port = Listen();
    loopback::Fd peer = loopback::Connect(port);
    loopback::WriteAll(peer.get(), "GET / HTTP/1.0\r\n\r\n");
    ASSERT_TRUE(Pump([&] { return log.Count("SSLNegotiate/SSL_accept", "Connection failed") == 1; }));
    EXPECT_EQ(TlsServerSocket::accepted, 0);
    ASSERT_TRUE(Pump([&] { return handler.GetCount() == 1; }));  // only the listener is left
}

TEST_F(TlsTest, BytesAWritabilityCheckCouldNotSendStayQueued) {
    const port_t port = Listen();
    TlsClientSocket client(handler);
    Connect(client, port);
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::accepted == 1; }));
    // With no descriptor allowed, poll() fails with EINVAL before it looks at the socket.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    client.Send("kept");
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(log.Count("TryWrite", strerror(EINVAL)), 1u);
    EXPECT_EQ(client.GetOutputLength(), 4u);
    ASSERT_TRUE(Pump([&] { return client.received == "kept"; }));
}

TEST_F(TlsTest, AnEmptySendIsNothing) {
    const port_t port = Listen();
    TlsClientSocket client(handler);
    Connect(client, port);
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::accepted == 1; }));
    log.Clear();
    client.Send("");
    client.Send("after");
    ASSERT_TRUE(Pump([&] { return client.received == "after" || client.CloseAndDelete(); }));
    EXPECT_EQ(client.received, "after");
    EXPECT_TRUE(log.Entries().empty());
}

TEST_F(TlsTest, AFailedHandshakeClosesAtOnceAndSendsNothingQueuedInTheClear) {
    loopback::Fd listener = loopback::Listen();
    TlsClientSocket client(handler);
    Ipv4Address ad("127.0.0.1", loopback::PortOf(listener.get()));
    ASSERT_TRUE(client.Open(ad));
    client.Send("secret");  // queued until the session stands
    handler.Add(&client);
    loopback::Fd peer = loopback::Accept(listener.get());
    loopback::WriteAll(peer.get(), "HTTP/1.0 400 Not TLS\r\n\r\n");
    ASSERT_TRUE(Pump([&] { return client.failed; }));
    ASSERT_TRUE(Pump([&] { return client.deleted; }));  // the clock stands still: no flush wait
    const std::string seen = loopback::ReadSome(peer.get(), 65536, 0);
    EXPECT_EQ(seen.find("secret"), std::string::npos);
}

TEST_F(TlsTest, ClientsShareOneContext) {
    const port_t port = Listen();
    TlsClientSocket a(handler), b(handler);
    Connect(a, port);
    Connect(b, port);
    EXPECT_NE(a.GetSslContext(), nullptr);
    EXPECT_EQ(a.GetSslContext(), b.GetSslContext());
    EXPECT_NE(a.GetSsl(), b.GetSsl());
}

TEST_F(TlsTest, CloseSaysGoodbyeInTlsBeforeTheTcpSideGoes) {
    TlsServerSocket::strictEof = true;
    const port_t port = Listen();
    TlsClientSocket client(handler);
    Connect(client, port);
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::accepted == 1; }));
    client.SetCloseAndDelete();
    ASSERT_TRUE(Pump([&] { return client.deleted && TlsServerSocket::disconnectInfo != -1; }));
    EXPECT_EQ(TlsServerSocket::disconnectInfo, TCP_DISCONNECT_SSL);
    EXPECT_TRUE(TlsServerSocket::closeNotify);
}

TEST_F(TlsTest, CloseSendsAllQueuedOutputFirst) {
    TlsServerSocket::strictEof = true;
    TlsServerSocket::echo = false;
    const port_t port = Listen();
    TlsClientSocket client(handler);
    Connect(client, port);
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::accepted == 1; }));
    const size_t size = 2 * 1024 * 1024;
    client.Send(std::string(size, 'f'));
    EXPECT_GT(client.GetOutputLength(), 0u);
    client.SetCloseAndDelete();
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::disconnectInfo != -1; }));
    EXPECT_EQ(TlsServerSocket::received, size);
    EXPECT_EQ(TlsServerSocket::disconnectInfo, TCP_DISCONNECT_SSL);  // a goodbye, not a cut
    EXPECT_TRUE(TlsServerSocket::closeNotify);
    ASSERT_TRUE(Pump([&] { return client.deleted; }));
    EXPECT_EQ(log.Count("Closing", "Closing socket while data still left to send"), 0u);
}

TEST_F(TlsTest, PeerThatClosesWithoutAGoodbyeHasClosed) {
    const port_t port = Listen();
    TlsClientSocket client(handler);
    Connect(client, port);
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::accepted == 1; }));
    handler.Detach(&client);
    shutdown(client.GetSocket(), SHUT_WR);  // TCP goes, TLS never said goodbye
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::disconnectInfo != -1; }));
    EXPECT_EQ(TlsServerSocket::disconnectInfo, TCP_DISCONNECT_SSL);
}

TEST_F(TlsTest, WritingToAVanishedPeerEndsTheConnectionNotTheProcess) {
    const port_t port = Listen();
    TlsClientSocket client(handler);
    Connect(client, port);
    ASSERT_TRUE(Pump([&] { return TlsServerSocket::last && TlsServerSocket::accepted == 1; }));
    // The client goes without a word: a reset instead of a TLS or TCP close.
    handler.Detach(&client);
    client.SetSoLinger(1, 0);
    close(client.GetSocket());
    client.Attach(-1);

    TlsServerSocket* server = TlsServerSocket::last;
    const std::string chunk(64 * 1024, 'z');
    for (int i = 0; i < 200 && TlsServerSocket::last; ++i) {
        if (!server->CloseAndDelete()) server->Send(chunk);
        handler.Select(0, 2000);
    }
    EXPECT_EQ(TlsServerSocket::last, nullptr);  // closed and deleted by the handler
    EXPECT_NE(TlsServerSocket::disconnectInfo, -1);
}

TEST_F(TlsTest, ReconnectingClientKeepsItsContextAndHandshakesAgain) {
    const port_t port = Listen();
    TlsClientSocket client(handler);
    client.SetReconnect();
    Connect(client, port);
    SSL_CTX* ctx = client.GetSslContext();
    client.SetCloseAndDelete();
    ASSERT_TRUE(Pump([&] { return client.reconnects == 1 || client.failed; }));
    EXPECT_EQ(client.reconnects, 1);
    EXPECT_EQ(client.GetSslContext(), ctx);
    client.SetReconnect(false);
    client.SetCloseAndDelete();
    Pump([&] { return client.deleted; });
}

TEST(TlsPassword, CallbackGivesThePasswordOnlyWhenItFits) {
    SocketHandler handler;
    struct Keyed : TcpSocket {
        explicit Keyed(ISocketHandler& h) : TcpSocket(h) {}
        void SetPassword(const std::string& p) { InitializeContext("", "/nonexistent", p, TLS_method()); }
    } socket(handler);
    socket.SetPassword("secret");
    char buf[16];
    EXPECT_EQ(TcpSocket::SSL_password_cb(buf, 7, 0, static_cast<Socket*>(&socket)), 6);
    EXPECT_STREQ(buf, "secret");
    EXPECT_EQ(TcpSocket::SSL_password_cb(buf, 6, 0, static_cast<Socket*>(&socket)), 0);
    EXPECT_EQ(TcpSocket::SSL_password_cb(buf, 16, 0, nullptr), 0);
    EXPECT_STREQ(buf, "");
}

// The seed file: one already there is read and left as it was; one the start-up makes goes again.
TEST(TlsSeedFile, OnlyASeedFileItCreatedIsRemoved) {
    TestCertificate folder;
    const std::string theirs = folder.Folder() + "/theirs";
    std::ofstream(theirs) << "not ours";
    const char* saved = getenv("RANDFILE");
    const std::string previous = saved ? saved : "";

    setenv("RANDFILE", theirs.c_str(), 1);
    { SSLInitializer init; }
    std::stringstream kept;
    kept << std::ifstream(theirs).rdbuf();
    EXPECT_EQ(kept.str(), "not ours");

    const std::string ours = folder.Folder() + "/ours";
    setenv("RANDFILE", ours.c_str(), 1);
    {
        SSLInitializer init;
        struct stat st {};
        EXPECT_EQ(stat(ours.c_str(), &st), 0);
    }
    struct stat st {};
    EXPECT_EQ(stat(ours.c_str(), &st), -1);

    if (saved)
        setenv("RANDFILE", previous.c_str(), 1);
    else
        unsetenv("RANDFILE");
}

}  // namespace
