// How the server sockets hold up against two abusive peers, each run in a child process:
//   pipeline [seconds]  a peer pipelines "GET /image" to HttpdSocket and never reads; the server's
//                       resident memory each second (the goal: within 10 MB of its start).
//   idle [connections]  the server runs at a limit of 1024 descriptors while a peer holds 2,000
//                       idle connections to an HttpBaseSocket server; the server's share of a core
//                       every 10 s (the goal: under 5%), its reports, and whether a new client is
//                       served once the idle connections have timed out (after 120 s).
// Run: build/bench/protocols_server_abuse pipeline 20 | idle 2000
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sockets/ListenSocket.h"
#include "sockets/SocketHandler.h"
#include "sockets/StdLog.h"
#include "sockets/protocols/HttpBaseSocket.h"
#include "sockets/protocols/HttpdSocket.h"

namespace {

class Pages : public HttpdSocket {
public:
    using HttpdSocket::HttpdSocket;
    Socket* Create() override { return new Pages(Handler()); }

protected:
    void OnPageRequest() override {
        SetStatus("404");
        SetStatusText("Not Found");
        AddResponseHeader("Content-Length", "0");
        SendResponse();
    }
};

class Hello : public HttpBaseSocket {
public:
    using HttpBaseSocket::HttpBaseSocket;
    Socket* Create() override { return new Hello(Handler()); }
    void OnRequest(const HttpRequest&) override {
        HttpResponse response("HTTP/1.1");
        response.SetHttpStatusCode(200);
        response.SetHttpStatusMsg("OK");
        response.Write("hello\n");
        Respond(response);
    }
    void OnResponseComplete() override {}
};

// Counts the reports by operation and explanation.
class CountingLog : public StdLog {
public:
    void error(ISocketHandler*, Socket*, const std::string& user_text, int, const std::string& sys_text,
               loglevel_t) override {
        ++counts[user_text + ": " + sys_text];
    }
    std::map<std::string, long> counts;
};

double Seconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double CpuSeconds() {
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

long RssKb() {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return atol(line.c_str() + 6);
    return -1;
}

int Connect(int port, bool nonblocking, int rcvbuf = 0) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0), 0);
    if (fd == -1) return -1;
    if (rcvbuf) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof(rcvbuf));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 && errno != EINPROGRESS) {
        close(fd);
        return -1;
    }
    return fd;
}

template <class Server>
int Listen(SocketHandler& handler, ListenSocket*& listener) {
    listener = new ListenSocket(handler, std::make_unique<Server>(handler));
    listener->SetDeleteByHandler();
    if (listener->Bind("127.0.0.1", 0, 128) != 0) return -1;
    handler.Add(listener);
    return listener->GetPort();
}

// The peer sends requests while it can and reads nothing, for the given time.
void PipeliningPeer(int port, int seconds) {
    const int fd = Connect(port, false, 4096);
    std::string requests;
    for (int i = 0; i < 1000; ++i) requests += "GET /image HTTP/1.1\r\n\r\n";
    const double end = Seconds() + seconds;
    while (Seconds() < end) {
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, 100) == 1 &&
            send(fd, requests.data(), requests.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0 && errno != EAGAIN)
            break;
    }
    _exit(0);
}

int Pipeline(int seconds) {
    CountingLog log;
    SocketHandler handler(&log);
    ListenSocket* listener = nullptr;
    const int port = Listen<Pages>(handler, listener);
    if (port < 0) return 1;
    for (int i = 0; i < 10; ++i) handler.Select(0, 10000);
    const long start = RssKb();
    const pid_t peer = fork();
    if (peer == 0) {
        close(listener->GetSocket());
        PipeliningPeer(port, seconds);
    }
    long peak = start;
    printf("HttpdSocket under a peer that pipelines GET /image and never reads\n");
    printf("%6s %10s\n", "s", "RSS (kB)");
    printf("%6d %10ld\n", 0, start);
    const double begin = Seconds();
    double next = begin + 1;
    int status = 0;
    while (waitpid(peer, &status, WNOHANG) == 0) {
        handler.Select(0, 100000);
        if (Seconds() >= next) {
            const long rss = RssKb();
            peak = std::max(peak, rss);
            printf("%6.0f %10ld\n", next - begin, rss);
            next += 1;
        }
    }
    printf("start %ld kB, peak %ld kB, growth %.1f MB\n", start, peak,
           static_cast<double>(peak - start) / 1024);
    return 0;
}

// The peer opens its connections and holds them; after the server's idle time-out it tries a new
// client every 5 s and says when one is served.
void IdlePeer(int port, int connections, int first_try, int last_try) {
    rlimit limit{static_cast<rlim_t>(connections + 64), static_cast<rlim_t>(connections + 64)};
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> fds;
    // In small groups, so the server's accept queue never overflows into half-open connections.
    for (int i = 0; i < connections; ++i) {
        fds.push_back(Connect(port, true));
        if (i % 50 == 49) usleep(20000);
    }
    const double begin = Seconds();
    for (int t = first_try; t <= last_try; t += 5) {
        while (Seconds() < begin + t) usleep(100000);
        const int fd = Connect(port, false);
        timeval tv{4, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
        const char request[] = "GET / HTTP/1.0\r\n\r\n";
        char buf[256] = {0};
        ssize_t n = -1;
        if (send(fd, request, sizeof(request) - 1, MSG_NOSIGNAL) > 0) n = recv(fd, buf, sizeof(buf) - 1, 0);
        const bool reset = n < 0 && errno == ECONNRESET;
        printf("  new client at %3d s: %s at %.0f s\n", t,
               n > 0 && strstr(buf, "200 OK") ? "served"
               : n == 0 || reset              ? "closed unserved"
                                              : "no answer",
               Seconds() - begin);
        fflush(stdout);
        close(fd);
    }
    _exit(0);
}

int Idle(int connections) {
    CountingLog log;
    SocketHandler handler(&log);
    ListenSocket* listener = nullptr;
    const int port = Listen<Hello>(handler, listener);
    if (port < 0) return 1;
    const int first_try = static_cast<int>(HTTPSocket::kIdleTimeout) - 20;
    const int last_try = static_cast<int>(HTTPSocket::kIdleTimeout) + 20;
    const pid_t peer = fork();
    if (peer == 0) {
        close(listener->GetSocket());
        IdlePeer(port, connections, first_try, last_try);
    }
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = 1024;
    setrlimit(RLIMIT_NOFILE, &limit);
    printf("HttpBaseSocket at 1024 descriptors under %d idle connections\n", connections);
    printf("%6s %8s %10s %10s\n", "s", "CPU %", "sockets", "reports");
    const double begin = Seconds();
    double next = begin + 10;
    double cpu = CpuSeconds();
    double worst = 0;
    int status = 0;
    while (waitpid(peer, &status, WNOHANG) == 0) {
        handler.Select(0, 100000);
        if (Seconds() >= next) {
            const double now = CpuSeconds();
            const double share = (now - cpu) / 10 * 100;
            worst = std::max(worst, share);
            long reports = 0;
            for (const auto& [text, n] : log.counts) reports += n;
            printf("%6.0f %8.2f %10zu %10ld\n", next - begin, share, handler.GetCount(), reports);
            fflush(stdout);
            cpu = now;
            next += 10;
        }
    }
    printf("highest share of a core over 10 s: %.2f%%\nreports:\n", worst);
    for (const auto& [text, n] : log.counts) printf("  %6ld  %s\n", n, text.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pipeline") return Pipeline(argc > 2 ? atoi(argv[2]) : 20);
    if (mode == "idle") return Idle(argc > 2 ? atoi(argv[2]) : 2000);
    fprintf(stderr, "usage: %s pipeline [seconds] | idle [connections]\n", argv[0]);
    return 2;
}
