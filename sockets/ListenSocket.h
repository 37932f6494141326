// A listening TCP socket: binds to an address and port (port 0 lets the system pick one, which
// GetPort then answers), listens, and for each connection makes a new socket from its prototype's
// Create(), gives it its parent, the remote address and the descriptor, asks the handler whether
// it may be accepted, runs its Init() and admits it, then calls OnAccept() (or OnSSLAccept() when
// the new socket runs over TLS). The accepted sockets belong to the handler.
//
// Out of descriptors, a pending connection is accepted into a spare descriptor kept for it and
// closed at once, so the listening socket does not stay readable and spin the loop; the shortage
// is reported once a minute at most. Without a spare the socket is not watched for a second at a
// time.
#pragma once

#include <memory>
#include <string>

#include "sockets/Socket.h"

class ListenSocket : public Socket {
public:
    static constexpr time_t kShortageReportInterval = 60;

    ListenSocket(ISocketHandler& handler, std::unique_ptr<Socket> prototype, bool ipv6 = false);
    ~ListenSocket() override;

    // Each returns 0 when listening, -1 after a reported failure.
    int Bind(port_t port, int depth = 20);
    int Bind(const std::string& intf, port_t port, int depth = 20);
    int Bind(SocketAddress& address, int depth = 20);

    port_t GetPort() override;
    int GetDepth() const { return m_depth; }
    void OnRead() override;
    void OnTimeout() override;
    void OnOptions(int family, int type, int protocol, int descriptor) override;

private:
    void OutOfDescriptors(int err);
    void KeepSpare();

    std::unique_ptr<Socket> m_prototype;
    port_t m_port{0};
    int m_depth{0};
    int m_spare{-1};
    time_t m_shortage_reported{0};
};
