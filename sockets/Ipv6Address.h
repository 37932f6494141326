// An IPv6 socket address: a sockaddr_in6 with a validity flag.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "sockets/SocketAddress.h"

class Ipv6Address : public SocketAddress {
public:
    // ::, valid.
    explicit Ipv6Address(port_t port = 0);
    Ipv6Address(struct in6_addr& a, port_t port);
    // A name or numeric text; not valid, and ::, when it does not resolve to an IPv6 address.
    Ipv6Address(const std::string& host, port_t port);
    // Valid when the structure's family is AF_INET6.
    explicit Ipv6Address(struct sockaddr_in6& sa);

    operator struct sockaddr *() override;
    operator socklen_t() override;
    // Flow information and scope id are not compared.
    bool operator==(SocketAddress& other) override;
    void SetPort(port_t port) override;
    port_t GetPort() override;
    void SetAddress(struct sockaddr* sa) override;
    std::string Convert(bool include_port) override;
    std::string Reverse() override;
    int GetFamily() override;
    bool IsValid() override { return m_valid; }
    std::unique_ptr<SocketAddress> GetCopy() override;

    void SetFlowinfo(uint32_t x) { m_addr.sin6_flowinfo = x; }
    uint32_t GetFlowinfo() const { return m_addr.sin6_flowinfo; }
    void SetScopeId(uint32_t x) { m_addr.sin6_scope_id = x; }
    uint32_t GetScopeId() const { return m_addr.sin6_scope_id; }

    // Numeric text is read as groups; anything else is looked up.
    static bool Resolve(const std::string& host, struct in6_addr& a);
    static bool Reverse(struct in6_addr& a, std::string& name);
    // `mixed` ends the text in a dotted quad.
    static std::string Convert(struct in6_addr& a, bool mixed = false);

private:
    struct sockaddr_in6 m_addr {};
    bool m_valid{true};
};
