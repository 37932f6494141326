#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Carbon/Clock.h"
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

    std::string Serve(SocketHandler& handler, const std::string& reply, const std::function<bool()>& done) {
        return Serve(handler, std::vector<std::string>{reply}, done);
    }

    // Serves one connection: reads the request while the handler runs, writes the pieces of the
    // reply apart (the handler reads between them), then closes.
    std::string Serve(SocketHandler& handler, const std::vector<std::string>& reply,
                      const std::function<bool()>& done) {
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
        for (const std::string& piece : reply) {
            loopback::WriteAll(conn.get(), piece);
            loopback::Pump(
                handler, [] { return false; }, 4);
        }
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

TEST(HttpClientHost, TheHostHeaderNamesTheUrlsHostAndAnyPortNotTheSchemes) {
    struct Host : HttpGetSocket {
        using HttpClientSocket::HostHeader;
        using HttpGetSocket::HttpGetSocket;
    };
    CapturingLog log;
    SocketHandler handler{&log};
    const struct {
        const char* url;
        const char* host;
    } cases[] = {
        {"http://example.org/x", "example.org"},
        {"http://example.org:8080/x", "example.org:8080"},
        {"http://[::1]/x", "[::1]"},
        {"http://[::1]:8080/x", "[::1]:8080"},
    };
    for (const auto& c : cases) EXPECT_EQ(Host(handler, c.url).HostHeader(), c.host) << c.url;
    // Given apart from the path, an IPv6 literal is the same host, and it is opened as IPv6.
    const Host apart(handler, "::1", 8080, "/x");
    EXPECT_EQ(apart.GetUrlHost(), "::1");
    EXPECT_EQ(apart.GetUrlPort(), 8080);
    EXPECT_EQ(apart.HostHeader(), "[::1]:8080");
    EXPECT_TRUE(apart.IsIpv6());
    EXPECT_FALSE(Host(handler, "127.0.0.1", 8080, "/x").IsIpv6());
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
        {"huge length, cut short", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999\r\n\r\nabc", true,
         "abc", false},
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

TEST_F(HttpClientTest, ATooSmallBufferIsNeverWrittenPastAndFailsTheTransfer) {
    unsigned char buf[4] = {'-', '-', '-', '-'};
    Recording<HttpGetSocket> get(&out, handler, "127.0.0.1", peer.port, "/x");
    get.SetDataPtr(buf, 2);
    handler.Add(&get);
    peer.Serve(handler, "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc",
               [&] { return !handler.Valid(&get); });
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 4), "----");
    EXPECT_EQ(out.pos, 3u);
    EXPECT_EQ(log.Count("OnData", "content buffer overflow"), 1u);
    EXPECT_EQ(out.contents, 1);
    EXPECT_TRUE(out.failed);
}

// Runs a heap socket until the handler has deleted it; what it reported stays in its Outcome.
void RunToTheEnd(SocketHandler& handler, Socket* socket, RawPeer* peer = nullptr,
                 const std::vector<std::string>& reply = {}) {
    socket->SetDeleteByHandler();
    handler.Add(socket);
    if (peer) peer->Serve(handler, reply, [&] { return !handler.Valid(socket); });
    loopback::Pump(handler, [&] { return !handler.Valid(socket); });
    // A few passes more: a second OnContent would come now.
    loopback::Pump(
        handler, [] { return false; }, 4);
}

TEST_F(HttpClientTest, AResponseThatBreaksOffEndsInOneFailedContent) {
    const std::string head = "HTTP/1.1 200 OK\r\n";
    const std::string chunked = head + "Transfer-Encoding: chunked\r\n\r\n";
    struct Case {
        const char* name;
        std::vector<std::string> reply;
        bool failed;
        std::string body;
    } cases[] = {
        {"closed before a response", {}, true, ""},
        {"closed inside the head", {head + "Content-Le"}, true, ""},
        {"a request instead of a response", {"GET / HTTP/1.1\r\n\r\n"}, true, ""},
        {"body cut short of its length", {head + "Content-Length: 10\r\n\r\n", "abc"}, true, "abc"},
        {"chunked body cut mid-chunk", {chunked, "5\r\nab"}, true, "ab"},
        {"chunked body cut before its last chunk", {chunked + "2\r\nab\r\n"}, true, "ab"},
        {"a transfer coding it cannot decode",
         {head + "Transfer-Encoding: gzip, chunked\r\n\r\n", "3\r\n\x1f\x8b\x08\r\n0\r\n\r\n"},
         true,
         ""},
        {"head and body written apart", {head + "Content-Length: 5\r\n\r\n", "ab", "cde"}, false, "abcde"},
        {"chunks written apart", {chunked, "2\r\nab\r\n", "3\r\ncde\r\n0\r\n\r\n"}, false, "abcde"},
        {"a body that ends at the close",
         {"HTTP/1.0 200 OK\r\n\r\n", "until", " close"},
         false,
         "until close"},
    };
    for (const Case& c : cases) {
        RawPeer p;
        Outcome o;
        RunToTheEnd(handler, new Recording<HttpGetSocket>(&o, handler, "127.0.0.1", p.port, "/x"), &p,
                    c.reply);
        EXPECT_EQ(o.contents, 1) << c.name;
        EXPECT_EQ(o.failed, c.failed) << c.name;
        EXPECT_EQ(o.body, c.body) << c.name;
    }
}

TEST_F(HttpClientTest, ARefusedConnectEndsInOneFailedContent) {
    uint16_t refusing = 0;
    {
        Fd closed = loopback::Listen();
        refusing = loopback::PortOf(closed.get());
    }
    Outcome got, posted;
    RunToTheEnd(handler, new Recording<HttpGetSocket>(&got, handler, "127.0.0.1", refusing, "/x"));
    auto* post =
        new Recording<HttpPostSocket>(&posted, handler, "http://127.0.0.1:" + std::to_string(refusing));
    post->AddField("a", "b");
    post->Open();
    RunToTheEnd(handler, post);
    for (const Outcome* o : {&got, &posted}) {
        EXPECT_EQ(o->contents, 1);
        EXPECT_TRUE(o->failed);
    }
    EXPECT_EQ(log.Count("OnDelete", "no connection"), 2u);
}

TEST(HttpClientTimeOut, AServerThatNeverAnswersFailsAtTheTimeOut) {
    VirtualClock clock;
    CapturingLog log;
    SocketHandler handler(&log);
    handler.SetClock(clock);
    // The peer's backlog takes the connection and the request; nobody ever reads them.
    RawPeer silent;
    Outcome out;
    Recording<HttpGetSocket> get(&out, handler, "127.0.0.1", silent.port, "/x");
    handler.Add(&get);
    loopback::Pump(handler, [&] { return get.GetOutputLength() == 0 && get.IsConnected(); });
    clock.sleepFor((HTTPSocket::kIdleTimeout - 1) * 1'000'000LL);
    loopback::Pump(
        handler, [] { return false; }, 4);
    EXPECT_EQ(out.contents, 0);
    clock.sleepFor(3 * 1'000'000LL);
    loopback::Pump(handler, [&] { return !handler.Valid(&get); });
    EXPECT_EQ(out.contents, 1);
    EXPECT_TRUE(out.failed);
    // Reported as what it was, not as a connection that went away.
    EXPECT_EQ(log.Count("OnTimeout", "no complete response in time"), 1u);
    EXPECT_EQ(log.Count("OnDelete"), 0u);
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
    EXPECT_NE(request.find("Host: 127.0.0.1:" + std::to_string(peer.port) + "\r\n"), std::string::npos);
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
    static std::string Read(const std::string& path) {
        std::string data;
        if (FILE* f = fopen(path.c_str(), "rb")) {
            char buf[4096];
            for (size_t n; (n = fread(buf, 1, sizeof(buf), f)) > 0;) data.append(buf, n);
            fclose(f);
        }
        return data;
    }
    std::string Url(uint16_t port) const { return "http://127.0.0.1:" + std::to_string(port) + "/up"; }
    std::string dir;
};

TEST_F(TempFiles, ABodyGoesToItsTargetFileAndATargetThatCannotBeOpenedFails) {
    struct Case {
        const char* name;
        std::string target;
        bool failed;
    } cases[] = {
        {"a target that can be written", dir + "/body.txt", false},
        {"a target in a missing folder", dir + "/missing/body.txt", true},
    };
    for (const Case& c : cases) {
        RawPeer p;
        Outcome o;
        RunToTheEnd(handler, new Recording<HttpGetSocket>(&o, handler, Url(p.port), c.target), &p,
                    {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc"});
        EXPECT_EQ(o.contents, 1) << c.name;
        EXPECT_EQ(o.failed, c.failed) << c.name;
        EXPECT_EQ(Read(c.target), c.failed ? "" : "abc") << c.name;
    }
}

// A reply with a body of `size` bytes, in pieces the handler reads between.
std::vector<std::string> ReplyOf(size_t size) {
    std::vector<std::string> reply = {"HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(size) +
                                      "\r\n\r\n"};
    for (size_t at = 0; at < size; at += 20000)
        reply.push_back(std::string(std::min<size_t>(20000, size - at), 'b'));
    return reply;
}

TEST_F(TempFiles, ABodyTheDiskRefusesEndsInOneFailedContent) {
    struct Case {
        const char* name;
        size_t size;
        const char* where;  // the operation that finds it out
    } cases[] = {
        {"refused while written", 100000, "OnData"},
        {"refused only when the file closes", 3, "EndContent"},
    };
    for (const Case& c : cases) {
        RawPeer p;
        Outcome o;
        log.Clear();
        RunToTheEnd(handler, new Recording<HttpGetSocket>(&o, handler, Url(p.port), "/dev/full"), &p,
                    ReplyOf(c.size));
        EXPECT_EQ(o.contents, 1) << c.name;
        EXPECT_TRUE(o.failed) << c.name;
        EXPECT_EQ(log.Count(c.where, std::string("body not stored: ") + strerror(ENOSPC)), 1u) << c.name;
    }
}

// A tmpfs of the given size on a folder, mounted in a mount namespace of this process's own, so
// that nobody else sees it and it goes with the process even when a test dies. Needs root.
class SmallTmpfs {
public:
    SmallTmpfs(const std::string& dir, const std::string& size) : m_dir(dir) {
        if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0) return;
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return;
        mounted = mount("beatwick-test", dir.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~SmallTmpfs() {
        if (mounted) umount2(m_dir.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;
    bool mounted = false;

private:
    std::string m_dir;
};

TEST_F(TempFiles, ABodyThatFillsTheFileSystemEndsInOneFailedContent) {
    const std::string mountpoint = dir + "/small";
    ASSERT_EQ(mkdir(mountpoint.c_str(), 0700), 0);
    SmallTmpfs tmpfs(mountpoint, "64k");
    if (!tmpfs.mounted) GTEST_SKIP() << "mounting a tmpfs needs root";
    struct Case {
        const char* name;
        size_t size;
        bool failed;
    } cases[] = {
        {"a body that fits", 30000, false},
        {"a body larger than the file system", 100000, true},
    };
    for (const Case& c : cases) {
        RawPeer p;
        Outcome o;
        const std::string target = mountpoint + "/body";
        RunToTheEnd(handler, new Recording<HttpGetSocket>(&o, handler, Url(p.port), target), &p,
                    ReplyOf(c.size));
        EXPECT_EQ(o.contents, 1) << c.name;
        EXPECT_EQ(o.failed, c.failed) << c.name;
        if (!c.failed) {
            EXPECT_EQ(Read(target), std::string(c.size, 'b')) << c.name;
        }
        unlink(target.c_str());
    }
}

TEST_F(TempFiles, AnUploadWhoseFileIsGoneEndsInOneFailedContent) {
    const std::string url = Url(peer.port);
    const std::string missing = dir + "/missing";
    auto gone = [&](const std::string& name) {
        const std::string path = Write(name, "x");
        return std::make_pair(path, [path] { unlink(path.c_str()); });
    };
    struct Case {
        const char* name;
        std::function<HttpClientSocket*(Outcome*)> make;
    } cases[] = {
        {"PUT of a file that is not there",
         [&](Outcome* o) {
             auto* put = new Recording<HttpPutSocket>(o, handler, url);
             put->SetFile(missing);
             put->Open();
             return put;
         }},
        {"PUT of a file removed before the connection",
         [&](Outcome* o) {
             auto* put = new Recording<HttpPutSocket>(o, handler, url);
             auto [path, remove] = gone("put.bin");
             put->SetFile(path);
             remove();
             put->Open();
             return put;
         }},
        {"POST of a file that is not there",
         [&](Outcome* o) {
             auto* post = new Recording<HttpPostSocket>(o, handler, url);
             post->AddFile("f", missing, "text/plain");
             post->Open();
             return post;
         }},
        {"POST of a file removed before the connection",
         [&](Outcome* o) {
             auto* post = new Recording<HttpPostSocket>(o, handler, url);
             auto [path, remove] = gone("post.bin");
             post->AddFile("f", path, "text/plain");
             remove();
             post->Open();
             return post;
         }},
    };
    for (const Case& c : cases) {
        Outcome o;
        RunToTheEnd(handler, c.make(&o));
        EXPECT_EQ(o.contents, 1) << c.name;
        EXPECT_TRUE(o.failed) << c.name;
    }
}

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
    EXPECT_NE(request.find("Host: 127.0.0.1:" + std::to_string(peer.port) + "\r\n"), std::string::npos);
    EXPECT_NE(request.find("Content-length: 70000\r\n"), std::string::npos);
    EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), data);
}

TEST_F(TempFiles, MultipartPartHeadsEscapeQuotesAndLineBreaks) {
    const std::string path = Write("q\"uote.txt", "data");
    Recording<HttpPostSocket> post(&out, handler, Url(peer.port));
    post.AddField("a\"b\r\nX-Injected: 1", "v");
    post.AddFile("f\"", path, "text/plain\r\nX-Injected: 2");
    ASSERT_TRUE(post.Open());
    handler.Add(&post);
    const std::string request =
        peer.Serve(handler, "HTTP/1.0 204 No Content\r\n\r\n", [&] { return out.contents > 0; });
    EXPECT_NE(request.find("name=\"a%22b%0D%0AX-Injected: 1\"\r\n\r\nv\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("name=\"f%22\"; filename=\"" + dir +
                           "/q%22uote.txt\"\r\ncontent-type: text/plain%0D%0AX-Injected: 2\r\n\r\ndata\r\n"),
              std::string::npos)
        << request;
    EXPECT_EQ(request.find("\nX-Injected"), std::string::npos);
}

TEST_F(TempFiles, TheBoundaryOccursInNoFieldAndNoFile) {
    enum class Where { Field, File };
    struct Case {
        const char* name;
        Where where;
        size_t before;  // bytes ahead of the planned boundary
    } cases[] = {
        {"in a field", Where::Field, 0},
        {"in a file", Where::File, 0},
        {"in a file, across its first 64 KiB read", Where::File, 65536 - 10},
    };
    for (const Case& c : cases) {
        RawPeer p;
        Outcome o;
        Recording<HttpPostSocket> post(&o, handler, Url(p.port));
        const std::string planned = post.GetBoundary();
        const std::string content = std::string(c.before, 'x') + "\r\n--" + planned + "\r\ny";
        if (c.where == Where::File) {
            post.AddFile("f", Write("b.bin", content), "application/octet-stream");
        } else {
            post.SetMultipart();
            post.AddField("f", content);
        }
        ASSERT_TRUE(post.Open());
        handler.Add(&post);
        const std::string request =
            p.Serve(handler, "HTTP/1.0 204 No Content\r\n\r\n", [&] { return o.contents > 0; });
        const std::string marker = "Content-type: multipart/form-data; boundary=";
        const size_t at = request.find(marker);
        ASSERT_NE(at, std::string::npos) << c.name;
        const std::string used =
            request.substr(at + marker.size(), request.find("\r\n", at) - at - marker.size());
        EXPECT_NE(used, planned) << c.name;
        EXPECT_EQ(post.GetBoundary(), used) << c.name;
        const std::string body = request.substr(request.find("\r\n\r\n") + 4);
        EXPECT_NE(body.find(content + "\r\n--" + used + "--\r\n"), std::string::npos) << c.name;
        // Once as the part's delimiter, once as the end.
        size_t count = 0;
        for (size_t i = body.find(used); i != std::string::npos; i = body.find(used, i + 1)) ++count;
        EXPECT_EQ(count, 2u) << c.name;
    }
}

TEST(HttpPostSocket, EachProcessDrawsBoundariesOfItsOwn) {
    // Two children start from the same state; a boundary that followed from it would repeat.
    std::string drawn[2];
    for (std::string& boundary : drawn) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_NE(pid, -1);
        if (pid == 0) {
            const std::string text = HttpPostSocket::NextBoundary();
            _exit(write(fds[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
        }
        close(fds[1]);
        char buf[256];
        for (ssize_t n; (n = read(fds[0], buf, sizeof(buf))) > 0;) boundary.append(buf, size_t(n));
        close(fds[0]);
        waitpid(pid, nullptr, 0);
    }
    EXPECT_NE(drawn[0], drawn[1]);
    for (const std::string& boundary : drawn) {
        ASSERT_GT(boundary.size(), 20u) << boundary;
        EXPECT_EQ(boundary.substr(0, 4), "----");
        EXPECT_TRUE(std::all_of(boundary.begin() + 4, boundary.end(), [](char c) { return isalnum(c); }))
            << boundary;
    }
    EXPECT_NE(HttpPostSocket::NextBoundary(), HttpPostSocket::NextBoundary());
}

}  // namespace
