#include "sockets/ListenSocket.h"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sockets/Ipv4Address.h"
#include "sockets/Ipv6Address.h"
#include "sockets/Utility.h"

ListenSocket::ListenSocket(ISocketHandler& handler, std::unique_ptr<Socket> prototype, bool ipv6)
    : Socket(handler), m_prototype(std::move(prototype)) {
    SetIpv6(ipv6);
}

ListenSocket::~ListenSocket() {
    if (m_spare != -1) close(m_spare);
}

void ListenSocket::KeepSpare() {
    if (m_spare == -1) m_spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
}

int ListenSocket::Bind(port_t port, int depth) {
    if (IsIpv6()) {
        Ipv6Address address(port);
        return Bind(address, depth);
    }
    Ipv4Address address(port);
    return Bind(address, depth);
}

int ListenSocket::Bind(const std::string& intf, port_t port, int depth) {
    if (IsIpv6()) {
        Ipv6Address address(intf, port);
        if (address.IsValid()) return Bind(address, depth);
    } else {
        Ipv4Address address(intf, port);
        if (address.IsValid()) return Bind(address, depth);
    }
    Handler().LogError(this, "Bind", 0, "name resolution of interface name failed", LOG_LEVEL_FATAL);
    return -1;
}

int ListenSocket::Bind(SocketAddress& address, int depth) {
    if (GetSocket() != -1) Close();
    const int s = CreateSocket(address.GetFamily(), SOCK_STREAM, "tcp");
    if (s == -1) return -1;
    if (!SetNonblocking(true, s) || bind(s, address, address) == -1) {
        const int err = errno;
        Handler().LogError(this, "bind", err, strerror(err), LOG_LEVEL_FATAL);
        close(s);
        return -1;
    }
    if (listen(s, depth) == -1) {
        const int err = errno;
        Handler().LogError(this, "listen", err, strerror(err), LOG_LEVEL_FATAL);
        close(s);
        return -1;
    }
    m_depth = depth;
    Attach(s);
    m_port = GetSockPort();
    KeepSpare();
    return 0;
}

port_t ListenSocket::GetPort() {
    return m_port;
}

void ListenSocket::OnOptions(int, int, int, int) {
    SetSoReuseaddr(true);
}

void ListenSocket::OnRead() {
    struct sockaddr_storage sa {};
    socklen_t len = sizeof(sa);
    const int a =
        accept4(GetSocket(), reinterpret_cast<struct sockaddr*>(&sa), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (a == -1) {
        const int err = errno;
        // Another accept took it, or the peer gave up before we came to it.
        if (err == EAGAIN || err == EWOULDBLOCK || err == EINTR || err == ECONNABORTED) return;
        if (err == EMFILE || err == ENFILE) return OutOfDescriptors(err);
        Handler().LogError(this, "accept", err, strerror(err), LOG_LEVEL_ERROR);
        return;
    }
    KeepSpare();
    if (a >= FD_SETSIZE) {
        Handler().LogError(this, "accept", a, "Descriptor outside the range of fd_set", LOG_LEVEL_ERROR);
        close(a);
        return;
    }
    if (!m_prototype) {
        Handler().LogError(this, "accept", 0, "no socket to accept into", LOG_LEVEL_ERROR);
        close(a);
        return;
    }
    std::unique_ptr<Socket> tmp(m_prototype->Create());
    if (!tmp) {
        Handler().LogError(this, "accept", 0, "Create() gave no socket", LOG_LEVEL_ERROR);
        close(a);
        return;
    }
    tmp->SetIpv6(sa.ss_family == AF_INET6);
    tmp->SetParent(this);
    tmp->Attach(a);
    tmp->SetNonblocking(true);
    if (sa.ss_family == AF_INET6) {
        Ipv6Address remote(*reinterpret_cast<struct sockaddr_in6*>(&sa));
        tmp->SetRemoteAddress(remote);
    } else {
        Ipv4Address remote(*reinterpret_cast<struct sockaddr_in*>(&sa));
        tmp->SetRemoteAddress(remote);
    }
    tmp->SetConnected(true);
    if (!Handler().OkToAccept(tmp.get())) {
        Handler().LogError(this, "accept", -1, "Not OK to accept", LOG_LEVEL_WARNING);
        return;
    }
    tmp->Init();
    tmp->SetDeleteByHandler(true);
    Socket* p = tmp.release();
    Handler().Add(p);
    if (p->IsSSL())
        p->OnSSLAccept();
    else
        p->OnAccept();
}

void ListenSocket::OutOfDescriptors(int err) {
    // Near the limit each freed descriptor serves one client and the next finds none again: one
    // report stands for all of that a minute.
    const time_t now = Handler().Now();
    if (m_shortage_reported == 0 || now - m_shortage_reported >= kShortageReportInterval) {
        m_shortage_reported = now;
        Handler().LogError(this, "accept", err,
                           std::string(strerror(err)) + ": connections are closed until a descriptor is free",
                           LOG_LEVEL_ERROR);
    }
    // The connection left pending would keep the socket readable: take it with the spare.
    if (m_spare != -1) {
        close(m_spare);
        m_spare = -1;
        const int a = accept4(GetSocket(), nullptr, nullptr, SOCK_CLOEXEC);
        if (a != -1) close(a);
        KeepSpare();
        if (m_spare != -1) return;
    }
    Set(false, false);
    SetTimeout(1);
}

void ListenSocket::OnTimeout() {
    Set(true, false);
}
