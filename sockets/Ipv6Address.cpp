#include "sockets/Ipv6Address.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstring>

#include "sockets/Utility.h"

Ipv6Address::Ipv6Address(port_t port) {
    m_addr.sin6_family = AF_INET6;
    m_addr.sin6_port = htons(port);
}

Ipv6Address::Ipv6Address(struct in6_addr& a, port_t port) : Ipv6Address(port) {
    m_addr.sin6_addr = a;
}

Ipv6Address::Ipv6Address(const std::string& host, port_t port) : Ipv6Address(port) {
    struct sockaddr_in6 sa {};
    m_valid = Utility::u2ip(host, sa);
    if (!m_valid) return;
    m_addr.sin6_addr = sa.sin6_addr;
    m_addr.sin6_scope_id = sa.sin6_scope_id;
}

Ipv6Address::Ipv6Address(struct sockaddr_in6& sa) : m_valid(sa.sin6_family == AF_INET6) {
    m_addr.sin6_family = sa.sin6_family;
    m_addr.sin6_port = sa.sin6_port;
    m_addr.sin6_flowinfo = sa.sin6_flowinfo;
    m_addr.sin6_addr = sa.sin6_addr;
    m_addr.sin6_scope_id = sa.sin6_scope_id;
}

Ipv6Address::operator struct sockaddr *() {
    return reinterpret_cast<struct sockaddr*>(&m_addr);
}

Ipv6Address::operator socklen_t() {
    return sizeof(struct sockaddr_in6);
}

bool Ipv6Address::operator==(SocketAddress& other) {
    if (other.GetFamily() != AF_INET6 || static_cast<socklen_t>(other) != sizeof(struct sockaddr_in6))
        return false;
    const auto* sa = reinterpret_cast<const struct sockaddr_in6*>(static_cast<struct sockaddr*>(other));
    return sa->sin6_port == m_addr.sin6_port &&
           std::memcmp(&sa->sin6_addr, &m_addr.sin6_addr, sizeof(struct in6_addr)) == 0;
}

void Ipv6Address::SetPort(port_t port) {
    m_addr.sin6_port = htons(port);
}

port_t Ipv6Address::GetPort() {
    return ntohs(m_addr.sin6_port);
}

void Ipv6Address::SetAddress(struct sockaddr* sa) {
    std::memcpy(&m_addr, sa, sizeof(struct sockaddr_in6));
}

std::string Ipv6Address::Convert(bool include_port) {
    const std::string text = Convert(m_addr.sin6_addr);
    // The port's colon must not read as one of the address's.
    if (include_port) return "[" + text + "]:" + Utility::l2string(GetPort());
    return text;
}

std::string Ipv6Address::Reverse() {
    std::string name;
    Reverse(m_addr.sin6_addr, name);
    return name;
}

int Ipv6Address::GetFamily() {
    return m_addr.sin6_family;
}

std::unique_ptr<SocketAddress> Ipv6Address::GetCopy() {
    return std::make_unique<Ipv6Address>(m_addr);
}

bool Ipv6Address::Resolve(const std::string& host, struct in6_addr& a) {
    a = {};
    struct sockaddr_in6 sa {};
    if (!Utility::u2ip(host, sa, Utility::isipv6(host) ? AI_NUMERICHOST : 0)) return false;
    a = sa.sin6_addr;
    return true;
}

bool Ipv6Address::Reverse(struct in6_addr& a, std::string& name) {
    struct sockaddr_in6 sa {};
    sa.sin6_family = AF_INET6;
    sa.sin6_addr = a;
    return Utility::reverse(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa, name);
}

std::string Ipv6Address::Convert(struct in6_addr& a, bool mixed) {
    std::string text;
    if (mixed) {
        Utility::l2ip(a, text, true);
        return text;
    }
    struct sockaddr_in6 sa {};
    sa.sin6_family = AF_INET6;
    sa.sin6_addr = a;
    Utility::reverse(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa, text, NI_NUMERICHOST);
    return text;
}
