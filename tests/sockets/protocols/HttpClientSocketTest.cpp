#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "sockets/SocketHandler.h"
#include "sockets/protocols/HttpGetSocket.h"
#include "sockets/protocols/HttpPostSocket.h"
#include "sockets/protocols/HttpPutSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

using loopback::Fd;

struct Outcome {
    int contents = 0;
    bool failed = false;
    size_t pos = 0;
    std::string body;
    std::string head;
};

template <class Base>
class Recording : public Base {
public:
    template <class... Args>
    explicit Recording(Outcome* out, Args&&... args) : Base(args...), m_out(out) {}
    void OnContent() override {
        ++m_out->contents;
        m_out->failed = this->Failed();
        m_out->pos = this->GetPos();
        m_out->head = this->GetContent();
    }
    void OnData(const char* buf, size_t len) override {
        Base::OnData(buf, len);
        m_out->body.append(buf, len);
    }

private:
    Outcome* m_out;
};

// A peer that reads a whole request (head, and a body by its Content-Length) and answers it.
class RawPeer {
public:
    RawPeer() : listener(loopback::Listen()), port(loopback::PortOf(listener.get())) {}

    // Serves one connection: reads the request while the handler runs, sends `reply`, closes.
    std::string Serve(SocketHandler& handler, const std::string& reply, const std::function<bool()>& done) {
        Fd conn;
        loopback::Pump(handler, [&] {
            if (conn.get() == -1) {
                pollfd p{listener.get(), POLLIN, 0};
                if (poll(&p, 1, 0) == 1) conn.reset(accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
                return false;
            }
            char buf[65536];
            ssize_t n;
            while ((n = recv(conn.get(), buf, sizeof(buf), MSG_DONTWAIT)) > 0) request.append(buf, size_t(n));
            return Complete();
        });
        loopback::WriteAll(conn.get(), reply);
        conn.reset();
        loopback::Pump(handler, done);
        return request;
    }

    bool Complete() const {
        const size_t end = request.find("\r\n\r\n");
        if (end == std::string::npos) return false;
        const size_t at = request.find("Content-length: ");
        if (at == std::string::npos || at > end) return true;
        return request.size() - end - 4 >= std::stoul(request.substr(at + 16));
    }

    Fd listener;
    uint16_t port;
    std::string request;
};

class HttpClientTest : public ::testing::Test {
protected:
    CapturingLog log;
    SocketHandler handler{&log};
    RawPeer peer;
    Outcome out;
};

TEST_F(HttpClientTest, GetAsksForIdentityAndABodyWithoutLengthEndsWithTheConnection) {
    Recording<HttpGetSocket> get(&out, handler,
                                 "http://127.0.0.1:" + std::to_string(peer.port) + "/dir/f.txt?q=1");
    handler.Add(&get);
    const std::string request =
        peer.Serve(handler, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nno length here",
                   [&] { return out.contents > 0; });
    EXPECT_EQ(request.rfind("GET /dir/f.txt?q=1 HTTP/1.0\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("Accept-Encoding: identity\r\n"), std::string::npos);
    EXPECT_NE(request.find("Host: 127.0.0.1:" + std::to_string(peer.port) + "\r\n"), std::string::npos);
    EXPECT_EQ(out.contents, 1);
    EXPECT_FALSE(out.failed);
    EXPECT_EQ(out.body, "no length here");
    EXPECT_EQ(out.pos, 14u);
    EXPECT_EQ(out.head, "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n");
    EXPECT_EQ(get.GetContentType(), "text/plain");
    EXPECT_EQ(get.GetUrlFilename(), "f.txt?q=1");
    EXPECT_EQ(get.GetDataPtr(), nullptr);
}

TEST_F(HttpClientTest, ResponsesAreBufferedOnlyWhenTheirLengthIsSane) {
    struct Case {
        const char* name;
        std::string reply;
        bool failed;
        std::string body;
        bool buffered;
    } cases[] = {
        {"length body", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef", false, "abc", true},
        {"chunked body",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\n1\r\nc\r\n0\r\n\r\n", false, "abc",
         false},
        {"huge length", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999\r\n\r\nabc", false, "abc", false},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nabc", true, "", false},
        {"smuggled chunk size", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", true, "",
         false},
    };
    for (const Case& c : cases) {
        RawPeer p;
        Outcome o;
        auto* get = new Recording<HttpGetSocket>(&o, handler, "127.0.0.1", p.port, "/x");
        get->SetDeleteByHandler();
        handler.Add(get);
        bool buffered = false;
        p.Serve(handler, c.reply, [&] {
            if (o.contents && handler.Valid(get)) buffered = get->GetDataPtr() != nullptr;
            return o.contents > 0;
        });
        EXPECT_EQ(o.contents, 1) << c.name;
        EXPECT_EQ(o.failed, c.failed) << c.name;
        EXPECT_EQ(o.body, c.body) << c.name;
        EXPECT_EQ(buffered, c.buffered) << c.name;
        loopback::Pump(handler, [&] { return !handler.Valid(get); });
    }
}

TEST_F(HttpClientTest, ATooSmallBufferIsNeverWrittenPast) {
    unsigned char buf[4] = {'-', '-', '-', '-'};
    Recording<HttpGetSocket> get(&out, handler, "127.0.0.1", peer.port, "/x");
    get.SetDataPtr(buf, 2);
    handler.Add(&get);
    peer.Serve(handler, "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc", [&] { return out.contents > 0; });
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "----");
    EXPECT_EQ(out.pos, 3u);
    EXPECT_GE(log.Count("OnData", "content buffer overflow"), 1u);
}

TEST_F(HttpClientTest, UrlEncodedPostJoinsValuesAndEncodesThem) {
    Recording<HttpPostSocket> post(&out, handler, "http://127.0.0.1:" + std::to_string(peer.port) + "/form");
    post.AddMultilineField("a", {"x", "y z"});
    post.AddField("b", "&");
    ASSERT_TRUE(post.Open());
    handler.Add(&post);
    const std::string request =
        peer.Serve(handler, "HTTP/1.0 204 No Content\r\n\r\n", [&] { return out.contents > 0; });
    EXPECT_NE(request.find("Content-type: application/x-www-form-urlencoded\r\n"), std::string::npos)
        << request;
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), "a=x%0d%0ay+z&b=%26");
}

class TempFiles : public HttpClientTest {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/beatwick-client-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& data) {
        const std::string path = dir + "/" + name;
        FILE* f = fopen(path.c_str(), "wb");
        fwrite(data.data(), 1, data.size(), f);
        fclose(f);
        return path;
    }
    std::string dir;
};

TEST_F(TempFiles, MultipartLengthIsTheLengthSentEvenWhenAFileChangedAfterItWasAdded) {
    const std::string big(100000, 'q');
    const std::string path = Write("up.bin", "short");
    Recording<HttpPostSocket> post(&out, handler, "http://127.0.0.1:" + std::to_string(peer.port) + "/up");
    post.AddField("name", "v");
    post.AddFile("file", path, "application/octet-stream");
    Write("up.bin", big);  // grew after AddFile
    ASSERT_TRUE(post.Open());
    handler.Add(&post);
    const std::string request =
        peer.Serve(handler, "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", [&] { return out.contents > 0; });
    const size_t end = request.find("\r\n\r\n");
    const size_t at = request.find("Content-length: ");
    ASSERT_NE(at, std::string::npos) << request.substr(0, 400);
    EXPECT_EQ(std::stoul(request.substr(at + 16)), request.size() - end - 4);
    EXPECT_NE(request.find(big + "\r\n--" + post.GetBoundary() + "--\r\n"), std::string::npos);
    EXPECT_NE(request.find("content-disposition: form-data; name=\"name\"\r\n\r\nv\r\n"), std::string::npos);
}

TEST_F(TempFiles, PutSendsTheFileWithItsLength) {
    const std::string data(70000, 'p');
    Recording<HttpPutSocket> put(&out, handler, "http://127.0.0.1:" + std::to_string(peer.port) + "/put");
    put.SetFile(Write("put.bin", data));
    put.SetContentType("text/plain");
    ASSERT_TRUE(put.Open());
    handler.Add(&put);
    const std::string request = peer.Serve(handler, "HTTP/1.1 201 Created\r\nContent-Length: 0\r\n\r\n",
                                           [&] { return out.contents > 0; });
    EXPECT_EQ(request.rfind("PUT /put HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(request.find("Content-length: 70000\r\n"), std::string::npos);
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), data);
}

TEST(HttpPostSocket, BoundariesComeFromTheSharedCounter) {
    const std::string first = HttpPostSocket::NextBoundary();
    const std::string second = HttpPostSocket::NextBoundary();
    ASSERT_EQ(first.substr(0, 4), "----");
    EXPECT_NE(first, second);
    const int n = std::stoi(first.substr(first.find("__") + 2));
    // The second boundary's characters start at the value after the first one's number.
    std::string expected = "----";
    for (int c = n + 1; expected.size() < 16; ++c)
        if (isalnum(c % 128)) expected += static_cast<char>(c % 128);
    EXPECT_EQ(second.substr(0, 16), expected);
}

}  // namespace
