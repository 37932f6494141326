// A one-connection HTTP peer on 127.0.0.1, run on its own thread: it reads the whole request
// (the header and as many body bytes as its Content-Length names, or up to the request's final
// blank line), records it, answers and closes. The answer is one write, or a script of writes
// each after a pause (a byte may go as urgent data); a pause with nothing to write keeps the
// connection open and silent for that long. An empty reply closes once the request has arrived.
// On a virtual clock it counts as a user of the clock until it is done, so time does not pass
// while it is still to answer, and its pauses are the clock's.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Carbon/Clock.h"

class LoopbackServer {
public:
    struct Write {
        SInt64 afterMicroseconds{0};
        std::string bytes;
        bool urgent{false};
    };

    explicit LoopbackServer(std::string reply, Clock* clock = nullptr)
        : LoopbackServer(std::vector<Write>{{0, std::move(reply)}}, clock) {}
    explicit LoopbackServer(std::vector<Write> script, Clock* clock = nullptr)
        : fScript(std::move(script)), fClock(clock) {
        if (clock) fToken = std::make_unique<ClockThreadToken>(*clock);
        fListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fListener, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
        listen(fListener, 4);
        socklen_t len = sizeof(sa);
        getsockname(fListener, reinterpret_cast<sockaddr*>(&sa), &len);
        fPort = ntohs(sa.sin_port);
        fThread = std::thread([this] {
            Serve();
            fDone = true;
            if (fToken) fToken->leave();
        });
    }
    ~LoopbackServer() {
        shutdown(fListener, SHUT_RDWR);
        close(fListener);
        WaitDone();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return fPort; }
    // Waits for the server to finish its connection (bounded by its own poll limits).
    std::string Request() {
        WaitDone();
        std::lock_guard lock(fMutex);
        return fRequest;
    }

private:
    static constexpr int kWaitMs = 5000;

    static bool Complete(const std::string& request) {
        const size_t end = request.find("\r\n\r\n");
        if (end == std::string::npos) return false;
        size_t length = 0;
        if (const size_t at = request.find("Content-Length: "); at != std::string::npos && at < end)
            length = std::strtoul(request.c_str() + at + 16, nullptr, 10);
        // The request ends with a CR LF after its body.
        return request.size() >= end + 4 + length + 2;
    }

    // On a virtual clock the waiting thread sleeps on it too, so the server's pauses can pass.
    void WaitDone() {
        if (fClock) {
            while (!fDone) fClock->sleepFor(1'000'000);
        }
        if (fThread.joinable()) fThread.join();
    }

    void Pause(SInt64 microseconds) {
        if (microseconds <= 0) return;
        if (fClock)
            fClock->sleepFor(microseconds);
        else
            std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
    }

    void Serve() {
        pollfd pl{fListener, POLLIN, 0};
        if (poll(&pl, 1, kWaitMs) != 1) return;
        const int fd = accept(fListener, nullptr, nullptr);
        if (fd < 0) return;
        std::string request;
        char buf[4096];
        while (!Complete(request)) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, kWaitMs) != 1) break;
            const ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            request.append(buf, static_cast<size_t>(n));
        }
        {
            std::lock_guard lock(fMutex);
            fRequest = request;
        }
        for (const Write& write : fScript) {
            Pause(write.afterMicroseconds);
            if (!write.bytes.empty())
                send(fd, write.bytes.data(), write.bytes.size(), MSG_NOSIGNAL | (write.urgent ? MSG_OOB : 0));
        }
        shutdown(fd, SHUT_WR);
        close(fd);
    }

    std::vector<Write> fScript;
    Clock* fClock;
    std::unique_ptr<ClockThreadToken> fToken;
    int fListener;
    uint16_t fPort{0};
    std::thread fThread;
    std::atomic<bool> fDone{false};
    std::mutex fMutex;
    std::string fRequest;
};
