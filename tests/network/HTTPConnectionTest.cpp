#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "network/NetworkErrors.h"
#include "network/THTTPConnection.h"
#include "network/TVersionTask.h"
#include "network/UThreadUIUpdate.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/network/support/LoopbackServer.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

// What reached the main thread: "alert N" or "update N flag F".
class Posted {
public:
    Posted() {
        NSNotificationCenter::defaultCenter().addObserver(
            this, "DoUIAlert", nullptr, [this](const NSNotification& n) {
                auto alert = UIAlertStructFromBytes(*n.userInfo->at(kUIAlertStructKey).data());
                entries.push_back("alert " + std::to_string(alert->alertNumber) + " style " +
                                  std::to_string(alert->style));
            });
        NSNotificationCenter::defaultCenter().addObserver(
            this, "DoUIUpdate", nullptr, [this](const NSNotification& n) {
                const auto& data = *n.userInfo->at(kUIUpdateStructKey).data();
                UIUpdateStruct update;
                std::copy(data.begin(), data.end(), update.bytes.begin());
                entries.push_back("update " + std::to_string(update.Code()) + " flag " +
                                  std::to_string(update.Flag()));
            });
    }
    ~Posted() { NSNotificationCenter::defaultCenter().removeObserver(this); }
    std::vector<std::string> entries;
};

// What a version check on the worker showed, and after how many seconds.
struct Answer {
    std::vector<std::string> posted;
    double seconds;
};

class HTTPConnectionTest : public testing::Test {
protected:
    HTTPConnectionTest() : scoped(scheduler) { connection.SetClock(clock); }
    void Aim(uint16_t port) {
        TServerConfig server;
        server.host = "127.0.0.1";
        server.port = port;
        connection.SetServer(server);
    }
    SInt64 Seconds() { return clock.now() / 1'000'000; }
    double Now() { return static_cast<double>(clock.now()) / 1e6; }
    static std::string Page(const std::string& head) { return "HTTP/1.0 200 OK\r\n\r\n<html><head>" + head; }
    // Runs a version check as the worker does, aimed at the port.
    Answer AskedCheck(bool asked, uint16_t port);

    VirtualScheduler scheduler;
    ScopedScheduler scoped;
    VirtualClock clock;
    THTTPConnection connection;
    Posted posted;
};

Answer HTTPConnectionTest::AskedCheck(bool asked, uint16_t port) {
    TVersionTask task(asked, 2);
    TServerConfig server;
    server.host = "127.0.0.1";
    server.port = port;
    task.SetServer(server);
    task.SetConnection(&connection);
    const double start = Now();
    EXPECT_EQ(task.PerformTask(), 0);
    EXPECT_TRUE(task.Finished());
    return {posted.entries, Now() - start};
}

TEST_F(HTTPConnectionTest, TheVersionGetGoesOutExactlyAndACurrentVersionIsToldWhenAsked) {
    LoopbackServer server(Page("<meta name=\"BEATWICKVersion\" content=\"160\">"), &clock);
    Aim(server.Port());
    connection.CheckVersion(true, 2);
    EXPECT_EQ(server.Request(), "GET http://127.0.0.1:" + std::to_string(server.Port()) +
                                    "/BEATWICKV.html HTTP/1.0\r\n"
                                    "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
                                    "\r\n"
                                    "\r\n");
    EXPECT_EQ(posted.entries, std::vector<std::string>{"alert 64 style 1"});
    EXPECT_EQ(connection.GetSocketObject(), nullptr) << "dropped after every request";
}

TEST_F(HTTPConnectionTest, TheStatusDecidesSuccess) {
    struct Case {
        const char* reply;
        SInt32 thrownStatus;  // -1: success
    } cases[] = {
        {"HTTP/1.0 204 No Content\r\n\r\n", -1},
        {"HTTP/1.0 302 Found\r\nLocation: http://elsewhere.invalid/\r\n\r\n", 302},
        {"HTTP/1.0\r\n\r\n", 0},
        {"HTTP/1.0 404 Not Found\r\n\r\nnone", 404},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        LoopbackServer server(c.reply, &clock);
        THTTPMessage message;
        THTTPResponse response;
        SInt32 status = -1;
        try {
            connection.HGet("127.0.0.1", "/x", message, response, server.Port());
        } catch (const THTTPResponse& thrown) {
            status = thrown.GetStatus();
        }
        EXPECT_EQ(status, c.thrownStatus);
        EXPECT_EQ(connection.GetSocketObject(), nullptr);
    }
}

// A HEAD reply and a 204 carry no body whatever their Content-Length: the header ends them.
TEST_F(HTTPConnectionTest, ABodilessReplyEndsWithItsHeader) {
    using W = std::vector<LoopbackServer::Write>;
    for (bool head : {true, false}) {
        SCOPED_TRACE(head ? "HEAD" : "204");
        LoopbackServer server(W{{0, head ? "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n"
                                         : "HTTP/1.0 204 None\r\nContent-Length: 100\r\n\r\n"},
                                {60'000'000, ""}},
                              &clock);
        THTTPMessage message;
        THTTPResponse response;
        const double start = Now();
        if (head)
            EXPECT_NO_THROW(connection.Head("127.0.0.1", "/x", message, response, server.Port()));
        else
            EXPECT_NO_THROW(connection.HGet("127.0.0.1", "/x", message, response, server.Port()));
        EXPECT_LT(Now() - start, 0.5);
    }
}

// The longest status line read whole: 513 characters and its terminator fit the line buffer.
TEST_F(HTTPConnectionTest, AStatusLineOfTheFullLengthIsReadWhole) {
    std::string line = "HTTP/1.0 204 ";
    line += std::string(THTTPConnection::kStatusLineLength - line.size(), 'x');
    LoopbackServer server(line + "\r\n\r\n", &clock);
    THTTPMessage message;
    THTTPResponse response;
    EXPECT_NO_THROW(connection.HGet("127.0.0.1", "/x", message, response, server.Port()));
    EXPECT_EQ(response.GetStatus(), 204);
}

TEST_F(HTTPConnectionTest, AnUnknownMethodOrAnEmptyTargetIsRefusedBeforeConnecting) {
    THTTPMessage message;
    THTTPResponse response;
    for (auto [method, path] :
         {std::pair{static_cast<EHTTPMethod>(9), "/x"}, std::pair{EHTTPMethod::kGet, ""}}) {
        try {
            connection.DoHTTPMethod(method, "127.0.0.1", path, message, response, 1);
            ADD_FAILURE();
        } catch (int code) {
            EXPECT_EQ(code, kAssertionErr);
        }
    }
}

// A newer version is an update record; when asked, the current one or an older one is alert 64.
// A page without a usable number is a failure.
TEST_F(HTTPConnectionTest, TheVersionPageDecidesWhatIsPosted) {
    struct Case {
        const char* head;
        bool asked;
        std::vector<std::string> posted;  // empty with `fails`
        bool fails;
    } cases[] = {
        {"<meta name=\"BEATWICKVersion\" content=161>", true, {"update 13 flag 1"}, false},
        {"<meta name=\"BEATWICKVersion\" content=161>", false, {"update 13 flag 0"}, false},
        {"<meta name=\"BEATWICKVersion\" content=\"200\">", true, {"update 60 flag 1"}, false},
        {"<meta name=\"BEATWICKVersion\" content=\"160\">", true, {"alert 64 style 1"}, false},
        {"<meta name=\"BEATWICKVersion\" content=\"150\">", true, {"alert 64 style 1"}, false},
        {"<meta name=\"BEATWICKVersion\" content=\"160\">", false, {}, false},
        {"<meta name=\"BEATWICKVersion\" content=\"150\">", false, {}, false},
        {"<meta name=\"BEATWICKVersion\" content=\"0\">", true, {}, true},
        {"<meta name=\"BEATWICKVersion\" content=\"-5\">", true, {}, true},
        {"<meta name=\"BEATWICKVersion\" content=\"1000\">", true, {}, true},
        {"<meta name=\"BEATWICKVersion\" content=\"70000\">", true, {}, true},
        {"<meta name=\"BEATWICKVersion\"content=\"170\">", true, {}, true},
        {"<meta name=\"BEATWICKVersion", true, {}, true},
        {"\x01\xff garbage", true, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.head) + (c.asked ? " asked" : " automatic"));
        posted.entries.clear();
        LoopbackServer server(Page(c.head), &clock);
        Aim(server.Port());
        try {
            connection.CheckVersion(c.asked, 2);
            EXPECT_FALSE(c.fails);
        } catch (int code) {
            EXPECT_TRUE(c.fails);
            EXPECT_EQ(code, kNetBadReplyErr);
        }
        EXPECT_EQ(posted.entries, c.posted);
    }
}

TEST(HTTPStatus, IsExactlyThreeDigits) {
    struct Case {
        const char* line;
        SInt32 status;
    } cases[] = {
        {"HTTP/1.0 200 OK", 200}, {"HTTP/1.0 204", 204},   {"HTTP/1.0 4294967496 OK", 0},
        {"HTTP/1.0 2000 OK", 0},  {"HTTP/1.0 20 OK", 0},   {"HTTP/1.0 +200 OK", 0},
        {"HTTP/1.0  200 OK", 0},  {"HTTP/1.0 200x OK", 0}, {"HTTP/1.0 404 Not Found", 404},
    };
    for (const Case& c : cases) {
        THTTPResponse response;
        response.SetResponse(c.line);
        EXPECT_EQ(response.GetStatus(), c.status) << c.line;
    }
}

TEST(VersionPage, ReadsTheNumberAfterTheKeyAsASigned16BitValue) {
    struct Case {
        const char* text;
        SInt16 version;
    } cases[] = {
        {"<meta name=\"BEATWICKVersion\" content=\"160\">", 160},
        {"<meta name=\"BEATWICKVersion\" content= \"161\">", 161},
        {"<meta name=\"BEATWICKVersion\" content=\"70000\">", 4464},
        {"<meta name=\"BEATWICKVersion\" content=\"-5\">", -5},
        {"<meta name=\"BEATWICKVersion\"content=\"170\">", 0},
        {"<meta name=\"QKVersion\" content=\"170\">", 0},
        {"BEATWICKVersion", 0},
        {"BEATWICKVersion\"", 0},
        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(THTTPConnection::ParseVersionPage(c.text, "BEATWICKVersion"), c.version) << c.text;
}

// Each failure of an asked check raises "CantCheckVersion" within its time-outs (45 s to connect,
// 5 s for the reply), and at once when the system already has the answer; an automatic check
// stays silent.
TEST_F(HTTPConnectionTest, AnAskedCheckAlwaysEndsInAnAnswer) {
    const std::vector<std::string> current{"alert 64 style 1"};
    const std::vector<std::string> cantCheck{"alert 65 style 0"};
    const std::string page = Page("<meta name=\"BEATWICKVersion\" content=\"160\">");
    auto trickled = [](const std::string& text, SInt64 pause) {
        std::vector<LoopbackServer::Write> writes;
        for (char c : text) writes.push_back({pause, std::string(1, c)});
        return writes;
    };
    // The status line at once, the rest trickled.
    auto trickled17 = [&](const std::string& text, SInt64 pause) {
        auto writes = trickled(text.substr(17), pause);
        writes.insert(writes.begin(), {0, text.substr(0, 17)});
        return writes;
    };
    using W = std::vector<LoopbackServer::Write>;
    struct Case {
        const char* name;
        W script;
        std::vector<std::string> posted;
        double maxSeconds;  // 0.5 for at once
    } cases[] = {
        {"not found", W{{0, "HTTP/1.0 404 Not Found\r\n\r\n"}}, cantCheck, 0.5},
        {"closed without a word", W{{0, ""}}, cantCheck, 0.5},
        {"silent, kept open", W{{60'000'000, ""}}, cantCheck, 5.5},
        {"trickled a byte a second", trickled(page, 1'000'000), cantCheck, 5.5},
        {"a page trickled a byte a second", trickled17(page, 1'000'000), cantCheck, 5.5},
        {"a status past 32 bits", W{{0, "HTTP/1.0 4294967496 OK\r\n\r\n" + page.substr(17)}}, cantCheck, 0.5},
        {"a status line past the window", W{{0, "HTTP/1.0 200 " + std::string(40000, 'x') + "\r\n\r\n"}},
         cantCheck, 0.5},
        {"a body cut short of its length",
         W{{0,
            "HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n<meta name=\"BEATWICKVersion\" content=\"160\">"}},
         cantCheck, 0.5},
        {"an urgent byte before the reply", W{{0, "!", true}, {0, page}}, current, 0.5},
        {"header and body apart", W{{0, "HTTP/1.0 200 OK\r\n\r\n"}, {300'000, page.substr(19)}}, current,
         1.0},
        {"a header past 16 KB",
         W{{0, "HTTP/1.0 200 OK\r\nX-Pad: " + std::string(20000, 'p') + "\r\n"}, {100'000, page.substr(17)}},
         current, 1.0},
        {"trickled a byte every 10 ms", trickled(page, 10'000), current, 2.0},
        {"complete at its length, kept open",
         W{{0,
            "HTTP/1.0 200 OK\r\nContent-Length: 43\r\n\r\n<meta name=\"BEATWICKVersion\" content=\"160\">"},
           {60'000'000, ""}},
         current, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        posted.entries.clear();
        LoopbackServer server(c.script, &clock);
        const Answer answer = AskedCheck(true, server.Port());
        EXPECT_EQ(answer.posted, c.posted);
        EXPECT_LE(answer.seconds, c.maxSeconds);
        EXPECT_EQ(connection.GetSocketObject(), nullptr);
    }

    posted.entries.clear();
    LoopbackServer notFound("HTTP/1.0 404 Not Found\r\n\r\n", &clock);
    EXPECT_TRUE(AskedCheck(false, notFound.Port()).posted.empty());
}

TEST_F(HTTPConnectionTest, ARefusedPortAlertsAtOnceAndASilentHostAfterOneConnectTimeOut) {
    uint16_t closedPort;
    {
        loopback::Fd listener = loopback::Listen();
        closedPort = loopback::PortOf(listener.get());
    }
    Answer answer = AskedCheck(true, closedPort);
    EXPECT_EQ(answer.posted, std::vector<std::string>{"alert 65 style 0"});
    EXPECT_LT(answer.seconds, 0.5);

    // A listener with a full backlog leaves the handshake unanswered.
    loopback::Fd listener = loopback::Listen(0);
    const uint16_t port = loopback::PortOf(listener.get());
    std::vector<loopback::Fd> fillers;
    for (int i = 0; i < 4; ++i) fillers.push_back(loopback::Connect(port, true));
    posted.entries.clear();
    answer = AskedCheck(true, port);
    EXPECT_EQ(answer.posted, std::vector<std::string>{"alert 65 style 0"});
    EXPECT_GE(answer.seconds, 45);
    EXPECT_LE(answer.seconds, 45.5) << "one connect, and no request on a socket still connecting";

    Aim(port);
    try {
        connection.CheckVersion(true, 2);
        ADD_FAILURE();
    } catch (int code) {
        EXPECT_EQ(code, kNetTimeoutErr) << "the connect's own failure";
    }
}

// The version check's 5 seconds used to stay for the next post.
TEST_F(HTTPConnectionTest, APostAfterAVersionCheckWaitsItsOwn20Seconds) {
    {
        LoopbackServer notFound("HTTP/1.0 404 Not Found\r\n\r\n", &clock);
        Aim(notFound.Port());
        EXPECT_THROW(connection.CheckVersion(false, 2), THTTPResponse);
    }
    LoopbackServer silent(std::vector<LoopbackServer::Write>{{60'000'000, ""}}, &clock);
    Aim(silent.Port());
    const SInt64 start = Seconds();
    try {
        connection.SendMessage("a@b.invalid", "S", "text", 4);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetTimeoutErr);
    }
    EXPECT_GE(Seconds() - start, 20);
    EXPECT_LE(Seconds() - start, 22);
}

}  // namespace
