#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "sockets/Base64.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/protocols/HttpDebugSocket.h"
#include "sockets/protocols/HttpdSocket.h"
#include "tests/sockets/protocols/support/Converse.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

// Answers every page with its CGI variables and form entries.
class EnvPage : public HttpdSocket {
public:
    EnvPage(ISocketHandler& handler, std::vector<std::string>* pages)
        : HttpdSocket(handler), m_pages(pages) {}
    Socket* Create() override { return new EnvPage(Handler(), m_pages); }

protected:
    void OnPageRequest() override {
        std::string body;
        for (const auto& [name, value] : Environment()) body += name + "=" + value + "\n";
        std::string n, v;
        for (bool ok = GetForm()->getfirst(n, v); ok; ok = GetForm()->getnext(n, v))
            body += "form " + n + "=" + v + "\n";
        m_pages->push_back(GetMethod() + " " + GetUri());
        SetStatus("200");
        SetStatusText("OK");
        AddResponseHeader("Content-Length", std::to_string(body.size()));
        SendResponse();
        Send(body);
    }

private:
    std::vector<std::string>* m_pages;
};

// Counts the writes of each answer and the largest output queue left after one.
struct WriteLog {
    int writes = 0;
    std::vector<int> writesPerAnswer;
    size_t maxOutput = 0;
    int answers = 0;
};

class WriteCounter : public HttpdSocket {
public:
    WriteCounter(ISocketHandler& handler, WriteLog* log) : HttpdSocket(handler), m_log(log) {}
    Socket* Create() override { return new WriteCounter(Handler(), m_log); }
    // Every write, Send's too, ends here.
    void SendBuf(const char* buf, size_t len, int flags = 0) override {
        ++m_log->writes;
        HttpdSocket::SendBuf(buf, len, flags);
    }

protected:
    // "/page": head, then its body; "/pieces": head, then the body in two sends; "/empty": a head
    // alone; any other page answers nothing in this pass.
    void OnPageRequest() override {
        const std::string uri = GetUri();
        if (uri != "/page" && uri != "/pieces" && uri != "/empty") return;
        SetStatus("200");
        SetStatusText("OK");
        AddResponseHeader("Content-Length", uri == "/empty" ? "0" : "4");
        SendResponse();
        if (uri == "/page") Send("body");
        if (uri == "/pieces") {
            Send("bo");
            Send("dy");
        }
    }
    void OnDataComplete() override {
        m_log->writes = 0;
        HttpdSocket::OnDataComplete();
        ++m_log->answers;
        m_log->writesPerAnswer.push_back(m_log->writes);
        m_log->maxOutput = std::max(m_log->maxOutput, GetOutputLength());
    }

private:
    WriteLog* m_log;
};

template <class Server>
class ServerFixture {
public:
    template <class... Args>
    explicit ServerFixture(Args&&... args) {
        auto listener = std::make_unique<ListenSocket>(handler, std::make_unique<Server>(handler, args...));
        listener->Bind("127.0.0.1", 0);
        port = listener->GetPort();
        listener->SetDeleteByHandler();
        handler.Add(listener.release());
    }
    // The bytes that come back until the server closes, and whether it did.
    std::string Exchange(const std::string& bytes, bool& closed) {
        loopback::Fd fd = loopback::Connect(port);
        loopback::WriteAll(fd.get(), bytes);
        std::string got;
        closed = false;
        loopback::Pump(
            handler,
            [&] {
                char buf[65536];
                const ssize_t n = recv(fd.get(), buf, sizeof(buf), MSG_DONTWAIT);
                if (n > 0) got.append(buf, static_cast<size_t>(n));
                if (n == 0) closed = true;
                return closed;
            },
            100);
        return got;
    }
    CapturingLog log;
    SocketHandler handler{&log};
    port_t port{0};
};

TEST(HttpdSocket, AnswersPagesWithTheirOwnVariablesAndLeavesTheProcessEnvironmentAlone) {
    std::vector<std::string> pages;
    ServerFixture<EnvPage> server(&pages);
    unsetenv("QUERY_STRING");
    bool closed = false;
    std::string got = server.Exchange(
        "GET /p?a=1 HTTP/1.1\r\nCookie: c=2\r\n\r\n"
        "POST /q HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nTransfer-Encoding: "
        "chunked\r\n\r\n"
        "3\r\nb=3\r\n0\r\n\r\n"
        "POST /empty HTTP/1.1\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
        closed);
    EXPECT_EQ(pages, (std::vector<std::string>{"GET /p", "POST /q", "POST /empty"}));
    EXPECT_NE(got.find("QUERY_STRING=a=1\nREQUEST_METHOD=GET\n"), std::string::npos) << got;
    EXPECT_NE(got.find("HTTP_COOKIE=c=2\n"), std::string::npos);
    EXPECT_NE(got.find("form b=3\n"), std::string::npos);
    EXPECT_EQ(getenv("QUERY_STRING"), nullptr);
    EXPECT_TRUE(closed);
}

TEST(HttpdSocket, BodiesOfAnyMethodAreReadAsBodiesAndOtherMethodsGet405AndClose) {
    std::vector<std::string> pages;
    ServerFixture<EnvPage> server(&pages);
    const std::string smuggled = "GET /smuggled HTTP/1.1\r\n\r\n";
    bool closed = false;
    std::string got =
        server.Exchange("GET /a HTTP/1.1\r\nContent-Length: " + std::to_string(smuggled.size()) +
                            "\r\nConnection: close\r\n\r\n" + smuggled,
                        closed);
    EXPECT_EQ(pages, (std::vector<std::string>{"GET /a"}));
    pages.clear();
    got = server.Exchange("PUT /x HTTP/1.1\r\nContent-Length: " + std::to_string(smuggled.size()) +
                              "\r\n\r\n" + smuggled + "GET /after HTTP/1.1\r\n\r\n",
                          closed);
    EXPECT_EQ(got.rfind("HTTP/1.1 405 Method not allowed\r\n", 0), 0u) << got;
    EXPECT_NE(got.find("Connection: close\r\n"), std::string::npos);
    EXPECT_TRUE(pages.empty());
    EXPECT_TRUE(closed);
}

TEST(HttpdSocket, ServesTheImageAndNotModifiedForItsStartDate) {
    std::vector<std::string> pages;
    ServerFixture<EnvPage> server(&pages);
    bool closed = false;
    std::string got = server.Exchange("GET /image HTTP/1.0\r\n\r\n", closed);
    std::string png;
    Base64::decode(Utility::Logo, png);
    EXPECT_EQ(got.substr(got.find("\r\n\r\n") + 4), png);
    const size_t at = got.find("Last-modified: ");
    ASSERT_NE(at, std::string::npos);
    const std::string start = got.substr(at + 15, got.find("\r\n", at) - at - 15);
    got = server.Exchange("GET /image HTTP/1.0\r\nIf-Modified-Since: " + start + "\r\n\r\n", closed);
    EXPECT_EQ(got.rfind("HTTP/1.0 304 Not Modified\r\n", 0), 0u) << got;
}

TEST(HttpdSocket, TheImageGoesOutInOneWrite) {
    WriteLog writes;
    ServerFixture<WriteCounter> server(&writes);
    bool closed = false;
    server.Exchange("GET /image HTTP/1.1\r\n\r\nGET /image HTTP/1.1\r\nConnection: close\r\n\r\n", closed);
    EXPECT_EQ(writes.writesPerAnswer, (std::vector<int>{1, 1}));
}

TEST(HttpdSocket, APageHeadLeavesInOneWriteWithTheFirstBytesOfItsBody) {
    // A second small write on a keep-alive connection waits for the peer's delayed acknowledgement.
    WriteLog writes;
    ServerFixture<WriteCounter> server(&writes);
    bool closed = false;
    const std::string got = server.Exchange(
        "GET /page HTTP/1.1\r\n\r\nGET /empty HTTP/1.1\r\n\r\nGET /pieces HTTP/1.1\r\n\r\n"
        "GET /image HTTP/1.1\r\nConnection: close\r\n\r\n",
        closed);
    EXPECT_EQ(writes.writesPerAnswer, (std::vector<int>{1, 1, 2, 1}));
    // Every head still goes out, once, before its body (dates aside).
    const std::string undated = std::regex_replace(got, std::regex("Date: [^\r]*\r\n"), "");
    const std::string page = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody";
    EXPECT_EQ(undated.rfind(
                  page + "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n" + page + "HTTP/1.1 200 OK\r\n", 0),
              0u)
        << undated;
    EXPECT_TRUE(closed);
}

TEST(HttpdSocket, APeerThatPipelinesAndNeverReadsIsNotReadFromEither) {
    WriteLog writes;
    ServerFixture<WriteCounter> server(&writes);
    loopback::Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // A small receive window keeps the kernel from soaking up the answers on the peer's behalf.
    const int window = 4096;
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &window, sizeof(window));
    const sockaddr_in sa = loopback::Address(server.port);
    ASSERT_EQ(connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)), 0);
    std::string requests;
    const int count = 20000;
    for (int i = 0; i < count; ++i) requests += "GET /image HTTP/1.1\r\n\r\n";
    size_t sent = 0;
    for (int pass = 0; pass < 500; ++pass) {
        const ssize_t n =
            send(fd.get(), requests.data() + sent, requests.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) sent += static_cast<size_t>(n);
        server.handler.Select(0, 1000);
    }
    EXPECT_LT(writes.answers, count);
    EXPECT_LE(writes.maxOutput, HttpdSocket::kMaxQueuedOutput + 1024);
    // Once the peer reads, every request is answered.
    const std::string got = loopback::Converse(
        server.handler, fd.get(), requests.substr(sent),
        [&](const std::string&) { return writes.answers == count; }, nullptr, 20000);
    EXPECT_EQ(writes.answers, count);
    EXPECT_LE(writes.maxOutput, HttpdSocket::kMaxQueuedOutput + 1024);
}

TEST(HttpdSocket, AHalfSentRequestGets408) {
    VirtualClock clock;
    WriteLog writes;
    ServerFixture<WriteCounter> server(&writes);
    server.handler.SetClock(clock);
    loopback::Fd fd = loopback::Connect(server.port);
    loopback::Converse(
        server.handler, fd.get(), "GET / HTTP/1.1\r\nHost: x\r\n", [](const std::string&) { return false; },
        nullptr, 50);
    clock.sleepFor((HTTPSocket::kHeaderTimeout + 2) * 1'000'000LL);
    bool closed = false;
    const std::string got = loopback::Converse(
        server.handler, fd.get(), "", [](const std::string&) { return false; }, &closed);
    EXPECT_EQ(got.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << got;
    EXPECT_TRUE(closed);
}

TEST(HttpdSocket, HttpDatesAreWrittenInUtc) {
    const char* old = getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "XST-2", 1);
    tzset();
    SocketHandler handler;
    struct Page : HttpdSocket {
        using HttpdSocket::HttpdSocket;
        void OnPageRequest() override {}
    } page(handler);
    EXPECT_EQ(page.datetime2httpdate("2026-12-08 10:05:11"), "Tue, 08 Dec 2026 08:05:11 GMT");
    for (const char* bad : {"2026-12-08 10:05", "2026-12-08T10:05:1x", ""})
        EXPECT_EQ(page.datetime2httpdate(bad), "") << bad;
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(HttpDebugSocket, EchoesTheRequestEscapedAndCloses) {
    ServerFixture<HttpDebugSocket> server;
    bool closed = false;
    std::string got =
        server.Exchange("GET /<script>alert(1)</script> HTTP/1.1\r\nX: <b a=\"1\" c='2'>\r\n\r\n", closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(got.find("<script>"), std::string::npos) << got;
    EXPECT_NE(got.find("GET /&lt;script&gt;alert(1)&lt;/script&gt; HTTP/1.1\n"), std::string::npos) << got;
    EXPECT_NE(got.find("X: &lt;b a=&quot;1&quot; c=&#39;2&#39;&gt;\n</pre><hr></body></html>"),
              std::string::npos)
        << got;
    got = server.Exchange("POST / HTTP/1.1\r\nContent-Length: 4\r\n\r\na<b>", closed);
    EXPECT_NE(got.find("<h3>Request Body</h3><pre style='background: #e0e0e0'>a&lt;b&gt;</pre>"),
              std::string::npos)
        << got;
    EXPECT_TRUE(closed);
}

TEST(HttpDebugSocket, TheEchoIsCapped) {
    ServerFixture<HttpDebugSocket> server;
    loopback::Fd fd = loopback::Connect(server.port);
    const std::string body(2 * HttpDebugSocket::kMaxEcho, 'e');
    bool closed = false;
    const std::string got = loopback::Converse(
        server.handler, fd.get(),
        "POST / HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body,
        [](const std::string&) { return false; }, &closed, 4000);
    EXPECT_TRUE(closed);
    EXPECT_GT(got.size(), HttpDebugSocket::kMaxEcho / 2);
    EXPECT_LE(got.size(), HttpDebugSocket::kMaxEcho + 4096);
    EXPECT_EQ(got.substr(got.size() - 24), "</pre><hr></body></html>");
}

}  // namespace
