#include "sockets/UdpSocket.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sockets/Exception.h"
#include "sockets/Ipv4Address.h"
#include "sockets/Ipv6Address.h"
#include "sockets/Utility.h"

UdpSocket::UdpSocket(ISocketHandler& handler, int buffer_size, bool ipv6, int retries)
    : Socket(handler), m_ibuf(new char[buffer_size]), m_ibufsz(buffer_size), m_retries(retries) {
    SetIpv6(ipv6);
}

UdpSocket::~UdpSocket() {
    // The base destructor would close it too, but without telling the handler first.
    if (GetSocket() != -1) Close();
}

bool UdpSocket::EnsureDescriptor(int family) {
    if (GetSocket() == -1) Attach(CreateSocket(family, SOCK_DGRAM, "udp"));
    return GetSocket() != -1;
}

int UdpSocket::Bind(port_t& port, int range) {
    if (IsIpv6()) {
        Ipv6Address ad(port);
        return Bind(ad, range);
    }
    Ipv4Address ad(port);
    return Bind(ad, range);
}

int UdpSocket::Bind(const std::string& intf, port_t& port, int range) {
    if (IsIpv6()) {
        Ipv6Address ad(intf, port);
        if (ad.IsValid()) return Bind(ad, range);
    } else {
        Ipv4Address ad(intf, port);
        if (ad.IsValid()) return Bind(ad, range);
    }
    SetCloseAndDelete();
    return -1;
}

int UdpSocket::Bind(ipaddr_t a, port_t& port, int range) {
    Ipv4Address ad(a, port);
    return Bind(ad, range);
}

int UdpSocket::Bind(struct in6_addr a, port_t& port, int range) {
    Ipv6Address ad(a, port);
    return Bind(ad, range);
}

int UdpSocket::Bind(SocketAddress& ad, int range) {
    if (!EnsureDescriptor(ad.GetFamily())) return -1;
    SetNonblocking(true);
    int n = bind(GetSocket(), ad, ad);
    int tries = 0;
    // The range ends at the last port: one past it would wrap to 0, any port the system picks.
    while (n == -1 && range > 0 && tries < range && ad.GetPort() < 65535) {
        ++tries;
        ad.SetPort(static_cast<port_t>(ad.GetPort() + 1));
        n = bind(GetSocket(), ad, ad);
    }
    if (n == -1) {
        const int err = errno;
        Handler().LogError(this, "bind", err, strerror(err), LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        throw Exception("bind() failed for UdpSocket, port:range: " + std::to_string(ad.GetPort()) + ":" +
                        std::to_string(range));
    }
    m_bind_ok = true;
    // Port 0 asks the system for one; the port bound is the one it gave.
    m_port = ad.GetPort() ? ad.GetPort() : GetSockPort();
    return 0;
}

bool UdpSocket::Open(SocketAddress& ad) {
    if (!EnsureDescriptor(ad.GetFamily())) return false;
    SetNonblocking(true);
    if (connect(GetSocket(), ad, ad) == -1) {
        const int err = errno;
        Handler().LogError(this, "connect", err, strerror(err), LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        return false;
    }
    SetConnected(true);
    return true;
}

bool UdpSocket::Open(ipaddr_t a, port_t port) {
    Ipv4Address ad(a, port);
    return Open(ad);
}

bool UdpSocket::Open(struct in6_addr& a, port_t port) {
    Ipv6Address ad(a, port);
    return Open(ad);
}

bool UdpSocket::Open(const std::string& host, port_t port) {
    if (IsIpv6()) {
        Ipv6Address ad(host, port);
        return ad.IsValid() && Open(ad);
    }
    Ipv4Address ad(host, port);
    return ad.IsValid() && Open(ad);
}

void UdpSocket::CreateConnection() {
    if (GetSocket() != -1) return;
    const int s = CreateSocket(IsIpv6() ? AF_INET6 : AF_INET, SOCK_DGRAM, "udp");
    if (s == -1) return;
    SetNonblocking(true, s);
    Attach(s);
}

void UdpSocket::SendToBuf(SocketAddress& ad, const char* data, int len, int flags) {
    if (!ad.IsValid()) return;
    if (!EnsureDescriptor(ad.GetFamily())) return;
    SetNonblocking(true);
    m_last_size_written = static_cast<int>(sendto(GetSocket(), data, len, flags | MSG_NOSIGNAL, ad, ad));
    if (m_last_size_written == -1)
        Handler().LogError(this, "sendto", errno, strerror(errno), LOG_LEVEL_ERROR);
}

void UdpSocket::SendToBuf(const std::string& host, port_t port, const char* data, int len, int flags) {
    if (IsIpv6()) {
        Ipv6Address ad(host, port);
        SendToBuf(ad, data, len, flags);
        return;
    }
    Ipv4Address ad(host, port);
    SendToBuf(ad, data, len, flags);
}

void UdpSocket::SendToBuf(ipaddr_t a, port_t port, const char* data, int len, int flags) {
    Ipv4Address ad(a, port);
    SendToBuf(ad, data, len, flags);
}

void UdpSocket::SendToBuf(struct in6_addr a, port_t port, const char* data, int len, int flags) {
    Ipv6Address ad(a, port);
    SendToBuf(ad, data, len, flags);
}

void UdpSocket::SendTo(SocketAddress& ad, const std::string& text, int flags) {
    SendToBuf(ad, text.data(), static_cast<int>(text.size()), flags);
}

void UdpSocket::SendTo(const std::string& host, port_t port, const std::string& text, int flags) {
    SendToBuf(host, port, text.data(), static_cast<int>(text.size()), flags);
}

void UdpSocket::SendTo(ipaddr_t a, port_t port, const std::string& text, int flags) {
    SendToBuf(a, port, text.data(), static_cast<int>(text.size()), flags);
}

void UdpSocket::SendTo(struct in6_addr a, port_t port, const std::string& text, int flags) {
    SendToBuf(a, port, text.data(), static_cast<int>(text.size()), flags);
}

void UdpSocket::SendBuf(const char* data, size_t len, int flags) {
    if (!IsConnected()) {
        Handler().LogError(this, "SendBuf", 0, "not connected", LOG_LEVEL_ERROR);
        return;
    }
    m_last_size_written = static_cast<int>(send(GetSocket(), data, len, flags | MSG_NOSIGNAL));
    if (m_last_size_written == -1) Handler().LogError(this, "send", errno, strerror(errno), LOG_LEVEL_ERROR);
}

void UdpSocket::Send(const std::string& text, int flags) {
    SendBuf(text.data(), text.size(), flags);
}

void UdpSocket::OnRead() {
    if (m_b_read_ts) {
        ReadTimestamped();
        return;
    }
    const socklen_t expected = IsIpv6() ? sizeof(struct sockaddr_in6) : sizeof(struct sockaddr_in);
    for (int i = 0; i <= m_retries; ++i) {
        struct sockaddr_storage sa {};
        socklen_t sa_len = expected;
        const ssize_t n = recvfrom(GetSocket(), m_ibuf.get(), m_ibufsz, 0,
                                   reinterpret_cast<struct sockaddr*>(&sa), &sa_len);
        if (n == -1) {
            if (errno != EWOULDBLOCK && errno != EAGAIN && errno != EINTR)
                Handler().LogError(this, "recvfrom", errno, strerror(errno), LOG_LEVEL_ERROR);
            return;
        }
        if (sa_len != expected)
            Handler().LogError(this, "recvfrom", 0, "unexpected address struct size", LOG_LEVEL_WARNING);
        OnRawData(m_ibuf.get(), static_cast<size_t>(n), reinterpret_cast<struct sockaddr*>(&sa), sa_len);
    }
}

void UdpSocket::ReadTimestamped() {
    struct timeval ts {};
    Utility::GetTime(&ts);
    struct sockaddr_storage sa {};
    memset(m_ibuf.get(), 0, m_ibufsz);
    struct iovec vec {
        m_ibuf.get(), static_cast<size_t>(m_ibufsz)
    };
    alignas(struct cmsghdr) char control[CMSG_SPACE(sizeof(struct timeval))];
    struct msghdr msg {};
    msg.msg_name = &sa;
    msg.msg_namelen = IsIpv6() ? sizeof(struct sockaddr_in6) : sizeof(struct sockaddr_in);
    msg.msg_iov = &vec;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    const ssize_t n = recvmsg(GetSocket(), &msg, MSG_DONTWAIT);
    if (n == -1) {
        if (errno != EWOULDBLOCK && errno != EAGAIN && errno != EINTR)
            Handler().LogError(this, "recvfrom", errno, strerror(errno), LOG_LEVEL_ERROR);
        return;
    }
    if (msg.msg_controllen >= sizeof(struct cmsghdr) && !(msg.msg_flags & MSG_CTRUNC)) {
        for (struct cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP)
                memcpy(&ts, CMSG_DATA(c), sizeof(ts));
        }
    }
    if (n > 0)
        OnRawData(m_ibuf.get(), static_cast<size_t>(n), reinterpret_cast<struct sockaddr*>(&sa),
                  msg.msg_namelen, &ts);
}

void UdpSocket::OptionFailed(const char* text) {
    Handler().LogError(this, text, errno, strerror(errno), LOG_LEVEL_WARNING);
}

void UdpSocket::SetBroadcast(bool b) {
    CreateConnection();
    int one = b ? 1 : 0;
    if (setsockopt(GetSocket(), SOL_SOCKET, SO_BROADCAST, &one, sizeof(one)) == -1)
        OptionFailed("SetBroadcast");
}

bool UdpSocket::IsBroadcast() {
    CreateConnection();
    int value = 0;
    socklen_t len = sizeof(value);
    if (getsockopt(GetSocket(), SOL_SOCKET, SO_BROADCAST, &value, &len) == -1) OptionFailed("IsBroadcast");
    return value != 0;
}

void UdpSocket::SetMulticastTTL(int ttl) {
    CreateConnection();
    if (setsockopt(GetSocket(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl)) == -1)
        OptionFailed("SetMulticastTTL");
}

int UdpSocket::GetMulticastTTL() {
    CreateConnection();
    int ttl = 0;
    socklen_t len = sizeof(ttl);
    if (getsockopt(GetSocket(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, &len) == -1)
        OptionFailed("GetMulticastTTL");
    return ttl;
}

void UdpSocket::SetMulticastLoop(bool x) {
    CreateConnection();
    int value = x ? 1 : 0;
    if (IsIpv6()) {
        if (setsockopt(GetSocket(), IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &value, sizeof(value)) == -1)
            OptionFailed("SetMulticastLoop(ipv6)");
        return;
    }
    if (setsockopt(GetSocket(), IPPROTO_IP, IP_MULTICAST_LOOP, &value, sizeof(value)) == -1)
        OptionFailed("SetMulticastLoop(ipv4)");
}

bool UdpSocket::IsMulticastLoop() {
    CreateConnection();
    int value = 0;
    socklen_t len = sizeof(value);
    if (IsIpv6()) {
        if (getsockopt(GetSocket(), IPPROTO_IPV6, IPV6_MULTICAST_LOOP, &value, &len) == -1)
            OptionFailed("IsMulticastLoop(ipv6)");
    } else if (getsockopt(GetSocket(), IPPROTO_IP, IP_MULTICAST_LOOP, &value, &len) == -1) {
        OptionFailed("IsMulticastLoop(ipv4)");
    }
    return value != 0;
}

void UdpSocket::Membership(bool add, const std::string& group, const std::string& intf, int if_index) {
    CreateConnection();
    if (IsIpv6()) {
        struct ipv6_mreq x {};
        if (!Utility::u2ip(group, x.ipv6mr_multiaddr)) return;
        x.ipv6mr_interface = static_cast<unsigned int>(if_index);
        if (setsockopt(GetSocket(), IPPROTO_IPV6, add ? IPV6_JOIN_GROUP : IPV6_LEAVE_GROUP, &x, sizeof(x)) ==
            -1)
            OptionFailed(add ? "AddMulticastMembership(ipv6)" : "DropMulticastMembership(ipv6)");
        return;
    }
    ipaddr_t g = 0, i = 0;
    if (!Utility::u2ip(group, g) || !Utility::u2ip(intf, i)) return;
    struct ip_mreq x {};
    x.imr_multiaddr.s_addr = static_cast<in_addr_t>(g);
    x.imr_interface.s_addr = static_cast<in_addr_t>(i);
    if (setsockopt(GetSocket(), IPPROTO_IP, add ? IP_ADD_MEMBERSHIP : IP_DROP_MEMBERSHIP, &x, sizeof(x)) ==
        -1)
        OptionFailed(add ? "AddMulticastMembership(ipv4)" : "DropMulticastMembership(ipv4)");
}

void UdpSocket::AddMulticastMembership(const std::string& group, const std::string& intf, int if_index) {
    Membership(true, group, intf, if_index);
}

void UdpSocket::DropMulticastMembership(const std::string& group, const std::string& intf, int if_index) {
    Membership(false, group, intf, if_index);
}

void UdpSocket::SetMulticastHops(int hops) {
    CreateConnection();
    if (!IsIpv6()) {
        Handler().LogError(this, "SetMulticastHops", 0, "Ipv6 only", LOG_LEVEL_ERROR);
        return;
    }
    if (setsockopt(GetSocket(), IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, sizeof(hops)) == -1)
        OptionFailed("SetMulticastHops");
}

int UdpSocket::GetMulticastHops() {
    CreateConnection();
    if (!IsIpv6()) {
        Handler().LogError(this, "GetMulticastHops", 0, "Ipv6 only", LOG_LEVEL_ERROR);
        return -1;
    }
    int hops = 0;
    socklen_t len = sizeof(hops);
    if (getsockopt(GetSocket(), IPPROTO_IPV6, IPV6_MULTICAST_HOPS, &hops, &len) == -1)
        OptionFailed("GetMulticastHops");
    return hops;
}

void UdpSocket::SetMulticastDefaultInterface(ipaddr_t a, int) {
    CreateConnection();
    struct in_addr x {};
    x.s_addr = static_cast<in_addr_t>(a);
    if (setsockopt(GetSocket(), IPPROTO_IP, IP_MULTICAST_IF, &x, sizeof(x)) == -1)
        OptionFailed("SetMulticastDefaultInterface(ipv4)");
}

void UdpSocket::SetMulticastDefaultInterface(struct in6_addr, int if_index) {
    CreateConnection();
    unsigned int index = static_cast<unsigned int>(if_index);
    if (setsockopt(GetSocket(), IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof(index)) == -1)
        OptionFailed("SetMulticastDefaultInterface(ipv6)");
}

void UdpSocket::SetMulticastDefaultInterface(const std::string& intf, int if_index) {
    if (IsIpv6()) {
        struct in6_addr a {};
        if (Utility::u2ip(intf, a)) SetMulticastDefaultInterface(a, if_index);
        return;
    }
    ipaddr_t a = 0;
    if (Utility::u2ip(intf, a)) SetMulticastDefaultInterface(a, if_index);
}
