#include <gtest/gtest.h>
#include <pthread.h>

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

// Without a file for the form's text there is nothing to send: the form hears of a failure.
TEST_F(FeedbackTest, NoFileForTheTextIsAFailure) {
    const char* kept = std::getenv("TMPDIR");
    const std::string before = kept ? kept : "";
    // A temporary folder inside a regular file can never be made.
    setenv("TMPDIR", BEATWICK_SOURCE_DIR "/README.md", 1);
    TFeedbackTask::SendFeedback("fb@example.invalid", TFeedbackTask::kSuggestSubject, "x", 1, true, &formA);
    WaitForPost();
    if (kept)
        setenv("TMPDIR", before.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(seen, std::vector<std::string>{"FeedbackFailed@A"});
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
