// Drives a server socket through the real select loop over a socketpair: the socket owns one end,
// the fuzz input is written into the other in pieces while the handler runs, and whatever the
// socket answers is read and dropped. Every loop is bounded, so a stuck parser shows as slowness,
// never as a hang.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "sockets/Socket.h"
#include "sockets/SocketHandler.h"

class SocketPairPeer {
public:
    SocketPairPeer() {
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_fds) != 0)
            m_fds[0] = m_fds[1] = -1;
    }
    ~SocketPairPeer() {
        if (m_fds[1] != -1) close(m_fds[1]);
    }
    SocketPairPeer(const SocketPairPeer&) = delete;
    SocketPairPeer& operator=(const SocketPairPeer&) = delete;

    bool Valid() const { return m_fds[0] != -1; }
    SocketHandler& Handler() { return m_handler; }

    // The socket takes the near end as an accepted connection would, and belongs to the handler.
    void Adopt(Socket* socket) {
        socket->Attach(m_fds[0]);
        socket->SetNonblocking(true);
        socket->SetConnected(true);
        socket->SetDeleteByHandler(true);
        m_handler.Add(socket);
        socket->OnAccept();
    }

    // Writes the data in pieces of `step` bytes, then closes the far side's writing half.
    void Run(const uint8_t* data, size_t size, size_t step) {
        size_t at = 0;
        for (int pass = 0; pass < 4000 && at < size; ++pass) {
            const ssize_t n = send(m_fds[1], data + at, std::min(step, size - at), MSG_NOSIGNAL);
            if (n > 0) at += static_cast<size_t>(n);
            Pass();
        }
        shutdown(m_fds[1], SHUT_WR);
        for (int pass = 0; pass < 50 && m_handler.GetCount() > 0; ++pass) Pass();
    }

private:
    void Pass() {
        m_handler.Select(0, 0);
        char buf[65536];
        while (recv(m_fds[1], buf, sizeof(buf), MSG_DONTWAIT) > 0) {
        }
    }

    SocketHandler m_handler;
    int m_fds[2]{-1, -1};
};
