#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/protocols/HttpdSocket.h"
#include "sockets/protocols/PrivateTempFile.h"
#include "tests/sockets/protocols/support/ExternalClient.h"
#include "tests/sockets/protocols/support/HttpTestServer.h"
#include "tests/sockets/protocols/support/SmtpTestServer.h"
#include "tests/sockets/support/CapturingLog.h"

namespace {

template <class Server, class App>
port_t Serve(SocketHandler& handler, App* app) {
    auto* listener = new ListenSocket(handler, std::make_unique<Server>(handler, app));
    listener->SetDeleteByHandler();
    EXPECT_EQ(listener->Bind("127.0.0.1", 0), 0);
    handler.Add(listener);
    return listener->GetPort();
}

// An ordinary HttpdSocket page: its form entries as the body, head and body sent apart.
class FormPage : public HttpdSocket {
public:
    FormPage(ISocketHandler& handler, void*) : HttpdSocket(handler) {}
    Socket* Create() override { return new FormPage(Handler(), nullptr); }

protected:
    void OnPageRequest() override {
        std::string body = GetMethod() + " " + GetUri() + " ";
        std::string n, v;
        for (bool ok = GetForm()->getfirst(n, v); ok; ok = GetForm()->getnext(n, v))
            body += n + "=" + v + ";";
        SetStatus("200");
        SetStatusText("OK");
        AddResponseHeader("Content-Length", std::to_string(body.size()));
        SendResponse();
        Send(body);
    }
};

class RealHttpClients : public ::testing::Test {
protected:
    void SetUp() override {
        url = "http://127.0.0.1:" + std::to_string(Serve<HttpTestServer>(handler, &app));
    }
    CapturingLog log;
    SocketHandler handler{&log};
    HttpTestApp app;
    std::string url;
};

TEST_F(RealHttpClients, CurlReusesTheConnectionUnlessAskedToClose) {
    REQUIRE_PROGRAM(curl, "curl");
    external::Result r = external::Run(handler, {curl, "-s", "-o", "/dev/null", "-o", "/dev/null", "-w",
                                                 "%{http_code}\n", url + "/a", url + "/b"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "200\n200\n");
    EXPECT_EQ(app.connections, 1);
    r = external::Run(handler, {curl, "-s", "-o", "/dev/null", "-o", "/dev/null", "-H", "Connection: close",
                                url + "/c", url + "/d"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(app.connections, 3);
    EXPECT_EQ(app.requests, (std::vector<std::string>{"GET /a", "GET /b", "GET /c", "GET /d"}));
}

TEST_F(RealHttpClients, CurlSendsAndStoresCookies) {
    REQUIRE_PROGRAM(curl, "curl");
    external::Scratch scratch;
    app.cookies = {"sid=xyz; path=/"};
    const external::Result r = external::Run(
        handler, {curl, "-s", "-o", "/dev/null", "-b", "a=1; b=2", "-c", scratch.dir + "/jar", url + "/"});
    EXPECT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(app.details.size(), 1u);
    EXPECT_EQ(app.details[0], "cookie a=1;cookie b=2;entry =;");
    EXPECT_NE(scratch.Read("jar").find("sid\txyz"), std::string::npos) << scratch.Read("jar");
}

TEST_F(RealHttpClients, CurlMultipartUploadLandsInAPrivateFileUnderOurOwnName) {
    REQUIRE_PROGRAM(curl, "curl");
    external::Scratch scratch;
    const std::string path = scratch.Write("data.bin", std::string(300000, 'u'));
    const external::Result r =
        external::Run(handler, {curl, "-s", "-o", "/dev/null", "-F", "note=hi", "-F",
                                "up=@" + path + ";filename=../../evil name.txt", url + "/up"});
    EXPECT_EQ(r.status, 0) << r.out;
    ASSERT_EQ(app.details.size(), 1u);
    const std::string& d = app.details[0];
    EXPECT_NE(d.find("entry note=hi;"), std::string::npos) << d;
    EXPECT_NE(d.find("entry up=evil name.txt;stored " + PrivateTempFile::Folder() + "/upload-"),
              std::string::npos)
        << d;
    EXPECT_NE(d.find(" 300000;"), std::string::npos) << d;
}

TEST_F(RealHttpClients, CurlDownloads200MegabytesThroughABoundedQueue) {
    REQUIRE_PROGRAM(curl, "curl");
    app.bodySize = 200u << 20;
    const external::Result r = external::Run(
        handler, {curl, "-s", "-o", "/dev/null", "-w", "%{size_download}", url + "/big"}, 200000);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, std::to_string(200u << 20));
    // A fast reader may keep the queue empty throughout; the promise is only that it stays small.
    EXPECT_LE(app.maxOutput, 2 * HttpBaseSocket::kPiece);
}

TEST_F(RealHttpClients, PythonHttpClientKeepsAliveAcrossMethodsAndChunkedBodies) {
    REQUIRE_PROGRAM(python, "python3");
    const std::string port = url.substr(url.rfind(':') + 1);
    const std::string script =
        "import http.client\n"
        "c = http.client.HTTPConnection('127.0.0.1', " +
        port +
        ", timeout=10)\n"
        "form = {'Content-Type': 'application/x-www-form-urlencoded'}\n"
        "c.request('GET', '/a?x=1'); r = c.getresponse(); print(r.status, r.read().decode())\n"
        "c.request('POST', '/b', body='k=v', headers=form); r = c.getresponse(); print(r.status, "
        "r.read().decode())\n"
        "c.request('POST', '/c', body=iter([b'k=', b'chunked']), headers=form, encode_chunked=True)\n"
        "r = c.getresponse(); print(r.status, r.read().decode())\n"
        "c.request('POST', '/c2', body=iter([b'k=', b'again']), headers=form, encode_chunked=True)\n"
        "r = c.getresponse(); print(r.status, r.read().decode())\n"
        "c.request('HEAD', '/d'); r = c.getresponse(); print(r.status, len(r.read()))\n";
    const external::Result r = external::Run(handler, {python, "-c", script});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "200 GET /a x=1;\n200 POST /b k=v;\n200 POST /c k=chunked;\n200 POST /c2 k=again;\n200 0\n");
    EXPECT_EQ(app.connections, 1);
}

TEST_F(RealHttpClients, CurlExpectingContinueGetsItOrTheRefusalAtOnceFromBothServers) {
    REQUIRE_PROGRAM(curl, "curl");
    external::Scratch scratch;
    const std::string big = scratch.Write("big", std::string(2u << 20, 'b'));  // over either cap
    const std::string page =
        "http://127.0.0.1:" + std::to_string(Serve<FormPage>(handler, static_cast<void*>(nullptr)));
    struct Case {
        std::string url;
        std::string data;
        const char* answer;  // the body, then the status
    };
    const Case cases[] = {
        {url, "k=v", "POST /x k=v;\n200 "},
        {page, "k=v", "POST /x k=v;\n200 "},
        {url, "@" + big, "\n413 "},
        {page, "@" + big, "\n413 "},
    };
    for (const Case& c : cases) {
        // Without an answer curl sends the body after this wait, and the test fails on the missing 100.
        const external::Result r = external::Run(
            handler, {curl, "-s", "-v", "--expect100-timeout", "10", "-H", "Expect: 100-continue", "-w",
                      "\n%{http_code} ", "--data-binary", c.data, c.url + "/x"});
        const std::string scope = c.url + " " + c.data;
        EXPECT_EQ(r.status, 0) << scope << r.out;
        const bool accepted = c.answer[0] != '\n';
        EXPECT_EQ(r.out.find("< HTTP/1.1 100 Continue") != std::string::npos, accepted) << scope << r.out;
        EXPECT_NE(r.out.find(c.answer), std::string::npos) << scope << r.out;
    }
}

class RealSmtpClients : public ::testing::Test {
protected:
    void SetUp() override { port = std::to_string(Serve<SmtpTestServer>(handler, &smtp)); }
    CapturingLog log;
    SocketHandler handler{&log};
    SmtpLog smtp;
    std::string port;
};

TEST_F(RealSmtpClients, PythonSmtplibDeliversADotStuffedMessage) {
    REQUIRE_PROGRAM(python, "python3");
    const std::string script =
        "import smtplib\n"
        "s = smtplib.SMTP('127.0.0.1', " +
        port +
        ", timeout=10)\n"
        "s.sendmail('Sender@B.Example', ['x@y.example'], 'Subject: hi\\r\\n.hidden: "
        "x\\r\\n\\r\\nline1\\r\\n.dot\\r\\n')\n"
        "s.quit()\n";
    const external::Result r = external::Run(handler, {python, "-c", script});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(smtp.Has("from sender b.example example b.example"));
    EXPECT_TRUE(smtp.Has("to x@y.example"));
    EXPECT_TRUE(smtp.Has("header Subject=hi"));
    EXPECT_TRUE(smtp.Has("header .hidden=x"));
    EXPECT_TRUE(smtp.Has("line .dot"));
    EXPECT_TRUE(smtp.Has("done"));
    EXPECT_TRUE(smtp.Has("abort 3"));
}

TEST_F(RealSmtpClients, ARefusedMessageIsDroppedAtOnceAndNothingOfItReachesTheNext) {
    REQUIRE_PROGRAM(python, "python3");
    // A client that goes on with MAIL after a refusal, without RSET.
    smtp.maxMessage = 1100;
    const std::string script =
        "import smtplib\n"
        "s = smtplib.SMTP('127.0.0.1', " +
        port +
        ", timeout=10)\n"
        "s.ehlo()\n"
        "def send(body):\n"
        "    s.mail('a@b.example'); s.rcpt('x@y.example'); print(s.data(body))\n"
        "send('Subject: one\\r\\n\\r\\n' + 'refused line\\r\\n' * 100)\n"
        "send('Subject: two\\r\\n\\r\\nkept\\r\\n')\n"
        "send('Subject: three\\r\\n\\r\\n' + 'x' * 999 + '\\r\\n')\n"
        "send('Subject: four\\r\\n\\r\\n' + 'x' * 998 + '\\r\\n')\n"
        "s.quit()\n";
    const external::Result r = external::Run(handler, {python, "-c", script});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "(552, b'Message too large')\n(250, b'OK')\n(500, b'Line too long.')\n(250, b'OK')\n");
    EXPECT_EQ(smtp.delivered,
              (std::vector<std::string>{"header Subject=two;line kept;",
                                        "header Subject=four;line " + std::string(998, 'x') + ";"}));
    // Each refusal is told as it happens, with its own reason.
    EXPECT_EQ(std::count(smtp.events.begin(), smtp.events.end(), "abort 5"), 1);
    EXPECT_EQ(std::count(smtp.events.begin(), smtp.events.end(), "abort 6"), 1);
}

TEST_F(RealSmtpClients, SwaksCompletesASession) {
    REQUIRE_PROGRAM(swaks, "swaks");
    const external::Result r = external::Run(
        handler, {swaks, "--server", "127.0.0.1", "--port", port, "--from", "a@b.example", "--to",
                  "x@y.example", "--header", "Subject: swaks test", "--body", "hello from swaks"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(smtp.Has("header Subject=swaks test")) << r.out;
    EXPECT_TRUE(smtp.Has("line hello from swaks"));
    EXPECT_TRUE(smtp.Has("done"));
}

}  // namespace
