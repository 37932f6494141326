#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sockets/IFile.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/protocols/Ajp13Socket.h"
#include "tests/sockets/protocols/support/ApacheFrontEnd.h"
#include "tests/sockets/protocols/support/ExternalClient.h"
#include "tests/sockets/support/CapturingLog.h"

namespace {

// Bytes that show a lost, doubled or misplaced piece, unlike a run of one letter.
std::string Pattern(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>('a' + i % 23 + (i / 8100) % 3);
    return s;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Answers "/…/big" with 20,000 bytes, "/…/huge" with headers that do not fit a packet, and echoes
// every other request's body (up to kMaxBody); counts the responses it could not send.
class EchoContainer : public Ajp13Socket {
public:
    static constexpr uint64_t kMaxBody = 100000;
    EchoContainer(ISocketHandler& handler, int* failures) : Ajp13Socket(handler), m_failures(failures) {
        SetMaxBodySize(kMaxBody);
    }
    Socket* Create() override { return new EchoContainer(Handler(), m_failures); }
    void OnRequest(const HttpRequest& request) override {
        HttpResponse response("HTTP/1.1");
        response.SetHttpStatusCode(200);
        response.SetHttpStatusMsg("OK");
        response.SetContentType("application/octet-stream");
        if (EndsWith(request.Uri(), "/huge")) response.SetHeader("X-Huge", std::string(9000, 'h'));
        if (EndsWith(request.Uri(), "/big")) {
            response.Write(Pattern(20000));
        } else if (IFile* body = request.Body()) {
            body->reset_read();
            char buf[8192];
            for (size_t n; (n = body->fread(buf, 1, sizeof(buf))) > 0;) response.Write(buf, n);
        }
        Respond(response);
    }
    void OnResponseComplete() override {}

protected:
    void OnResponseFailed(const std::string&) override { ++*m_failures; }

private:
    int* m_failures;
};

class ApacheAjp : public ::testing::Test {
protected:
    void SetUp() override {
        auto* listener = new ListenSocket(handler, std::make_unique<EchoContainer>(handler, &failures));
        listener->SetDeleteByHandler();
        ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
        port = listener->GetPort();
        handler.Add(listener);
    }

    struct Answer {
        std::string status;
        std::string body;
    };
    // One request through curl while the handler runs; the status and the body that came back.
    Answer Curl(const std::string& curl, const std::string& url,
                const std::vector<std::string>& options = {}) {
        std::vector<std::string> argv = {curl, "-s",          "--max-time", "30", "-o", scratch.dir + "/body",
                                         "-w", "%{http_code}"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(url);
        const external::Result r = external::Run(handler, argv);
        return {r.out, scratch.Read("body")};
    }

    CapturingLog log;
    SocketHandler handler{&log};
    int failures = 0;
    port_t port{0};
    external::Scratch scratch;
};

#define START_APACHE(front)             \
    REQUIRE_PROGRAM(apache, "apache2"); \
    REQUIRE_PROGRAM(curl, "curl");      \
    ApacheFrontEnd front(apache, port); \
    ASSERT_TRUE(front.Running()) << "apache2 did not start: " << front.ErrorLog()

TEST_F(ApacheAjp, GetsA20000ByteBody) {
    START_APACHE(front);
    const Answer a = Curl(curl, front.Url("/plain/big"));
    EXPECT_EQ(a.status, "200") << front.ErrorLog();
    EXPECT_EQ(a.body.size(), 20000u);
    EXPECT_TRUE(a.body == Pattern(20000)) << "the body differs";
}

TEST_F(ApacheAjp, PostedBodiesReachTheApplicationWithAndWithoutALength) {
    START_APACHE(front);
    const std::string body = Pattern(50000);
    const std::string file = scratch.Write("post", body);
    const std::vector<std::string> post = {"-H", "Content-Type: application/octet-stream", "--data-binary",
                                           "@" + file};
    Answer a = Curl(curl, front.Url("/plain/post"), post);
    EXPECT_EQ(a.status, "200") << front.ErrorLog();
    EXPECT_EQ(a.body.size(), body.size());
    EXPECT_TRUE(a.body == body) << "the echoed body differs";
    std::vector<std::string> chunked = post;
    chunked.insert(chunked.begin(), {"-H", "Transfer-Encoding: chunked"});
    a = Curl(curl, front.Url("/plain/chunked"), chunked);
    EXPECT_EQ(a.status, "200") << front.ErrorLog();
    EXPECT_EQ(a.body.size(), body.size());
    EXPECT_TRUE(a.body == body) << "the echoed chunked body differs";
}

TEST_F(ApacheAjp, AFrontEndThatPingsFirstIsServed) {
    START_APACHE(front);
    Answer a = Curl(curl, front.Url("/pinged/big"));
    EXPECT_EQ(a.status, "200") << front.ErrorLog();
    EXPECT_TRUE(a.body == Pattern(20000)) << "the body differs";
    a = Curl(curl, front.Url("/pinged/post"), {"--data-binary", "k=v"});
    EXPECT_EQ(a.status, "200") << front.ErrorLog();
    EXPECT_EQ(a.body, "k=v");
}

TEST_F(ApacheAjp, ABodyOverTheCapIsAnswered413WithAndWithoutALength) {
    START_APACHE(front);
    const std::string file = scratch.Write("post", Pattern(EchoContainer::kMaxBody + 1));
    const std::vector<std::string> post = {"-H", "Content-Type: application/octet-stream", "--data-binary",
                                           "@" + file};
    std::vector<std::string> chunked = post;
    chunked.insert(chunked.begin(), {"-H", "Transfer-Encoding: chunked"});
    for (const auto& options : {post, chunked}) {
        const Answer a = Curl(curl, front.Url("/plain/post"), options);
        EXPECT_EQ(a.status, "413") << front.ErrorLog();
    }
    EXPECT_EQ(log.Count("Ajp13Socket"), 2u);
    // The body at the cap is still echoed.
    scratch.Write("post", Pattern(EchoContainer::kMaxBody));
    const Answer a = Curl(curl, front.Url("/plain/post"), post);
    EXPECT_EQ(a.status, "200") << front.ErrorLog();
    EXPECT_EQ(a.body.size(), EchoContainer::kMaxBody);
}

TEST_F(ApacheAjp, HeadersThatDoNotFitAPacketReachTheLogAndTheApplication) {
    START_APACHE(front);
    Answer a = Curl(curl, front.Url("/plain/huge"));
    EXPECT_EQ(a.status, "500") << front.ErrorLog();
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(log.Count("Ajp13Socket::Respond", "response headers do not fit in a packet"), 1u);
    // The front end goes on with the next request.
    a = Curl(curl, front.Url("/plain/big"));
    EXPECT_EQ(a.status, "200") << front.ErrorLog();
    EXPECT_TRUE(a.body == Pattern(20000)) << "the body differs";
}

}  // namespace
