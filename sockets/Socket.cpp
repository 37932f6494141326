#include "sockets/Socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sockets/Exception.h"
#include "sockets/Ipv4Address.h"
#include "sockets/Ipv6Address.h"
#include "sockets/Utility.h"

namespace {

// The protocols the library opens itself, for systems without a protocols database.
struct ProtocolNumber {
    const char* name;
    int number;
};
constexpr ProtocolNumber kKnownProtocols[] = {{"tcp", IPPROTO_TCP}, {"udp", IPPROTO_UDP}};

bool KnownProtocol(const std::string& name, int& number) {
    for (const ProtocolNumber& p : kKnownProtocols) {
        if (name != p.name) continue;
        number = p.number;
        return true;
    }
    return false;
}

}  // namespace

std::atomic<unsigned long> Socket::m_next_uid{0};

Socket::Socket(ISocketHandler& handler)
    : m_handler(handler),
      m_tCreate(handler.Now()),
      m_uid(++m_next_uid),
      m_socks4_host(handler.GetSocks4Host()),
      m_socks4_port(handler.GetSocks4Port()),
      m_socks4_userid(handler.GetSocks4Userid()) {}

Socket::~Socket() {
    Handler().Remove(this);
    if (m_socket != -1) Socket::Close();
}

int Socket::Close() {
    if (m_socket == -1) {
        Handler().LogError(this, "Socket::Close", 0, "file descriptor invalid", LOG_LEVEL_WARNING);
        return 0;
    }
    int n = close(m_socket);
    if (n == -1) Handler().LogError(this, "close", errno, strerror(errno), LOG_LEVEL_ERROR);
    const int fd = m_socket;
    Handler().Set(fd, false, false, false);
    Handler().AddList(fd, LIST_CALLONCONNECT, false);
    Handler().AddList(fd, LIST_TIMEOUT, false);
    Handler().AddList(fd, LIST_RETRY, false);
    Handler().AddList(fd, LIST_CLOSE, false);
    m_socket = -1;
    Handler().SocketClosed(this, fd);
    return n;
}

bool Socket::Ready() {
    return m_socket != -1 && !CloseAndDelete();
}

port_t Socket::GetPort() {
    Handler().LogError(this, "GetPort", 0, "GetPort only implemented for ListenSocket", LOG_LEVEL_WARNING);
    return 0;
}

void Socket::SendBuf(const char*, size_t, int) {}
void Socket::Send(const std::string&, int) {}
uint64_t Socket::GetBytesSent(bool) {
    return 0;
}
uint64_t Socket::GetBytesReceived(bool) {
    return 0;
}

void Socket::OnException() {
    const int err = SoError();
    Handler().LogError(this, "exception on select", err, strerror(err), LOG_LEVEL_FATAL);
    SetCloseAndDelete();
}

void Socket::OnSocks4Connect() {
    Handler().LogError(this, "OnSocks4Connect", 0, "Use with TcpSocket only", LOG_LEVEL_WARNING);
}

void Socket::OnSocks4ConnectFailed() {
    Handler().LogError(this, "OnSocks4ConnectFailed", 0, "Use with TcpSocket only", LOG_LEVEL_WARNING);
}

bool Socket::OnSocks4Read() {
    Handler().LogError(this, "OnSocks4Read", 0, "Use with TcpSocket only", LOG_LEVEL_WARNING);
    return true;
}

int Socket::CreateSocket(int family, int type, const std::string& protocol) {
    int protno = 0;
    if (!protocol.empty()) {
        const struct protoent* p = getprotobyname(protocol.c_str());
        if (p) {
            protno = p->p_proto;
        } else if (!KnownProtocol(protocol, protno)) {
            const int err = errno;
            Handler().LogError(this, "getprotobyname", err, strerror(err), LOG_LEVEL_FATAL);
            SetCloseAndDelete();
            throw Exception(std::string("getprotobyname() failed: ") + strerror(err));
        }
    }
    const int s = socket(family, type | SOCK_CLOEXEC, protno);
    if (s == -1) {
        const int err = errno;
        Handler().LogError(this, "socket", err, strerror(err), LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        throw Exception(std::string("socket() failed: ") + strerror(err));
    }
    // OnOptions works on GetSocket(); the caller attaches the descriptor afterwards.
    const int previous = m_socket;
    Attach(s);
    try {
        OnOptions(family, type, protno, s);
    } catch (...) {
        Attach(previous);
        close(s);
        throw;
    }
    Attach(previous);
    return s;
}

void Socket::SetCloseAndDelete(bool x) {
    if (x == m_bClose) return;
    Handler().AddList(m_socket, LIST_CLOSE, x);
    m_bClose = x;
    if (x) m_tClose = Handler().Now();
}

time_t Socket::TimeSinceClose() {
    return Handler().Now() - m_tClose;
}
time_t Socket::Uptime() {
    return Handler().Now() - m_tCreate;
}

void Socket::SetTimeout(time_t seconds) {
    if (seconds == 0) {
        Handler().AddList(m_socket, LIST_TIMEOUT, false);
        return;
    }
    Handler().AddList(m_socket, LIST_TIMEOUT, true);
    m_timeout_start = Handler().Now();
    m_timeout_limit = seconds;
}

bool Socket::Timeout(time_t now) {
    return now - m_timeout_start > m_timeout_limit;
}

void Socket::Set(bool read, bool write, bool exception) {
    Handler().Set(m_socket, read, write, exception);
}

void Socket::SetClientRemoteAddress(SocketAddress& address) {
    if (!address.IsValid())
        Handler().LogError(this, "SetClientRemoteAddress", 0, "remote address not valid", LOG_LEVEL_ERROR);
    m_client_remote_address = address.GetCopy();
}

std::unique_ptr<SocketAddress> Socket::GetClientRemoteAddress() {
    if (!m_client_remote_address) {
        Handler().LogError(this, "GetClientRemoteAddress", 0, "remote address not yet set", LOG_LEVEL_ERROR);
        return nullptr;
    }
    return m_client_remote_address->GetCopy();
}

void Socket::SetRemoteAddress(SocketAddress& address) {
    m_remote_address = address.GetCopy();
}

std::unique_ptr<SocketAddress> Socket::GetRemoteSocketAddress() {
    return m_remote_address ? m_remote_address->GetCopy() : nullptr;
}

ipaddr_t Socket::GetRemoteIP4() {
    if (m_ipv6)
        Handler().LogError(this, "GetRemoteIP4", 0, "get ipv4 address for ipv6 socket", LOG_LEVEL_WARNING);
    if (!m_remote_address) return 0;
    const auto* sa =
        reinterpret_cast<const struct sockaddr_in*>(static_cast<struct sockaddr*>(*m_remote_address));
    return sa->sin_addr.s_addr;
}

struct in6_addr Socket::GetRemoteIP6() {
    if (!m_ipv6)
        Handler().LogError(this, "GetRemoteIP6", 0, "get ipv6 address for ipv4 socket", LOG_LEVEL_WARNING);
    struct in6_addr a {};
    if (m_remote_address && m_remote_address->GetFamily() == AF_INET6) {
        const auto* sa =
            reinterpret_cast<const struct sockaddr_in6*>(static_cast<struct sockaddr*>(*m_remote_address));
        a = sa->sin6_addr;
    }
    return a;
}

port_t Socket::GetRemotePort() {
    return m_remote_address ? m_remote_address->GetPort() : 0;
}

std::string Socket::GetRemoteAddress() {
    return m_remote_address ? m_remote_address->Convert(false) : "";
}

std::string Socket::GetRemoteHostname() {
    return m_remote_address ? m_remote_address->Reverse() : "";
}

port_t Socket::GetSockPort() {
    struct sockaddr_storage sa {};
    socklen_t len = sizeof(sa);
    if (getsockname(m_socket, reinterpret_cast<struct sockaddr*>(&sa), &len) == -1) return 0;
    if (sa.ss_family == AF_INET6) return ntohs(reinterpret_cast<struct sockaddr_in6*>(&sa)->sin6_port);
    return ntohs(reinterpret_cast<struct sockaddr_in*>(&sa)->sin_port);
}

ipaddr_t Socket::GetSockIP4() {
    if (m_ipv6) return 0;
    struct sockaddr_in sa {};
    socklen_t len = sizeof(sa);
    if (getsockname(m_socket, reinterpret_cast<struct sockaddr*>(&sa), &len) == -1) return 0;
    return sa.sin_addr.s_addr;
}

std::string Socket::GetSockAddress() {
    if (m_ipv6) return "";
    struct sockaddr_in sa {};
    socklen_t len = sizeof(sa);
    if (getsockname(m_socket, reinterpret_cast<struct sockaddr*>(&sa), &len) == -1) sa.sin_addr.s_addr = 0;
    sa.sin_family = AF_INET;
    Ipv4Address address(sa);
    return address.Convert(false);
}

struct in6_addr Socket::GetSockIP6() {
    struct in6_addr a {};
    if (!m_ipv6) return a;
    struct sockaddr_in6 sa {};
    socklen_t len = sizeof(sa);
    if (getsockname(m_socket, reinterpret_cast<struct sockaddr*>(&sa), &len) == -1) return a;
    return sa.sin6_addr;
}

std::string Socket::GetSockAddress6() {
    if (!m_ipv6) return "";
    struct sockaddr_in6 sa {};
    socklen_t len = sizeof(sa);
    if (getsockname(m_socket, reinterpret_cast<struct sockaddr*>(&sa), &len) == -1) sa = {};
    sa.sin6_family = AF_INET6;
    Ipv6Address address(sa);
    return address.Convert(false);
}

bool Socket::SetNonblocking(bool on) {
    return SetNonblocking(on, m_socket);
}

bool Socket::SetNonblocking(bool on, int s) {
    const int flags = fcntl(s, F_GETFL, 0);
    const int wanted = flags == -1 ? (on ? O_NONBLOCK : 0) : (on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
    if (flags == -1 || fcntl(s, F_SETFL, wanted) == -1) {
        Handler().LogError(this, on ? "fcntl(F_SETFL, O_NONBLOCK)" : "fcntl(F_SETFL, 0)", errno,
                           strerror(errno), LOG_LEVEL_ERROR);
        return false;
    }
    return true;
}

int Socket::SoError() {
    int value = 0;
    socklen_t len = sizeof(value);
    if (getsockopt(m_socket, SOL_SOCKET, SO_ERROR, &value, &len) == -1)
        Handler().LogError(this, "getsockopt(SOL_SOCKET, SO_ERROR)", errno, strerror(errno), LOG_LEVEL_FATAL);
    return value;
}

void Socket::SetSocks4Host(const std::string& host) {
    Utility::u2ip(host, m_socks4_host);
}

bool Socket::SetOption(int level, int option, const char* text, const void* value, socklen_t length) {
    if (setsockopt(m_socket, level, option, value, length) == -1) {
        Handler().LogError(this, text, errno, strerror(errno), LOG_LEVEL_FATAL);
        return false;
    }
    return true;
}

bool Socket::GetOption(int level, int option, const char* text, void* value, socklen_t length) {
    if (getsockopt(m_socket, level, option, value, &length) == -1) {
        Handler().LogError(this, text, errno, strerror(errno), LOG_LEVEL_FATAL);
        return false;
    }
    return true;
}

// The report text names the call as written: "setsockopt(LEVEL, OPTION)".
#define SOCKET_SET_FLAG(Name, level, option)                                                           \
    bool Socket::Name(bool x) {                                                                        \
        int value = x ? 1 : 0;                                                                         \
        return SetOption(level, option, "setsockopt(" #level ", " #option ")", &value, sizeof(value)); \
    }
#define SOCKET_SET_INT(Name, level, option)                                                    \
    bool Socket::Name(int x) {                                                                 \
        return SetOption(level, option, "setsockopt(" #level ", " #option ")", &x, sizeof(x)); \
    }
#define SOCKET_GET_INT(Name, level, option)                                                     \
    int Socket::Name() {                                                                        \
        int value = -1;                                                                         \
        GetOption(level, option, "getsockopt(" #level ", " #option ")", &value, sizeof(value)); \
        return value;                                                                           \
    }

SOCKET_SET_FLAG(SetIpPktinfo, IPPROTO_IP, IP_PKTINFO)
SOCKET_SET_FLAG(SetIpRecvTTL, IPPROTO_IP, IP_RECVTTL)
SOCKET_SET_FLAG(SetIpRecvopts, IPPROTO_IP, IP_RECVOPTS)
SOCKET_SET_FLAG(SetIpRetopts, IPPROTO_IP, IP_RETOPTS)
SOCKET_SET_INT(SetIpTTL, IPPROTO_IP, IP_TTL)
SOCKET_GET_INT(IpTTL, IPPROTO_IP, IP_TTL)
SOCKET_SET_FLAG(SetIpHdrincl, IPPROTO_IP, IP_HDRINCL)
SOCKET_SET_INT(SetIpMulticastTTL, IPPROTO_IP, IP_MULTICAST_TTL)
SOCKET_GET_INT(IpMulticastTTL, IPPROTO_IP, IP_MULTICAST_TTL)
SOCKET_SET_FLAG(SetMulticastLoop, IPPROTO_IP, IP_MULTICAST_LOOP)
SOCKET_SET_FLAG(SetSoReuseaddr, SOL_SOCKET, SO_REUSEADDR)
SOCKET_SET_FLAG(SetSoKeepalive, SOL_SOCKET, SO_KEEPALIVE)
SOCKET_SET_FLAG(SetSoBroadcast, SOL_SOCKET, SO_BROADCAST)
SOCKET_SET_FLAG(SetSoDebug, SOL_SOCKET, SO_DEBUG)
SOCKET_SET_FLAG(SetSoDontroute, SOL_SOCKET, SO_DONTROUTE)
SOCKET_SET_FLAG(SetSoOobinline, SOL_SOCKET, SO_OOBINLINE)
SOCKET_SET_INT(SetSoRcvlowat, SOL_SOCKET, SO_RCVLOWAT)
SOCKET_SET_INT(SetSoSndlowat, SOL_SOCKET, SO_SNDLOWAT)
SOCKET_SET_INT(SetSoRcvbuf, SOL_SOCKET, SO_RCVBUF)
SOCKET_GET_INT(SoRcvbuf, SOL_SOCKET, SO_RCVBUF)
SOCKET_SET_INT(SetSoSndbuf, SOL_SOCKET, SO_SNDBUF)
SOCKET_GET_INT(SoSndbuf, SOL_SOCKET, SO_SNDBUF)
SOCKET_SET_FLAG(SetSoTimestamp, SOL_SOCKET, SO_TIMESTAMP)
SOCKET_GET_INT(SoType, SOL_SOCKET, SO_TYPE)

#undef SOCKET_SET_FLAG
#undef SOCKET_SET_INT
#undef SOCKET_GET_INT

bool Socket::SetIpOptions(const void* p, socklen_t len) {
    return SetOption(IPPROTO_IP, IP_OPTIONS, "setsockopt(IPPROTO_IP, IP_OPTIONS)", p, len);
}

bool Socket::SetIpTOS(unsigned char tos) {
    return SetOption(IPPROTO_IP, IP_TOS, "setsockopt(IPPROTO_IP, IP_TOS)", &tos, sizeof(tos));
}

unsigned char Socket::IpTOS() {
    unsigned char tos = 0;
    GetOption(IPPROTO_IP, IP_TOS, "getsockopt(IPPROTO_IP, IP_TOS)", &tos, sizeof(tos));
    return tos;
}

bool Socket::IpAddMembership(struct ip_mreq& mreq) {
    return SetOption(IPPROTO_IP, IP_ADD_MEMBERSHIP, "setsockopt(IPPROTO_IP, IP_ADD_MEMBERSHIP)", &mreq,
                     sizeof(mreq));
}

bool Socket::IpDropMembership(struct ip_mreq& mreq) {
    return SetOption(IPPROTO_IP, IP_DROP_MEMBERSHIP, "setsockopt(IPPROTO_IP, IP_DROP_MEMBERSHIP)", &mreq,
                     sizeof(mreq));
}

// Linux has no SO_NOSIGPIPE: every send passes MSG_NOSIGNAL and the library ignores SIGPIPE, so the
// option is not needed and its absence is no error.
bool Socket::SetSoNosigpipe(bool) {
    return true;
}

bool Socket::SoAcceptconn() {
    int value = 0;
    GetOption(SOL_SOCKET, SO_ACCEPTCONN, "getsockopt(SOL_SOCKET, SO_ACCEPTCONN)", &value, sizeof(value));
    return value != 0;
}

bool Socket::SetSoLinger(int onoff, int seconds) {
    struct linger l {
        onoff, seconds
    };
    return SetOption(SOL_SOCKET, SO_LINGER, "setsockopt(SOL_SOCKET, SO_LINGER)", &l, sizeof(l));
}

bool Socket::SetSoRcvtimeo(struct timeval& tv) {
    return SetOption(SOL_SOCKET, SO_RCVTIMEO, "setsockopt(SOL_SOCKET, SO_RCVTIMEO)", &tv, sizeof(tv));
}

bool Socket::SetSoSndtimeo(struct timeval& tv) {
    return SetOption(SOL_SOCKET, SO_SNDTIMEO, "setsockopt(SOL_SOCKET, SO_SNDTIMEO)", &tv, sizeof(tv));
}
