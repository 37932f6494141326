#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/UDates.h"
#include "network/CSocketErrorLog.h"
#include "network/NetworkErrors.h"
#include "network/TConnection.h"
#include "network/THostLookup.h"
#include "network/TResponse.h"
#include "network/TSocket.h"
#include "network/TTask.h"
#include "platform/Foundation/VirtualScheduler.h"
#include "sockets/SocketAddress.h"
#include "tests/network/support/StepClock.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

timeval FixedTimeOfDay() {
    return timeval{1'700'000'000, 0};
}

// Counts its select rounds; a wait that spins without time passing is ended by an abort.
class CountingConnection : public TConnection {
public:
    static constexpr int kSpinLimit = 10000;
    int Select(struct timeval* timeout) override {
        if (++fRounds == kSpinLimit) AbortCurrentOperation();
        return TConnection::Select(timeout);
    }
    using TConnection::Select;
    int fRounds{0};
};

class ConnectionTest : public testing::Test {
protected:
    ConnectionTest() { connection.SetClock(clock); }

    // Connects to a fresh listener and accepts the peer side.
    void ConnectPeer() {
        listener = loopback::Listen();
        ASSERT_EQ(connection.Connect("127.0.0.1", loopback::PortOf(listener.get())), 0);
        peer = loopback::Accept(listener.get());
        ASSERT_NE(peer.get(), -1);
    }
    // The same with small kernel buffers on both sides, so that a send soon waits for room.
    void ConnectNarrowPeer() {
        listener = loopback::Listen();
        const int small = 4096;
        setsockopt(listener.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        ASSERT_EQ(connection.Connect("127.0.0.1", loopback::PortOf(listener.get())), 0);
        peer = loopback::Accept(listener.get());
        setsockopt(connection.GetSocketObject()->GetSocket(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    }
    void PeerSends(const std::string& bytes) {
        ASSERT_EQ(send(peer.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(bytes.size()));
    }
    std::string PeerReads(size_t count) {
        std::string got;
        char buf[4096];
        while (got.size() < count && loopback::WaitFor(peer.get(), POLLIN)) {
            const ssize_t n = recv(peer.get(), buf, sizeof buf, 0);
            if (n <= 0) break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }
    TTCPBuffer& buffer() { return connection.GetReceiveBuffer(); }

    StepClock clock;
    CountingConnection connection;
    loopback::Fd listener;
    loopback::Fd peer;
};

TEST_F(ConnectionTest, ConnectsOnceAndAConnectedConnectionKeepsItsSocket) {
    ConnectPeer();
    EXPECT_TRUE(connection.IsConnected());
    TSocket* socket = connection.GetSocketObject();
    EXPECT_EQ(connection.Connect("127.0.0.1", 1), 0);
    EXPECT_EQ(connection.GetSocketObject(), socket);

    connection.DropConnection();
    EXPECT_FALSE(connection.IsConnected());
    EXPECT_EQ(connection.GetSocketObject(), nullptr);
    EXPECT_EQ(buffer().GetSocket(), nullptr);
}

TEST_F(ConnectionTest, CommandsUpTo510CharactersGoOutWithTheirLineEnd) {
    ConnectPeer();
    EXPECT_THROW(
        {
            try {
                connection.SendCmd(std::string(511, 'x').c_str());
            } catch (int code) {
                EXPECT_EQ(code, kAssertionErr);
                throw;
            }
        },
        int);
    EXPECT_EQ(connection.SendCmd(std::string(510, 'y').c_str()), 0);
    EXPECT_EQ(PeerReads(512), std::string(510, 'y') + "\r\n");
}

TEST_F(ConnectionTest, SendingWithoutASocketThrowsNoSocket) {
    try {
        connection.SendData("abc", 3);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetNoSocketErr);
    }
}

TEST_F(ConnectionTest, ALongLineIsCutAtTheGivenLengthAndTheRestStaysUnread) {
    ConnectPeer();
    PeerSends("HTTP/1.0 200 OK\r\nrest\r\n");
    char line[8];
    SInt32 length = 7;
    buffer().ReceiveLine(line, length, 20);
    EXPECT_EQ(length, 7);
    EXPECT_STREQ(line, "HTTP/1.");
    length = 7;
    buffer().ReceiveLine(line, length, 20);
    EXPECT_STREQ(line, "0 200 O");
}

TEST_F(ConnectionTest, AnAbortIsConsumedOnceAndTheNextReceiveWaitsNormally) {
    ConnectPeer();
    connection.AbortCurrentOperation();
    const char* data = nullptr;
    SInt32 length = -1;
    try {
        buffer().ReceiveAvailableData(data, length, 20);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetClosedErr);
        EXPECT_EQ(length, 0);
    }
    EXPECT_FALSE(buffer().IsAborted());
    PeerSends("later");
    buffer().ReceiveAvailableData(data, length, 20);
    EXPECT_EQ(std::string(data, static_cast<size_t>(length)), "later");
}

// A closed peer stays readable; the receive rests a round each time instead of spinning on it.
TEST_F(ConnectionTest, APeerThatClosesSilentlyTimesTheReceiveOutAfterItsSeconds) {
    ConnectPeer();
    peer.reset();
    connection.fRounds = 0;
    const SInt64 start = clock.elapsedSeconds();
    char line[514];
    SInt32 length = 513;
    try {
        buffer().ReceiveLine(line, length, 20);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetTimeoutErr);
    }
    EXPECT_EQ(clock.elapsedSeconds() - start, 20);
    EXPECT_LE(connection.fRounds, 2 * 20 * 1'000'000 / TConnection::kWaitRoundMicroseconds);
}

TEST_F(ConnectionTest, AFullWindowReadsNothingMoreAndIsHandedOutWhole) {
    ConnectPeer();
    PeerSends(std::string(40000, 'z'));
    for (int i = 0; i < 1000 && buffer().GetUnreadCount() < TTCPBuffer::kSize; ++i) buffer().FillBuffer();
    ASSERT_EQ(buffer().GetUnreadCount(), TTCPBuffer::kSize);
    EXPECT_EQ(buffer().FillBuffer(), 0);
    const char* data = nullptr;
    SInt32 length = 0;
    buffer().ReceiveAvailableData(data, length, 20);
    EXPECT_EQ(length, TTCPBuffer::kSize);
    EXPECT_EQ(buffer().GetUnreadCount(), 0);
}

// A line that fills the whole window can never end there: an error at once, not a spin until
// the time-out. The watchdog only ends a spin, so that it fails instead of hanging.
TEST_F(ConnectionTest, ALineThatFillsTheWindowIsAnError) {
    ConnectPeer();
    PeerSends(std::string(40000, 'x'));
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, std::chrono::seconds(20), [&] { return done; }))
            connection.AbortCurrentOperation();
    });
    char line[514];
    SInt32 length = 513;
    try {
        buffer().ReceiveLine(line, length, 20);
        ADD_FAILURE() << "a line without its end";
    } catch (int code) {
        EXPECT_EQ(code, kNetBadReplyErr);
    }
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    changed.notify_all();
    watchdog.join();
    EXPECT_EQ(clock.elapsedSeconds(), 0);
}

// The limit wait used to loop for ever: it now ends at the time-out, or at an abort.
TEST_F(ConnectionTest, TheRateLimitWaitEndsAtTheTimeOutAndAtAnAbort) {
    ConnectPeer();
    // The limit's samples stay fresh on a stopped time of day.
    SetTimeOfDaySource(FixedTimeOfDay);
    struct Restore {
        ~Restore() { SetTimeOfDaySource(nullptr); }
    } restore;
    connection.SetLimit(0);
    connection.GetDownloadTracker().Transferred(4096);
    ASSERT_FALSE(connection.AllowData());
    const SInt64 start = clock.elapsedSeconds();
    const char* data = nullptr;
    SInt32 length = 0;
    try {
        buffer().ReceiveAvailableData(data, length, 5);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetTimeoutErr);
    }
    EXPECT_EQ(clock.elapsedSeconds() - start, 5);
    EXPECT_LE(clock.fLongestSleep, TConnection::kWaitRoundMicroseconds)
        << "the abort is looked at every round";

    clock.fOnSleep = [this] {
        if (clock.fSleeps == 3) connection.AbortCurrentOperation();
    };
    clock.fSleeps = 0;
    try {
        buffer().ReceiveAvailableData(data, length, 5);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetClosedErr);
    }
    EXPECT_EQ(clock.fSleeps, 3);
}

// Fills a listener's backlog, so that the next handshake is never answered.
std::vector<loopback::Fd> FillBacklog(uint16_t port) {
    std::vector<loopback::Fd> fillers;
    for (int i = 0; i < 4; ++i) fillers.push_back(loopback::Connect(port, true));
    return fillers;
}

int PortWithoutListener() {
    loopback::Fd listener = loopback::Listen();
    return loopback::PortOf(listener.get());
}

TEST_F(ConnectionTest, AConnectThatIsNeverAnsweredTimesOutAfter45SecondsAndLeavesNoSocket) {
    listener = loopback::Listen(0);
    const uint16_t port = loopback::PortOf(listener.get());
    const auto fillers = FillBacklog(port);
    EXPECT_EQ(connection.Connect("127.0.0.1", port), kNetTimeoutErr);
    EXPECT_GE(clock.elapsedSeconds(), 45);
    EXPECT_LE(clock.elapsedSeconds(), 47);
    EXPECT_EQ(connection.GetSocketObject(), nullptr) << "a timed-out connect closes its socket";
    EXPECT_EQ(connection.GetCount(), 0u);
    EXPECT_LE(clock.fLongestSleep, TConnection::kWaitRoundMicroseconds);
}

// The system refuses at once; the retries left would only wait out the time-out.
TEST_F(ConnectionTest, ARefusedConnectFailsAtOnce) {
    const int port = PortWithoutListener();
    try {
        connection.Connect("127.0.0.1", static_cast<UInt16>(port));
        FAIL() << "connected to a port nobody listens on";
    } catch (int code) {
        EXPECT_EQ(code, kNetTimeoutErr);
    }
    EXPECT_LT(clock.elapsedSeconds(), 1);
    EXPECT_EQ(connection.GetSocketObject(), nullptr);
    EXPECT_EQ(connection.GetCount(), 0u);
    EXPECT_EQ(connection.GetErrorLog().GetErrorNumber(), ECONNREFUSED);
}

TEST_F(ConnectionTest, AnAbortEndsAConnectThatIsWaitingWithinARound) {
    listener = loopback::Listen(0);
    const uint16_t port = loopback::PortOf(listener.get());
    const auto fillers = FillBacklog(port);
    clock.fOnSleep = [this] {
        if (clock.fSleeps == 10) connection.AbortCurrentOperation();
    };
    try {
        connection.Connect("127.0.0.1", port);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetClosedErr);
    }
    EXPECT_EQ(clock.fSleeps, 10);
    EXPECT_LE(clock.fLongestSleep, TConnection::kWaitRoundMicroseconds);
    EXPECT_EQ(connection.GetSocketObject(), nullptr);
}

// A resolver that never answers, in place of a slow name server.
class StalledLookup : public THostLookup {
public:
    bool Finished() override { return false; }
    void WaitFor(long) override {}
    std::unique_ptr<SocketAddress> Address(UInt16) override { return nullptr; }
};

class StalledLookupConnection : public TConnection {
public:
    std::unique_ptr<THostLookup> StartLookup(const std::string&) override {
        return std::make_unique<StalledLookup>();
    }
};

TEST(ConnectionLookupTest, ASlowLookupEndsAtAnAbortWithinARoundAndAtTheConnectTimeOut) {
    StepClock clock;
    StalledLookupConnection connection;
    connection.SetClock(clock);
    clock.fOnSleep = [&] {
        if (clock.fSleeps == 10) connection.AbortCurrentOperation();
    };
    try {
        connection.Connect("slow.example.invalid", 80);
        FAIL();
    } catch (int code) {
        EXPECT_EQ(code, kNetClosedErr);
    }
    EXPECT_EQ(clock.fSleeps, 10);
    EXPECT_LE(clock.fLongestSleep, TConnection::kWaitRoundMicroseconds);

    clock.fOnSleep = nullptr;
    const SInt64 start = clock.elapsedSeconds();
    EXPECT_EQ(connection.Connect("slow.example.invalid", 80), kNetTimeoutErr);
    EXPECT_GE(clock.elapsedSeconds() - start, 45);
    EXPECT_LE(clock.elapsedSeconds() - start, 46);
}

TEST_F(ConnectionTest, AHostIsLookedUpByName) {
    listener = loopback::Listen();
    EXPECT_EQ(connection.Connect("localhost", loopback::PortOf(listener.get())), 0);
    EXPECT_TRUE(connection.IsConnected());
}

// Nothing of a dropped socket stays with the handler, so deleting it is no "still in use" that
// would take the place of the connection's last real error.
TEST_F(ConnectionTest, ADroppedSocketLeavesNothingWithTheHandlerNorInTheErrorLog) {
    ConnectPeer();
    ASSERT_EQ(connection.GetCount(), 1u);
    connection.DropConnection();
    EXPECT_EQ(connection.GetCount(), 0u);
    EXPECT_TRUE(connection.CheckSanity());
    EXPECT_FALSE(connection.GetErrorLog().HasError()) << connection.GetErrorLog().GetOperation();
}

// A peer that takes nothing: the send waits in rounds and an abort ends it.
TEST_F(ConnectionTest, AnAbortEndsASendThePeerDoesNotTake) {
    ASSERT_NO_FATAL_FAILURE(ConnectNarrowPeer());
    clock.fSleeps = 0;
    clock.fOnSleep = [this] {
        if (clock.fSleeps == 10) connection.AbortCurrentOperation();
    };
    const std::string data(1 << 22, 'd');
    try {
        connection.SendData(data.data(), static_cast<UInt32>(data.size()));
        FAIL() << "the peer took everything";
    } catch (int code) {
        EXPECT_EQ(code, kNetClosedErr);
    }
    EXPECT_EQ(clock.fSleeps, 10);
    EXPECT_LE(clock.fLongestSleep, TConnection::kWaitRoundMicroseconds);
}

TEST(SocketErrorLog, KeepsTheLastErrorButNotInformationCloseOrShutdown) {
    CSocketErrorLog log(nullptr);
    log.error(nullptr, nullptr, "shutdown", 9, "x", LOG_LEVEL_ERROR);
    log.error(nullptr, nullptr, "Socket::Close", 9, "x", LOG_LEVEL_ERROR);
    log.error(nullptr, nullptr, "connect", 9, "x", LOG_LEVEL_INFO);
    EXPECT_FALSE(log.HasError());
    struct Case {
        loglevel_t level;
        const char* name;
    } cases[] = {{LOG_LEVEL_WARNING, "Warning"},
                 {LOG_LEVEL_ERROR, "Error"},
                 {LOG_LEVEL_FATAL, "Fatal"},
                 {static_cast<loglevel_t>(7), "Unknown"}};
    for (const Case& c : cases) {
        log.error(nullptr, nullptr, "tcp: connect failed", 111, "Connection refused", c.level);
        EXPECT_TRUE(log.HasError());
        EXPECT_EQ(log.GetLevelName(), c.name);
    }
    EXPECT_EQ(log.GetErrorNumber(), 111);
    EXPECT_EQ(log.GetOperation(), "tcp: connect failed");
    log.Reset();
    EXPECT_FALSE(log.HasError());
    EXPECT_EQ(log.GetErrorNumber(), 0);
}

}  // namespace

namespace {

TEST(BandwidthTimer, FiresAfterHalfASecondThenEveryTwoUntilStopped) {
    VirtualScheduler scheduler;
    ScopedScheduler scoped(scheduler);
    TConnection::StartBandwidthTimer();
    TConnection::StartBandwidthTimer();
    EXPECT_EQ(scheduler.scheduledCount(), 1u) << "one timer however often it is started";
    scheduler.advance(500);
    EXPECT_EQ(scheduler.scheduledCount(), 1u) << "the next firing is armed";
    scheduler.advance(2000);
    EXPECT_EQ(scheduler.scheduledCount(), 1u);
    TConnection::StopBandwidthTimer();
    EXPECT_EQ(scheduler.scheduledCount(), 0u);
    EXPECT_FALSE(TConnection::BandwidthTimerRunning());
}

}  // namespace

namespace {

class DataResponse : public TResponse {
public:
    bool ExpectData() override { return true; }
    void FailIfError() override {}
    int GetError() override { return 0; }
    std::string Data() const {
        if (!GetData()) return {};
        TStream* stream = GetData()->GetBufferStream();
        std::string bytes(static_cast<size_t>(stream->GetLength()), '\0');
        stream->SetMarker(0, kStreamFromStart);
        stream->ReadData(bytes.data(), static_cast<SInt32>(bytes.size()));
        return bytes;
    }
};

// A peer that has answered and reads no more: its reply keeps the socket readable, which must
// not end every round of the wait for room at once.
TEST_F(ConnectionTest, ASendWaitsForRoomWithoutSpinningOnAReplyAlreadyThere) {
    ASSERT_NO_FATAL_FAILURE(ConnectNarrowPeer());
    PeerSends("HTTP/1.0 413 Too Large\r\n\r\n");
    connection.fRounds = 0;
    const SInt64 start = clock.elapsedSeconds();
    const std::string data(1 << 22, 'd');
    try {
        connection.SendData(data.data(), static_cast<UInt32>(data.size()));
        FAIL() << "the peer took everything";
    } catch (int code) {
        EXPECT_EQ(code, kNetTimeoutErr);
    }
    EXPECT_GE(clock.elapsedSeconds() - start, 45);
    EXPECT_LE(connection.fRounds, 2 * 46 * 1'000'000 / TConnection::kWaitRoundMicroseconds);
    char line[64];
    SInt32 length = 63;
    buffer().ReceiveLine(line, length, 1);
    EXPECT_STREQ(line, "HTTP/1.0 413 Too Large\r\n") << "the reply is still there to read";
}

}  // namespace

namespace {

TEST_F(ConnectionTest, DotTerminatedRepliesLoseTheirStuffingOrGoToTheLineCallback) {
    ConnectPeer();
    PeerSends("+OK 2 lines\r\nfirst\r\n..dotted\r\n.\r\n+OK again\r\nonly\r\n.\r\n");
    DataResponse response;
    connection.BeginMultiResponse();
    connection.WaitResponse(response);
    EXPECT_STREQ(response.GetResponseLine(), "+OK 2 lines");
    EXPECT_EQ(response.Data(), "first\r\n.dotted\r\n");

    std::vector<std::string> lines;
    connection.SetLineCallback(
        [](const char* text, SInt32 length, void* user) {
            static_cast<std::vector<std::string>*>(user)->emplace_back(text, static_cast<size_t>(length));
        },
        &lines);
    response.Reset();
    EXPECT_EQ(connection.GetResponses(1, response), 0);
    EXPECT_STREQ(response.GetResponseLine(), "+OK again");
    EXPECT_EQ(lines, std::vector<std::string>{"only\r\n"});
    EXPECT_EQ(connection.GetLinesRead(), 3);
}

}  // namespace

namespace {

// A reply line that starts with "-" is an error.
class LineResponse : public TResponse {
public:
    void FailIfError() override {}
    int GetError() override { return fResponse[0] == '-' ? 5 : 0; }
};

class CommandTask : public TTask {
public:
    explicit CommandTask(const char* command) : TTask(nullptr, &fReply) { SetCommand(command); }
    void ProcessResponse() override { fProcessed = fReply.GetResponseLine(); }
    LineResponse fReply;
    std::string fProcessed;
};

// The base task carries its command line through the lent connection and processes the reply.
TEST_F(ConnectionTest, ABaseTaskSendsItsCommandAndProcessesTheReply) {
    ConnectPeer();
    PeerSends("+OK ready\r\n");
    CommandTask task("NOOP");
    EXPECT_EQ(task.PerformTask(), kNetNoSocketErr) << "no connection lent";
    task.SetConnection(&connection);
    EXPECT_EQ(task.PerformTask(), 0);
    EXPECT_EQ(PeerReads(6), "NOOP\r\n");
    EXPECT_EQ(task.fProcessed, "+OK ready");

    PeerSends("-ERR no\r\n");
    CommandTask refused("QUIT");
    refused.SetConnection(&connection);
    EXPECT_EQ(refused.PerformTask(), 5) << "the reply's error";
    EXPECT_EQ(refused.fProcessed, "") << "an error reply is not processed";

    CommandTask unanswered("WAIT");
    unanswered.SetConnection(&connection);
    EXPECT_EQ(unanswered.PerformTask(), kNetTimeoutErr) << "a thrown code becomes the result";

    CommandTask none("");
    none.SetConnection(&connection);
    EXPECT_EQ(none.PerformTask(), 0);
    EXPECT_EQ(none.fProcessed, "");
}

}  // namespace
