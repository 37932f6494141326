#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sockets/SocketHandler.h"
#include "sockets/protocols/HttpGetSocket.h"
#include "sockets/protocols/HttpPostSocket.h"
#include "sockets/protocols/HttpPutSocket.h"
#include "tests/sockets/protocols/support/ExternalClient.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

// Python's own server on a listener of ours: files by GET, and PUT and POST bodies read back the
// way its standard library reads them (the multipart parts through its email parser).
const char* const kServer = R"(
import email.parser, email.policy, http.server, socket, sys

class Handler(http.server.SimpleHTTPRequestHandler):
    def reply(self, text):
        data = text.encode()
        self.send_response(200)
        self.send_header('Content-Length', str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def body(self):
        return self.rfile.read(int(self.headers['Content-Length']))

    def do_PUT(self):
        self.reply('PUT host=%s %r' % (self.headers['Host'], self.body()))

    def do_POST(self):
        head = ('Content-Type: %s\r\n\r\n' % self.headers['Content-Type']).encode()
        form = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(head + self.body())
        parts = ['%s|%s|%r' % (p.get_param('name', header='content-disposition'), p.get_filename(),
                               p.get_payload(decode=True)) for p in form.iter_parts()]
        self.reply('POST host=%s defects=%d %s' % (self.headers['Host'], len(form.defects), ' '.join(parts)))

    def log_message(self, *args):
        pass

server = http.server.HTTPServer(('127.0.0.1', 0), lambda *a: Handler(*a, directory=sys.argv[2]),
                                bind_and_activate=False)
server.socket.close()
server.socket = socket.socket(fileno=int(sys.argv[1]))
for _ in range(int(sys.argv[3])):
    server.handle_request()
)";

struct Outcome {
    int contents = 0;
    bool failed = false;
    size_t pos = 0;
    std::string body;
    std::string kept;  // what the socket's buffer holds at the end
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
        if (const unsigned char* data = this->GetDataPtr())
            m_out->kept.assign(reinterpret_cast<const char*>(data), this->GetPos());
    }
    void OnData(const char* buf, size_t len) override {
        Base::OnData(buf, len);
        m_out->body.append(buf, len);
    }

private:
    Outcome* m_out;
};

// A listener on the IPv6 loopback address, or an empty Fd where the host has none.
loopback::Fd ListenIpv6() {
    loopback::Fd fd(socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    sa.sin6_addr = in6addr_loopback;
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 || listen(fd.get(), 16) != 0)
        return loopback::Fd();
    return fd;
}

uint16_t PortOf6(int fd) {
    sockaddr_in6 sa{};
    socklen_t len = sizeof(sa);
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin6_port);
}

TEST(RealHttpServers, PythonServesOurGetAndReadsOurPutAndMultipartPost) {
    REQUIRE_PROGRAM(python, "python3");
    struct Case {
        const char* name;
        std::function<loopback::Fd()> listen;
        std::function<uint16_t(int)> port;
        std::string host;
    } cases[] = {
        {"IPv4", [] { return loopback::Listen(); }, loopback::PortOf, "127.0.0.1"},
        {"an IPv6 literal", ListenIpv6, PortOf6, "[::1]"},
    };
    std::string unavailable;
    for (const Case& c : cases) {
        CapturingLog log;
        SocketHandler handler(&log);
        external::Scratch scratch;
        scratch.Write("page.txt", "a page\r\n");
        const std::string upload = scratch.Write("up\"load.bin", std::string("\0\r\n--x", 6));
        loopback::Fd listener = c.listen();
        if (listener.get() == -1) {
            unavailable = c.name;
            continue;
        }
        fcntl(listener.get(), F_SETFD, 0);
        const std::string authority = c.host + ":" + std::to_string(c.port(listener.get()));
        const std::string url = "http://" + authority;

        Outcome got, put, posted;
        Recording<HttpGetSocket> get(&got, handler, url + "/page.txt", scratch.dir + "/stored.txt");
        handler.Add(&get);
        Recording<HttpPutSocket> putter(&put, handler, url + "/put");
        putter.SetFile(scratch.Write("put.txt", "put body"));
        ASSERT_TRUE(putter.Open()) << c.name;
        handler.Add(&putter);
        Recording<HttpPostSocket> poster(&posted, handler, url + "/post");
        poster.AddField("text", "line1\r\nline2\r\n");
        poster.AddField("q\"name", "v");
        poster.AddFile("file", upload, "application/octet-stream");
        ASSERT_TRUE(poster.Open()) << c.name;
        handler.Add(&poster);

        const external::Result r =
            external::Run(handler, {python, "-c", kServer, std::to_string(listener.get()), scratch.dir, "3"});
        EXPECT_EQ(r.status, 0) << c.name << ": " << r.out;
        loopback::Pump(handler, [&] { return got.contents && put.contents && posted.contents; });

        EXPECT_EQ(got.contents, 1) << c.name;
        EXPECT_FALSE(got.failed) << c.name;
        EXPECT_EQ(scratch.Read("stored.txt"), "a page\r\n") << c.name;
        EXPECT_EQ(put.contents, 1) << c.name;
        EXPECT_FALSE(put.failed) << c.name;
        EXPECT_EQ(put.body, "PUT host=" + authority + " b'put body'") << c.name;
        EXPECT_EQ(posted.contents, 1) << c.name;
        EXPECT_FALSE(posted.failed) << c.name;
        // Fields first, by name, then files; names and paths arrive escaped, every byte of the values.
        EXPECT_EQ(posted.body, "POST host=" + authority +
                                   " defects=0 q%22name|None|b'v' text|None|b'line1\\r\\nline2\\r\\n' file|" +
                                   scratch.dir + "/up%22load.bin|b'\\x00\\r\\n--x'")
            << c.name;
    }
    if (!unavailable.empty()) GTEST_SKIP() << "this host has no loopback address for " << unavailable;
}

TEST(RealHttpServers, ABodyTooLargeForMemoryFailsUnlessAFileKeepsIt) {
    REQUIRE_PROGRAM(python, "python3");
    CapturingLog log;
    SocketHandler handler(&log);
    external::Scratch scratch;
    const size_t size = 20'000'000;
    ASSERT_GT(size, HttpClientSocket::kMaxBuffer);
    scratch.Write("big.bin", std::string(size, 'z'));
    scratch.Write("small.bin", "small");
    loopback::Fd listener = loopback::Listen();
    fcntl(listener.get(), F_SETFD, 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(loopback::PortOf(listener.get()));
    struct Case {
        const char* name;
        std::string path;
        std::string file;
        bool failed;
        std::string kept;  // what GetDataPtr holds at the end
    } cases[] = {
        {"a large body in memory", "/big.bin", "", true, ""},
        {"a large body into a file", "/big.bin", scratch.dir + "/stored.bin", false, ""},
        {"a small body in memory", "/small.bin", "", false, "small"},
    };
    std::vector<std::unique_ptr<Recording<HttpGetSocket>>> gets;
    std::vector<Outcome> outs(std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        gets.push_back(std::make_unique<Recording<HttpGetSocket>>(&outs[i], handler, url + cases[i].path,
                                                                  cases[i].file));
        handler.Add(gets.back().get());
    }
    const external::Result r = external::Run(handler, {python, "-c", kServer, std::to_string(listener.get()),
                                                       scratch.dir, std::to_string(gets.size())});
    EXPECT_EQ(r.status, 0) << r.out;
    loopback::Pump(handler, [&] {
        return std::all_of(outs.begin(), outs.end(), [](const Outcome& o) { return o.contents > 0; });
    });
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const Outcome& o = outs[i];
        EXPECT_EQ(o.contents, 1) << c.name;
        EXPECT_EQ(o.failed, c.failed) << c.name;
        // Every byte still passes by, whether kept or not.
        EXPECT_EQ(o.body.size(), c.path == "/big.bin" ? size : 5u) << c.name;
        EXPECT_EQ(o.pos, o.body.size()) << c.name;
        EXPECT_EQ(o.kept, c.kept) << c.name;
    }
    EXPECT_EQ(log.Count("EndContent", "a body of 20000000 bytes is too large to keep in memory"), 1u);
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(scratch.dir + "/stored.bin", ec), size);
}

}  // namespace
