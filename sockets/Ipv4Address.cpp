#include "sockets/Ipv4Address.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <cstring>

#include "sockets/Utility.h"

Ipv4Address::Ipv4Address(port_t port) {
    m_addr.sin_family = AF_INET;
    m_addr.sin_port = htons(port);
}

Ipv4Address::Ipv4Address(ipaddr_t a, port_t port) : Ipv4Address(port) {
    m_addr.sin_addr.s_addr = static_cast<in_addr_t>(a);
}

Ipv4Address::Ipv4Address(struct in_addr& a, port_t port) : Ipv4Address(port) {
    m_addr.sin_addr = a;
}

Ipv4Address::Ipv4Address(const std::string& host, port_t port) : Ipv4Address(port) {
    ipaddr_t a = 0;
    m_valid = Utility::u2ip(host, a);
    m_addr.sin_addr.s_addr = m_valid ? static_cast<in_addr_t>(a) : 0;
}

Ipv4Address::Ipv4Address(struct sockaddr_in& sa) : m_addr(sa), m_valid(sa.sin_family == AF_INET) {}

Ipv4Address::operator struct sockaddr *() {
    return reinterpret_cast<struct sockaddr*>(&m_addr);
}

Ipv4Address::operator socklen_t() {
    return sizeof(struct sockaddr_in);
}

bool Ipv4Address::operator==(SocketAddress& other) {
    if (other.GetFamily() != AF_INET || static_cast<socklen_t>(other) != sizeof(struct sockaddr_in))
        return false;
    const auto* sa = reinterpret_cast<const struct sockaddr_in*>(static_cast<struct sockaddr*>(other));
    return sa->sin_port == m_addr.sin_port && sa->sin_addr.s_addr == m_addr.sin_addr.s_addr;
}

void Ipv4Address::SetPort(port_t port) {
    m_addr.sin_port = htons(port);
}

port_t Ipv4Address::GetPort() {
    return ntohs(m_addr.sin_port);
}

void Ipv4Address::SetAddress(struct sockaddr* sa) {
    std::memcpy(&m_addr, sa, sizeof(struct sockaddr_in));
}

std::string Ipv4Address::Convert(bool include_port) {
    std::string text = Convert(m_addr.sin_addr);
    if (include_port) text += ":" + Utility::l2string(GetPort());
    return text;
}

std::string Ipv4Address::Reverse() {
    std::string name;
    Reverse(m_addr.sin_addr, name);
    return name;
}

int Ipv4Address::GetFamily() {
    return m_addr.sin_family;
}

std::unique_ptr<SocketAddress> Ipv4Address::GetCopy() {
    return std::make_unique<Ipv4Address>(m_addr);
}

bool Ipv4Address::Resolve(const std::string& host, struct in_addr& a) {
    a = {};
    struct sockaddr_in sa {};
    if (!Utility::u2ip(host, sa, Utility::isipv4(host) ? AI_NUMERICHOST : 0)) return false;
    a = sa.sin_addr;
    return true;
}

bool Ipv4Address::Reverse(struct in_addr& a, std::string& name) {
    struct sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_addr = a;
    return Utility::reverse(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa, name);
}

std::string Ipv4Address::Convert(struct in_addr& a) {
    struct sockaddr_in sa {};
    sa.sin_family = AF_INET;
    sa.sin_addr = a;
    std::string name;
    Utility::reverse(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa, name, NI_NUMERICHOST);
    return name;
}
