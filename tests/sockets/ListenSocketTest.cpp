#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Carbon/Clock.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"
#include "tests/sockets/support/CapturingLog.h"
#include "tests/sockets/support/LoopbackPeers.h"

namespace {

// Greets each connection; the listening side makes one per connection.
class Greeter : public TcpSocket {
public:
    Greeter(ISocketHandler& handler, int* accepted) : TcpSocket(handler), m_accepted(accepted) {}
    Socket* Create() override { return new Greeter(Handler(), m_accepted); }
    void OnAccept() override {
        ++*m_accepted;
        Send("hi");
    }

private:
    int* m_accepted;
};

// Counts how often the loop finds it readable: a spinning loop finds it so on every pass.
class CountingListener : public ListenSocket {
public:
    CountingListener(ISocketHandler& handler, std::unique_ptr<Socket> prototype, int* reads)
        : ListenSocket(handler, std::move(prototype)), m_reads(reads) {}
    void OnRead() override {
        ++*m_reads;
        ListenSocket::OnRead();
    }

private:
    int* m_reads;
};

// Takes every free descriptor under a lowered limit, leaving `spare` of them; gives all back,
// and the limit, when it goes.
class DescriptorShortage {
public:
    explicit DescriptorShortage(int spare) {
        getrlimit(RLIMIT_NOFILE, &m_saved);
        rlimit lowered = m_saved;
        lowered.rlim_cur = static_cast<rlim_t>(HighestOpen() + 32);
        setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) != -1;) m_fds.push_back(fd);
        for (int i = 0; i < spare && !m_fds.empty(); ++i) {
            close(m_fds.back());
            m_fds.pop_back();
        }
    }
    ~DescriptorShortage() { End(); }
    DescriptorShortage(const DescriptorShortage&) = delete;
    DescriptorShortage& operator=(const DescriptorShortage&) = delete;

    void End() {
        for (int fd : m_fds) close(fd);
        m_fds.clear();
        setrlimit(RLIMIT_NOFILE, &m_saved);
    }

private:
    static int HighestOpen() {
        int highest = 2;
        if (DIR* dir = opendir("/proc/self/fd")) {
            while (dirent* e = readdir(dir)) highest = std::max(highest, atoi(e->d_name));
            closedir(dir);
        }
        return highest;
    }

    rlimit m_saved{};
    std::vector<int> m_fds;
};

class ListenSocketShortage : public ::testing::Test {
protected:
    ListenSocketShortage() { handler.SetClock(clock); }
    void Listen() {
        auto* listener = new CountingListener(handler, std::make_unique<Greeter>(handler, &accepted), &reads);
        listener->SetDeleteByHandler();
        ASSERT_EQ(listener->Bind("127.0.0.1", 0), 0);
        port = listener->GetPort();
        handler.Add(listener);
    }
    // Serves one client and makes one report before the shortage. The sanitizers check a type on
    // its first call through a base and need descriptors to do so, which the shortage leaves none of.
    void WarmUp() {
        Listen();
        {
            loopback::Fd client = loopback::Connect(port);
            ASSERT_TRUE(loopback::Pump(handler, [&] { return accepted == 1; }));
        }
        // Its server socket closes, and is deleted, before the shortage begins.
        ASSERT_TRUE(loopback::Pump(handler, [&] { return handler.GetCount() == 1; }));
        static_cast<ISocketHandler&>(handler).LogError(nullptr, "warm-up", 0, "", LOG_LEVEL_INFO);
        Reports();
        Passes(1);
        clock.sleepFor(0);
        accepted = 0;
        reads = 0;
    }
    // Clients are made before the shortage, which leaves none to make them with.
    void MakeClients(int n) {
        for (int i = 0; i < n; ++i) clients.emplace_back(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    }
    void Connect(int i) {
        const sockaddr_in sa = loopback::Address(port);
        connect(clients[i].get(), reinterpret_cast<const sockaddr*>(&sa), sizeof(sa));
    }
    void Passes(int n) {
        for (int i = 0; i < n; ++i) handler.Select(0, 2000);
    }
    // Until the greeters accepted so far number n, and the handler has taken them from its queue.
    bool Served(int n) {
        const bool ok = loopback::Pump(handler, [&] { return accepted == n; });
        Passes(1);
        return ok;
    }
    size_t Reports() const { return log.Count("accept"); }
    // "hi" from a greeter, "" for a connection closed unserved, "none" while nothing came.
    static std::string Answer(int fd) {
        char buf[16];
        const ssize_t n = recv(fd, buf, sizeof(buf), MSG_DONTWAIT);
        if (n > 0) return std::string(buf, static_cast<size_t>(n));
        return n == 0 || errno == ECONNRESET ? "" : "none";
    }

    VirtualClock clock;
    CapturingLog log;
    SocketHandler handler{&log};
    port_t port{0};
    int accepted = 0;
    int reads = 0;
    std::vector<loopback::Fd> clients;
};

TEST_F(ListenSocketShortage, ConnectionsAreClosedWithTheSpareAndReportedOnceUntilADescriptorIsFree) {
    WarmUp();
    MakeClients(4);
    DescriptorShortage shortage(0);
    for (int i = 0; i < 3; ++i) Connect(i);
    Passes(50);
    EXPECT_EQ(Reports(), 1u);
    EXPECT_LE(reads, 3) << "one read for each connection, not one a pass";
    EXPECT_EQ(accepted, 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Answer(clients[i].get()), "") << "client " << i;
    shortage.End();
    Connect(3);
    ASSERT_TRUE(Served(1));
    ASSERT_TRUE(loopback::WaitFor(clients[3].get(), POLLIN));
    EXPECT_EQ(Answer(clients[3].get()), "hi");
    EXPECT_EQ(Reports(), 1u);
}

TEST_F(ListenSocketShortage, WithoutASpareTheSocketRestsASecondAtATimeAndWaitingClientsAreServedLater) {
    WarmUp();
    MakeClients(2);
    DescriptorShortage shortage(1);
    Listen();  // a second listener takes the last descriptor: none is left for its spare
    Connect(0);
    Connect(1);
    Passes(50);
    EXPECT_EQ(Reports(), 1u);
    EXPECT_EQ(reads, 1) << "not watched after the first";
    EXPECT_EQ(accepted, 0);
    clock.sleepFor(3'000'000);
    Passes(50);
    EXPECT_EQ(Reports(), 1u) << "one report a minute";
    EXPECT_EQ(reads, 2) << "watched again a second later, and only once";
    EXPECT_EQ(Answer(clients[0].get()), "none") << "still waiting to be accepted";
    shortage.End();
    clock.sleepFor(3'000'000);
    ASSERT_TRUE(Served(2));
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(loopback::WaitFor(clients[i].get(), POLLIN));
        EXPECT_EQ(Answer(clients[i].get()), "hi") << "client " << i;
    }
}

}  // namespace
