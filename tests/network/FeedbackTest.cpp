#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "network/NetworkManager.h"
#include "network/TFeedbackTask.h"
#include "network/THTTPThread.h"
#include "network/TThread.h"
#include "network/TVersionTask.h"
#include "network/UThreadUIUpdate.h"
#include "platform/Foundation/NotificationCenter.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "tests/network/support/LoopbackServer.h"

namespace {

// Runs the real worker against a loopback server named through the environment.
class FeedbackTest : public testing::Test {
protected:
    FeedbackTest() : scoped(scheduler) {
        NSNotificationCenter::defaultCenter().addObserver(this, "", nullptr, [this](const NSNotification& n) {
            std::string entry = n.name;
            if (n.object == &formA) entry += "@A";
            if (n.object == &formB) entry += "@B";
            if (n.name == "DoUIAlert")
                entry +=
                    " " + std::to_string(
                              UIAlertStructFromBytes(*n.userInfo->at(kUIAlertStructKey).data())->alertNumber);
            if (n.name != "DoUIUpdate") seen.push_back(entry);
        });
    }
    ~FeedbackTest() override {
        NetworkManager::sharedNetworkManager().safeDestroyThreads();
        scheduler.runPending();
        NSNotificationCenter::defaultCenter().removeObserver(this);
        unsetenv(TServerConfig::kHostVariable);
        unsetenv(TServerConfig::kPortVariable);
    }
    void Aim(const LoopbackServer& server) {
        setenv(TServerConfig::kHostVariable, "127.0.0.1", 1);
        setenv(TServerConfig::kPortVariable, std::to_string(server.Port()).c_str(), 1);
    }
    // Delivers the worker's posts until one arrived; bounded so a broken worker fails the test.
    void WaitForPost() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (seen.empty() && std::chrono::steady_clock::now() < limit) {
            if (scheduler.runPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    VirtualScheduler scheduler;
    ScopedScheduler scoped;
    int formA = 0, formB = 0;
    std::vector<std::string> seen;
};

TEST_F(FeedbackTest, TheFeedbackPostGoesOutExactlyAndItsFormHearsTheSuccess) {
    LoopbackServer server("HTTP/1.0 200 OK\r\n\r\nthanks");
    Aim(server);
    const std::string text = "Name: Ann\rDetails: 50% off?\r";
    TFeedbackTask::SendFeedback("fb@example.invalid", TFeedbackTask::kSuggestSubject, text.c_str(),
                                static_cast<SInt32>(text.size()), true, &formA);
    WaitForPost();
    const std::string body =
        "Referer: Mirthvane\r\n"
        "Connection: Keep-Alive\r\n"
        "Host: 127.0.0.1\r\n"
        "&recipient=fb@example.invalid\r\n"
        "&subject=BEATWICK PRODUCT FEEDBACK\r\n"
        "&=Name: Ann\r\n"
        "Details: 50%25 off%3F\r\n";
    EXPECT_EQ(server.Request(), "POST http://127.0.0.1:" + std::to_string(server.Port()) +
                                    "/cgi-bin/formmail2.pl HTTP/1.0\r\n"
                                    "Content-Type: text/plain; charset=\"us-ascii\"\r\n"
                                    "Content-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n");
    EXPECT_EQ(seen, std::vector<std::string>{"FeedbackSucceeded@A"});
}

// An urgent byte ahead of the reply is no error: the post that reached the server succeeded.
TEST_F(FeedbackTest, AnUrgentByteBeforeTheReplyIsNoFailure) {
    LoopbackServer server(
        std::vector<LoopbackServer::Write>{{0, "!", true}, {0, "HTTP/1.0 200 OK\r\n\r\nthanks"}});
    Aim(server);
    TFeedbackTask::SendFeedback("fb@example.invalid", TFeedbackTask::kSuggestSubject, "x", 1, true, &formA);
    WaitForPost();
    EXPECT_EQ(seen, std::vector<std::string>{"FeedbackSucceeded@A"});
}

TEST_F(FeedbackTest, ARefusedPostTellsOnlyItsOwnForm) {
    LoopbackServer server("HTTP/1.0 500 Server Error\r\n\r\n");
    Aim(server);
    TFeedbackTask::SendFeedback("s@example.invalid", TFeedbackTask::kTechSupportSubject, "x", 1, false,
                                &formB);
    WaitForPost();
    EXPECT_EQ(seen, std::vector<std::string>{"FeedbackFailed@B"});
}

// The form's text travels percent-escaped in lines of at most 78 characters: decoded line by
// line, as a form-mail script reads it, each line must hold whole escapes only.
std::string DecodeFormLines(const std::string& escaped) {
    std::string text;
    size_t start = 0;
    for (size_t end; (end = escaped.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = escaped.substr(start, end - start);
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] != '%') {
                text += line[i];
                continue;
            }
            if (i + 2 >= line.size() || !std::isxdigit(static_cast<unsigned char>(line[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(line[i + 2]))) {
                ADD_FAILURE() << "an escape cut at the end of line " << line;
                return text;
            }
            text += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return text;
}

// Every byte of the text escapes to three: 60,007 of them used to arrive as 43,690.
TEST_F(FeedbackTest, LongNonASCIITextArrivesWhole) {
    LoopbackServer server("HTTP/1.0 200 OK\r\n\r\nthanks");
    Aim(server);
    std::string text;
    while (text.size() < 60006) text += "\xC3\xA9";
    text += "!";
    ASSERT_EQ(text.size(), 60007u);
    TFeedbackTask::SendFeedback("fb@example.invalid", TFeedbackTask::kSuggestSubject, text.c_str(),
                                static_cast<SInt32>(text.size()), true, &formA);
    WaitForPost();
    const std::string request = server.Request();
    const size_t form = request.find("&=");
    ASSERT_NE(form, std::string::npos);
    const std::string arrived = DecodeFormLines(request.substr(form + 2));
    EXPECT_EQ(arrived.size(), text.size());
    EXPECT_TRUE(arrived == text) << "the text arrived changed";
    EXPECT_EQ(seen, std::vector<std::string>{"FeedbackSucceeded@A"});
}

// A peer that takes one connection and tells what came over it before it closed; a
// connection still open after the bound counts as not closed.
class ListeningPeer {
public:
    ListeningPeer() {
        fListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(fListener, 1);
        socklen_t length = sizeof address;
        getsockname(fListener, reinterpret_cast<sockaddr*>(&address), &length);
        fPort = ntohs(address.sin_port);
    }
    ~ListeningPeer() { close(fListener); }
    uint16_t Port() const { return fPort; }
    // What arrived, and whether the other side left no connection open: closed, or never made
    // within acceptMs.
    std::pair<std::string, bool> Heard(int acceptMs = 30000) {
        constexpr int kBoundMs = 30000;
        pollfd listening{fListener, POLLIN, 0};
        if (poll(&listening, 1, acceptMs) != 1) return {"", acceptMs == 0};
        const int fd = accept(fListener, nullptr, nullptr);
        std::string bytes;
        bool closed = false;
        for (char buffer[4096];;) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, kBoundMs) != 1) break;
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = n == 0;
                break;
            }
            bytes.append(buffer, static_cast<size_t>(n));
        }
        close(fd);
        return {bytes, closed};
    }

private:
    int fListener;
    uint16_t fPort{0};
};

// Without a whole file for the form's text there is nothing to send: the form hears of a
// failure, and the server, which would take anything, gets no request and no idle connection.
TEST_F(FeedbackTest, NoFileForTheTextIsAFailure) {
    struct Case {
        const char* what;
        const char* temporaryFolder;  // null: as it is
        rlim_t fileSizeLimit;         // RLIM_INFINITY: as it is
    } cases[] = {
        // A temporary folder inside a regular file can never be made.
        {"no temporary folder", BEATWICK_SOURCE_DIR "/README.md", RLIM_INFINITY},
        {"the form cannot be written", nullptr, 16},
    };
    const char* kept = std::getenv("TMPDIR");
    const std::string before = kept ? kept : "";
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seen.clear();
        ListeningPeer server;
        setenv(TServerConfig::kHostVariable, "127.0.0.1", 1);
        setenv(TServerConfig::kPortVariable, std::to_string(server.Port()).c_str(), 1);
        if (c.temporaryFolder) setenv("TMPDIR", c.temporaryFolder, 1);
        // Writes beyond the limit fail with EFBIG instead of a signal.
        struct sigaction ignore {
        }, previous{};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &previous);
        rlimit tight = limit;
        tight.rlim_cur = std::min(c.fileSizeLimit, limit.rlim_max);
        setrlimit(RLIMIT_FSIZE, &tight);
        TFeedbackTask::SendFeedback("fb@example.invalid", TFeedbackTask::kSuggestSubject,
                                    "a text longer than the sixteen bytes a file may hold", 52, true, &formA);
        WaitForPost();
        // The form is over: whatever connection it made is there to be read already.
        const auto [heard, closed] = server.Heard(0);
        setrlimit(RLIMIT_FSIZE, &limit);
        sigaction(SIGXFSZ, &previous, nullptr);
        if (kept)
            setenv("TMPDIR", before.c_str(), 1);
        else
            unsetenv("TMPDIR");
        EXPECT_EQ(seen, std::vector<std::string>{"FeedbackFailed@A"});
        EXPECT_EQ(heard, "");
        EXPECT_TRUE(closed);
    }
}

TEST_F(FeedbackTest, AnAskedVersionCheckThatFindsNoPageAlerts) {
    LoopbackServer server("HTTP/1.0 404 Not Found\r\n\r\n");
    Aim(server);
    TVersionTask::CheckVersion(true, 2);
    WaitForPost();
    EXPECT_EQ(seen, std::vector<std::string>{"DoUIAlert 65"});
}

// The process's default thread stack made larger than any address space, so that no thread
// can start while it is in force.
class NoThreadCanStart {
public:
    NoThreadCanStart() {
        pthread_getattr_default_np(&fSaved);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, size_t{1} << 50);
        fInForce = pthread_setattr_default_np(&huge) == 0;
        pthread_attr_destroy(&huge);
    }
    ~NoThreadCanStart() {
        pthread_setattr_default_np(&fSaved);
        pthread_attr_destroy(&fSaved);
    }
    bool InForce() const { return fInForce; }

private:
    pthread_attr_t fSaved;
    bool fInForce{false};
};

// Nothing listens on the port: the automatic check fails at once and silently.
TVersionTask* QuickCheck(uint16_t port) {
    auto* task = new TVersionTask(false, 2);
    TServerConfig server;
    server.host = "127.0.0.1";
    server.port = port;
    task->SetServer(server);
    return task;
}

TEST_F(FeedbackTest, ANullTaskStartsNoWorkerTheFirstStartsOneAndLaterOnesReuseIt) {
    NetworkManager& manager = NetworkManager::sharedNetworkManager();
    const SInt16 before = TThread::GetThreadCount();
    manager.scheduleHTTPTask(nullptr);
    EXPECT_EQ(manager.httpThread(), nullptr);
    EXPECT_EQ(TThread::GetThreadCount(), before);

    manager.scheduleHTTPTask(QuickCheck(1));
    THTTPThread* worker = manager.httpThread();
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(TThread::GetThreadCount(), before + 1);
    manager.scheduleHTTPTask(QuickCheck(1));
    EXPECT_EQ(manager.httpThread(), worker);
    EXPECT_EQ(TThread::GetThreadCount(), before + 1);
}

// A task whose worker cannot start answers at once instead of waiting in a queue for ever, and
// the next task tries again.
TEST_F(FeedbackTest, AWorkerThatCannotStartFailsItsTasksAtOnce) {
    NetworkManager& manager = NetworkManager::sharedNetworkManager();
    {
        NoThreadCanStart noThreads;
        ASSERT_TRUE(noThreads.InForce());
        TFeedbackTask::SendFeedback("a@b.invalid", "S", "t", 1, true, &formA);
        TVersionTask::CheckVersion(true, 2);
        TVersionTask::CheckVersion(false, 2);
    }
    EXPECT_EQ(manager.httpThread(), nullptr);
    scheduler.runPending();
    EXPECT_EQ(seen, (std::vector<std::string>{"FeedbackFailed@A", "DoUIAlert 65"}));

    manager.scheduleHTTPTask(QuickCheck(1));
    EXPECT_NE(manager.httpThread(), nullptr);
}

}  // namespace
