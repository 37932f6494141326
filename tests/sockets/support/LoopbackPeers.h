// Plain loopback peers for the socket tests: a raw listener and raw connections that the test
// drives by hand beside a handler, and a pump that runs a handler's passes until a condition holds.
// Every wait is bounded, so a broken socket fails its test instead of hanging it.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "sockets/SocketHandler.h"

namespace loopback {

constexpr int kWaitMs = 3000;

// A descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1) {
        if (m_fd != -1) close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

inline sockaddr_in Address(uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return sa;
}

inline uint16_t PortOf(int fd) {
    sockaddr_in sa{};
    socklen_t len = sizeof(sa);
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
}

// A listening TCP socket on 127.0.0.1 with a port the system picked.
inline Fd Listen(int backlog = 16) {
    Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa = Address(0);
    bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    listen(fd.get(), backlog);
    return fd;
}

inline bool WaitFor(int fd, short events, int ms = kWaitMs) {
    pollfd pfd{fd, events, 0};
    return poll(&pfd, 1, ms) == 1;
}

// The next connection on a listener, or an empty Fd after the bounded wait.
inline Fd Accept(int listener) {
    if (!WaitFor(listener, POLLIN)) return Fd();
    return Fd(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
}

inline Fd Connect(uint16_t port, bool nonblocking = false) {
    Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonblocking ? SOCK_NONBLOCK : 0), 0));
    sockaddr_in sa = Address(port);
    connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    return fd;
}

inline void WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size() && WaitFor(fd, POLLOUT)) {
        const ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// Reads what arrives within the bounded wait; stops at end of file or once `max` bytes came.
inline std::string ReadSome(int fd, size_t max = 65536, int ms = kWaitMs) {
    std::string data;
    char buf[65536];
    while (data.size() < max && WaitFor(fd, POLLIN, ms)) {
        const ssize_t n = recv(fd, buf, std::min(sizeof(buf), max - data.size()), 0);
        if (n <= 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    return data;
}

// Runs short passes of the handler until `done` holds; false when it never did.
inline bool Pump(ISocketHandler& handler, const std::function<bool()>& done, int passes = 600) {
    for (int i = 0; i < passes; ++i) {
        if (done()) return true;
        handler.Select(0, 5000);
    }
    return done();
}

}  // namespace loopback
