#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/protocols/HttpBaseSocket.h"
#include "tests/sockets/protocols/support/Converse.h"
#include "tests/sockets/protocols/support/HttpTestServer.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

using loopback::Fd;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class HttpBaseSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto listener =
            std::make_unique<ListenSocket>(handler, std::make_unique<HttpTestServer>(handler, &app));
        ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
        port = listener->GetPort();
        listener->SetDeleteByHandler();
        handler.Add(listener.release());
    }

    // Sends the bytes and collects what comes back until `done` holds or the peer closes.
    std::string Exchange(const std::string& bytes, const std::function<bool(const std::string&)>& done,
                         bool* closed = nullptr, Fd* keep = nullptr) {
        Fd fd = loopback::Connect(port);
        loopback::WriteAll(fd.get(), bytes);
        std::string got;
        bool eof = false;
        loopback::Pump(handler, [&] {
            char buf[65536];
            for (;;) {
                const ssize_t n = recv(fd.get(), buf, sizeof(buf), MSG_DONTWAIT);
                if (n > 0) {
                    got.append(buf, static_cast<size_t>(n));
                    continue;
                }
                if (n == 0) eof = true;
                break;
            }
            return eof || done(got);
        });
        if (closed) {
            // Let the handler finish a close it has begun.
            for (int i = 0; i < 20 && !eof; ++i) {
                handler.Select(0, 2000);
                char c;
                eof = recv(fd.get(), &c, 1, MSG_DONTWAIT) == 0;
            }
            *closed = eof;
        }
        if (keep) *keep = std::move(fd);
        return got;
    }

    CapturingLog log;
    SocketHandler handler{&log};
    HttpTestApp app;
    port_t port{0};
};

auto Responses(size_t n) {
    return [n](const std::string& got) {
        return Count(got, "HTTP/1.") >= n && got.find("\r\n\r\n") != std::string::npos;
    };
}

TEST_F(HttpBaseSocketTest, PipelinedRequestsAreAnsweredInOrderOnOneConnection) {
    bool closed = false;
    const std::string got = Exchange(
        "GET /one?a=1 HTTP/1.1\r\nHost: x\r\n\r\n"
        "POST /two HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: "
        "3\r\n\r\nb=2"
        "POST /three HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\n\r\n"
        "2\r\nc=\r\n1\r\n3\r\n0\r\n\r\n"
        "POST /empty HTTP/1.1\r\nContent-Length: 0\r\n\r\n",
        [](const std::string& g) { return g.find("POST /empty") != std::string::npos; }, &closed);
    const size_t one = got.find("GET /one a=1;");
    const size_t two = got.find("POST /two b=2;");
    const size_t three = got.find("POST /three c=3;");
    const size_t empty = got.find("POST /empty =;");
    ASSERT_NE(one, std::string::npos) << got;
    ASSERT_NE(two, std::string::npos) << got;
    ASSERT_NE(three, std::string::npos) << got;
    ASSERT_NE(empty, std::string::npos) << got;
    EXPECT_LT(one, two);
    EXPECT_LT(two, three);
    EXPECT_LT(three, empty);
    EXPECT_EQ(Count(got, "HTTP/1.1 200 OK"), 4u);
    EXPECT_FALSE(closed);
}

TEST_F(HttpBaseSocketTest, ConnectionCloseIsHonouredAsWritten) {
    struct Case {
        const char* request;
        bool closes;
    } cases[] = {
        {"GET / HTTP/1.1\r\nConnection: close\r\n\r\n", true},
        {"GET / HTTP/1.1\r\nConnection: Close\r\n\r\n", false},
        {"GET / HTTP/1.0\r\n\r\n", true},
    };
    for (const Case& c : cases) {
        bool closed = false;
        const std::string got = Exchange(c.request, Responses(1), &closed);
        EXPECT_NE(got.find(" 200 OK"), std::string::npos) << c.request;
        EXPECT_EQ(closed, c.closes) << c.request;
    }
}

TEST_F(HttpBaseSocketTest, ResponsesCarryLengthCookiesAndNoBodyWhereNoneIsAllowed) {
    app.cookies = {"a=1", "b=2; path=/", "c=3"};
    std::string got = Exchange("GET /x HTTP/1.1\r\n\r\n", Responses(1));
    EXPECT_EQ(Count(got, "Set-Cookie: "), 3u) << got;
    EXPECT_NE(got.find("Content-Length: 9\r\n"), std::string::npos) << got;  // "GET /x =;"
    app.cookies.clear();
    got = Exchange("HEAD /x HTTP/1.1\r\n\r\nGET /after HTTP/1.1\r\n\r\n",
                   [](const std::string& g) { return g.find("GET /after") != std::string::npos; });
    EXPECT_EQ(got.find("HEAD /x"), std::string::npos) << got;
    EXPECT_NE(got.find("Content-Length: 10\r\n"), std::string::npos) << got;
    for (int status : {204, 304}) {
        app.status = status;
        got = Exchange("GET /nobody HTTP/1.1\r\n\r\nGET /nobody2 HTTP/1.1\r\n\r\n", Responses(2));
        EXPECT_EQ(got.find("GET /nobody"), std::string::npos) << got;
        EXPECT_EQ(Count(got, "HTTP/1.1 " + std::to_string(status)), 2u) << got;
        // Its length would be that of the page it stands for, not of an empty body.
        EXPECT_EQ(got.find("Content-Length"), std::string::npos) << got;
    }
}

TEST_F(HttpBaseSocketTest, ASecondResponseWhileTheFirstStreamsIsRefused) {
    app.bodySize = 4 << 20;
    app.respondTwice = true;
    Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // A small receive window keeps the first response streaming when the second comes.
    const int window = 8192;
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &window, sizeof(window));
    const sockaddr_in sa = loopback::Address(port);
    ASSERT_EQ(connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa)), 0);
    const std::string got = loopback::Converse(
        handler, fd.get(), "GET /big HTTP/1.1\r\n\r\nGET /after HTTP/1.1\r\n\r\n",
        [](const std::string& g) { return Count(g, "HTTP/1.1 ") >= 2 && g.size() > (4u << 20); }, nullptr,
        20000);
    const size_t end = got.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(got.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << got.substr(0, 200);
    EXPECT_EQ(got.find("second"), std::string::npos);
    // The whole first body, then the answer to the next request.
    const size_t next = got.find("HTTP/1.1 200 OK\r\n", end + 4 + (4u << 20));
    EXPECT_EQ(next, end + 4 + (4u << 20)) << got.substr(end + 4 + (4u << 20) - 10, 100);
}

TEST_F(HttpBaseSocketTest, TheAnnouncedLengthIsTheLengthSent) {
    // The body is "GET /x =;" (9 bytes); a longer claim closes, a shorter one cuts the body.
    struct Case {
        const char* length;
        std::string body;
        bool closes;
    } cases[] = {{"4", "GET ", false}, {"20", "GET /x =;", true}, {"x1", "GET /x =;", false}};
    for (const Case& c : cases) {
        app.extraHeader = {"Content-Length", c.length};
        bool closed = false;
        const std::string got = Exchange(
            "GET /x HTTP/1.1\r\n\r\n",
            [&](const std::string& g) {
                const size_t end = g.find("\r\n\r\n");
                return end != std::string::npos && g.size() >= end + 4 + c.body.size();
            },
            &closed);
        EXPECT_EQ(got.substr(got.find("\r\n\r\n") + 4), c.body) << c.length;
        EXPECT_EQ(closed, c.closes) << c.length;
    }
}

TEST_F(HttpBaseSocketTest, HeaderValuesWithLineBreaksAreNotSent) {
    app.extraHeader = {"X-Test", "a\r\nSet-Cookie: injected=1"};
    const std::string got = Exchange("GET / HTTP/1.1\r\n\r\n", Responses(1));
    EXPECT_EQ(got.find("injected"), std::string::npos) << got;
    EXPECT_NE(got.find(" 200 OK"), std::string::npos);
}

TEST_F(HttpBaseSocketTest, SmugglingAttemptsAreRefusedOnceAndNeverReachTheApplication) {
    const char* corpus[] = {
        "POST / HTTP/1.1\r\nContent-Length: 6\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
        "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n0\r\n\r\n",
        "POST / HTTP/1.1\r\nTransfer-Encoding: chunked, identity\r\n\r\n0\r\n\r\n",
        "POST / HTTP/1.1\r\nTransfer-Encoding : chunked\r\n\r\n0\r\n\r\n",
        "POST / HTTP/1.1\r\nTransfer-Encoding:\r\n chunked\r\n\r\n0\r\n\r\n",
        "POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 30\r\n\r\nabc",
        "POST / HTTP/1.1\r\nContent-Length: 0x3\r\n\r\nabc",
        "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nffffffffffffffffff\r\n",
        "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n-1\r\n",
        "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcX\r\n0\r\n\r\n",
        "GET / HTTP/1.1\r\nX: a\rContent-Length: 40\r\n\r\n",
        "GET /\rHTTP/1.1\r\n\r\n",
    };
    for (const char* attack : corpus) {
        app.requests.clear();
        bool closed = false;
        const std::string got =
            Exchange(std::string(attack) + "GET /smuggled HTTP/1.1\r\n\r\n", Responses(1), &closed);
        EXPECT_EQ(got.rfind("HTTP/1.1 400 Bad Request\r\n", 0), 0u) << attack << "\n" << got;
        EXPECT_EQ(Count(got, "HTTP/1."), 1u) << attack;
        EXPECT_TRUE(app.requests.empty()) << attack;
        EXPECT_TRUE(closed) << attack;
    }
}

TEST_F(HttpBaseSocketTest, BodiesBeyondTheLimitGet413) {
    const std::string chunk(1000, 'x');
    std::string chunked = "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 1100; ++i) chunked += "3e8\r\n" + chunk + "\r\n";
    for (const std::string& request :
         {std::string("POST / HTTP/1.1\r\nContent-Length: 1048577\r\n\r\n"), chunked}) {
        app.requests.clear();
        bool closed = false;
        const std::string got = Exchange(request, Responses(1), &closed);
        EXPECT_EQ(got.rfind("HTTP/1.1 413 ", 0), 0u) << got.substr(0, 100);
        EXPECT_TRUE(closed);
        EXPECT_TRUE(app.requests.empty());
    }
}

TEST_F(HttpBaseSocketTest, ALateAnswerHoldsBackTheNextPipelinedRequest) {
    app.defer = true;
    Fd fd;
    std::string got = Exchange(
        "GET /first HTTP/1.1\r\n\r\nGET /second HTTP/1.1\r\n\r\n",
        [&](const std::string&) { return app.pending != nullptr; }, nullptr, &fd);
    EXPECT_EQ(app.requests, (std::vector<std::string>{"GET /first"}));
    HttpResponse response("HTTP/1.1");
    response.SetHttpStatusCode(200);
    response.SetHttpStatusMsg("OK");
    response.Write("late");
    HttpBaseSocket* first = app.pending;
    app.pending = nullptr;
    first->Respond(response);
    loopback::Pump(handler, [&] { return app.pending != nullptr; });
    EXPECT_EQ(app.requests, (std::vector<std::string>{"GET /first", "GET /second"}));
    got = loopback::ReadSome(fd.get(), 1000, 200);
    EXPECT_NE(got.find("late"), std::string::npos) << got;
}

TEST_F(HttpBaseSocketTest, APeerThatNeverReadsHoldsOnlyAPieceOfTheBody) {
    app.bodySize = 64 << 20;
    Fd fd = loopback::Connect(port);
    // A small receive window keeps the kernel from soaking up the body on the peer's behalf.
    int small = 4096;
    setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
    loopback::WriteAll(fd.get(), "GET /big HTTP/1.1\r\n\r\n");
    for (int i = 0; i < 200; ++i) handler.Select(0, 1000);
    ASSERT_NE(app.lastSocket, nullptr);
    EXPECT_GT(app.maxOutput, 0u);
    EXPECT_LE(app.maxOutput, 2 * HttpBaseSocket::kPiece);
}

TEST(HttpBaseSocketTimeouts, AHalfSentRequestGets408AndAnIdleConnectionCloses) {
    VirtualClock clock;
    CapturingLog log;
    SocketHandler handler(&log);
    handler.SetClock(clock);
    HttpTestApp app;
    auto* listener = new ListenSocket(handler, std::make_unique<HttpTestServer>(handler, &app));
    listener->SetDeleteByHandler();
    ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
    handler.Add(listener);
    Fd slow = loopback::Connect(listener->GetPort());
    Fd idle = loopback::Connect(listener->GetPort());
    bool closed = false;
    std::string got = loopback::Converse(handler, slow.get(), "GET / HTTP/1.1\r\nHost: x\r\n",
                                         [&](const std::string&) { return app.connections == 2; });
    clock.sleepFor((HTTPSocket::kHeaderTimeout + 2) * 1'000'000LL);
    got = loopback::Converse(
        handler, slow.get(), "", [](const std::string& g) { return !g.empty(); }, &closed);
    EXPECT_EQ(got.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << got;
    EXPECT_TRUE(app.requests.empty());
    clock.sleepFor((HTTPSocket::kIdleTimeout + 2) * 1'000'000LL);
    got = loopback::Converse(
        handler, idle.get(), "", [](const std::string&) { return false; }, &closed, 200);
    EXPECT_EQ(got, "");
    EXPECT_TRUE(closed);
}

TEST(HttpBaseSocketTimeouts, ARequestBodyHasADeadlineThatOnlyASteadyRateExtends) {
    struct Case {
        const char* name;
        size_t length;  // of the body
        size_t piece;   // bytes sent per step
        int step;       // seconds between pieces
        bool answered;  // else 408 within the deadline and a step
    } cases[] = {
        {"a byte per 20 s", 100, 1, 20, false},
        {"a byte per second", 1000, 1, 1, false},
        {"600 bytes a second for 100 s", 60000, 6000, 10, true},
    };
    for (const Case& c : cases) {
        VirtualClock clock;
        CapturingLog log;
        SocketHandler handler(&log);
        handler.SetClock(clock);
        HttpTestApp app;
        app.status = 204;
        auto* listener = new ListenSocket(handler, std::make_unique<HttpTestServer>(handler, &app));
        listener->SetDeleteByHandler();
        ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
        handler.Add(listener);
        Fd fd = loopback::Connect(listener->GetPort());
        loopback::WriteAll(fd.get(),
                           "POST / HTTP/1.1\r\nContent-Length: " + std::to_string(c.length) + "\r\n\r\n");
        std::string got;
        int seconds = 0;
        for (size_t sent = 0; sent < c.length && got.empty(); sent += c.piece) {
            loopback::WriteAll(fd.get(), std::string(c.piece, 'b'));
            for (int i = 0; i < 3; ++i) handler.Select(0, 1000);
            clock.sleepFor(c.step * 1'000'000LL);
            seconds += c.step;
            for (int i = 0; i < 3; ++i) handler.Select(0, 1000);
            char buf[4096];
            const ssize_t n = recv(fd.get(), buf, sizeof(buf), MSG_DONTWAIT);
            if (n > 0) got.assign(buf, static_cast<size_t>(n));
        }
        if (c.answered) {
            EXPECT_EQ(got.rfind("HTTP/1.1 204", 0), 0u) << c.name << ": " << got;
            EXPECT_EQ(app.requests.size(), 1u) << c.name;
        } else {
            EXPECT_EQ(got.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << c.name << ": " << got;
            EXPECT_GE(seconds, HTTPSocket::kBodyTimeout) << c.name;
            EXPECT_LE(seconds, HTTPSocket::kBodyTimeout + 2 + c.step) << c.name;
            EXPECT_TRUE(app.requests.empty()) << c.name;
        }
    }
}

}  // namespace
