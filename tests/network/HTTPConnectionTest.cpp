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
    static std::string Page(const std::string& head) { return "HTTP/1.0 200 OK\r\n\r\n<html><head>" + head; }

    VirtualScheduler scheduler;
    ScopedScheduler scoped;
    VirtualClock clock;
    THTTPConnection connection;
    Posted posted;
};

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

TEST_F(HTTPConnectionTest, TheVersionPageDecidesWhatIsPosted) {
    struct Case {
        const char* head;
        std::vector<std::string> posted;
    } cases[] = {
        {"<meta name=\"BEATWICKVersion\" content=161>", {"update 13 flag 1"}},
        {"<meta name=\"BEATWICKVersion\" content=\"200\">", {"update 60 flag 1"}},
        {"<meta name=\"BEATWICKVersion\" content=\"160\">", {"alert 64 style 1"}},
        {"<meta name=\"BEATWICKVersion\" content=\"0\">", {}},
        {"<meta name=\"BEATWICKVersion\" content=\"-5\">", {}},
        {"<meta name=\"BEATWICKVersion\" content=\"1000\">", {}},
        {"<meta name=\"BEATWICKVersion\" content=\"70000\">", {}},
        {"<meta name=\"BEATWICKVersion\"content=\"170\">", {}},
        {"<meta name=\"BEATWICKVersion", {}},
        {"<meta name=\"BEATWICKVersion\"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.head);
        posted.entries.clear();
        LoopbackServer server(Page(c.head), &clock);
        Aim(server.Port());
        connection.CheckVersion(true, 2);
        EXPECT_EQ(posted.entries, c.posted);
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

// Each failure of an asked check raises "CantCheckVersion"; an automatic check stays silent.
TEST_F(HTTPConnectionTest, AskedVersionFailuresRaiseAlert65) {
    auto run = [&](bool asked, uint16_t port) {
        TVersionTask task(asked, 2);
        TServerConfig server;
        server.host = "127.0.0.1";
        server.port = port;
        task.SetServer(server);
        task.SetConnection(&connection);
        EXPECT_EQ(task.PerformTask(), 0);
        EXPECT_FALSE(task.Succeeded());
        EXPECT_TRUE(task.Finished());
    };
    {
        LoopbackServer notFound("HTTP/1.0 404 Not Found\r\n\r\n", &clock);
        run(true, notFound.Port());
    }
    {
        LoopbackServer silent("", &clock);
        const SInt64 start = Seconds();
        run(true, silent.Port());
        EXPECT_LE(Seconds() - start, 7) << "the version check waits 5 seconds for its reply";
    }
    uint16_t closedPort;
    {
        loopback::Fd listener = loopback::Listen();
        closedPort = loopback::PortOf(listener.get());
    }
    run(true, closedPort);
    EXPECT_EQ(posted.entries, std::vector<std::string>(3, "alert 65 style 0"));

    posted.entries.clear();
    LoopbackServer notFound("HTTP/1.0 404 Not Found\r\n\r\n", &clock);
    run(false, notFound.Port());
    EXPECT_TRUE(posted.entries.empty());
}

// The version check's 5 seconds used to stay for the next post.
TEST_F(HTTPConnectionTest, APostAfterAVersionCheckWaitsItsOwn20Seconds) {
    {
        LoopbackServer notFound("HTTP/1.0 404 Not Found\r\n\r\n", &clock);
        Aim(notFound.Port());
        EXPECT_THROW(connection.CheckVersion(false, 2), THTTPResponse);
    }
    LoopbackServer silent("", &clock);
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
