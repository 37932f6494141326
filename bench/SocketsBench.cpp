// Loopback TCP through the socket handler's select loop and through a plain poll() loop written
// here: echo throughput in 64 KiB rounds (bytes per second counts both directions' payload once)
// and connections set up and closed per second. Run: build/bench/sockets_bench
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "sockets/Ipv4Address.h"
#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/TcpSocket.h"

namespace {

constexpr size_t kRound = 64 * 1024;

// Both loops send without Nagle's delay, so a round's last small segment does not wait for a
// delayed acknowledgement.
void NoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
}

class EchoSocket : public TcpSocket {
public:
    explicit EchoSocket(ISocketHandler& handler) : TcpSocket(handler) { DisableInputBuffer(); }
    Socket* Create() override { return new EchoSocket(Handler()); }
    void OnAccept() override { NoDelay(GetSocket()); }
    void OnRawData(const char* buf, size_t len) override { SendBuf(buf, len); }
};

class CountingClient : public TcpSocket {
public:
    explicit CountingClient(ISocketHandler& handler) : TcpSocket(handler) { DisableInputBuffer(); }
    void OnConnect() override { connected = true; }
    void OnRawData(const char*, size_t len) override { received += len; }
    void OnDelete() override { deleted = true; }
    bool connected = false;
    bool deleted = false;
    size_t received = 0;
};

port_t ListenWithHandler(SocketHandler& handler) {
    auto* listener = new ListenSocket(handler, std::make_unique<EchoSocket>(handler));
    listener->SetDeleteByHandler();
    listener->Bind("127.0.0.1", 0, 128);
    handler.Add(listener);
    return listener->GetPort();
}

void HandlerEcho(benchmark::State& state) {
    SocketHandler handler;
    const port_t port = ListenWithHandler(handler);
    CountingClient client(handler);
    Ipv4Address ad("127.0.0.1", port);
    client.Open(ad);
    handler.Add(&client);
    while (!client.connected) handler.Select(1, 0);
    NoDelay(client.GetSocket());
    const std::string round(kRound, 'e');
    for (auto _ : state) {
        client.received = 0;
        client.Send(round);
        while (client.received < kRound) handler.Select(1, 0);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRound));
}

void HandlerConnect(benchmark::State& state) {
    SocketHandler handler;
    const port_t port = ListenWithHandler(handler);
    Ipv4Address ad("127.0.0.1", port);
    for (auto _ : state) {
        auto* client = new CountingClient(handler);
        client->Open(ad);
        handler.Add(client);
        while (!client->connected) handler.Select(1, 0);
        client->SetCloseAndDelete();
        handler.Select(0, 0);
        while (!client->deleted) handler.Select(0, 1000);
        delete client;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

// --- the plain poll() loop ----------------------------------------------------------------------

int PlainListener(uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    listen(fd, 128);
    socklen_t len = sizeof(sa);
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.sin_port);
    return fd;
}

int PlainConnect(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    return fd;
}

int PlainAccept(int listener) {
    pollfd pfd{listener, POLLIN, 0};
    poll(&pfd, 1, 1000);
    return accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

void PollEcho(benchmark::State& state) {
    uint16_t port = 0;
    const int listener = PlainListener(port);
    const int client = PlainConnect(port);
    const int server = PlainAccept(listener);
    NoDelay(client);
    NoDelay(server);
    const std::string round(kRound, 'e');
    std::string pending;  // bytes the server has read and not yet echoed
    char buf[16384];
    for (auto _ : state) {
        size_t sent = 0, received = 0;
        while (received < kRound) {
            pollfd fds[2] = {{client, static_cast<short>(POLLIN | (sent < kRound ? POLLOUT : 0)), 0},
                             {server, static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0}};
            poll(fds, 2, 1000);
            if (fds[0].revents & POLLOUT) {
                const ssize_t n = send(client, round.data() + sent, kRound - sent, MSG_NOSIGNAL);
                if (n > 0) sent += static_cast<size_t>(n);
            }
            if (fds[1].revents & POLLIN) {
                const ssize_t n = recv(server, buf, sizeof(buf), 0);
                if (n > 0) pending.append(buf, static_cast<size_t>(n));
            }
            if (!pending.empty()) {
                const ssize_t n = send(server, pending.data(), pending.size(), MSG_NOSIGNAL);
                if (n > 0) pending.erase(0, static_cast<size_t>(n));
            }
            if (fds[0].revents & POLLIN) {
                const ssize_t n = recv(client, buf, sizeof(buf), 0);
                if (n > 0) received += static_cast<size_t>(n);
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRound));
    close(server);
    close(client);
    close(listener);
}

void PollConnect(benchmark::State& state) {
    uint16_t port = 0;
    const int listener = PlainListener(port);
    for (auto _ : state) {
        const int client = PlainConnect(port);
        pollfd pfd{client, POLLOUT, 0};
        poll(&pfd, 1, 1000);
        const int server = PlainAccept(listener);
        shutdown(client, SHUT_WR);
        close(client);
        close(server);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    close(listener);
}

}  // namespace

BENCHMARK(HandlerEcho)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(PollEcho)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(HandlerConnect)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(PollConnect)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK_MAIN();
