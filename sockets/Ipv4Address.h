// An IPv4 socket address: a sockaddr_in with a validity flag.
#pragma once

#include <netinet/in.h>

#include <string>

#include "sockets/SocketAddress.h"

class Ipv4Address : public SocketAddress {
public:
    // 0.0.0.0, valid.
    explicit Ipv4Address(port_t port = 0);
    // `a` in network byte order.
    Ipv4Address(ipaddr_t a, port_t port);
    Ipv4Address(struct in_addr& a, port_t port);
    // A name or dotted quad; not valid, and 0.0.0.0, when it does not resolve.
    Ipv4Address(const std::string& host, port_t port);
    // Valid when the structure's family is AF_INET.
    explicit Ipv4Address(struct sockaddr_in& sa);

    operator struct sockaddr *() override;
    operator socklen_t() override;
    bool operator==(SocketAddress& other) override;
    void SetPort(port_t port) override;
    port_t GetPort() override;
    void SetAddress(struct sockaddr* sa) override;
    std::string Convert(bool include_port) override;
    std::string Reverse() override;
    int GetFamily() override;
    bool IsValid() override { return m_valid; }
    std::unique_ptr<SocketAddress> GetCopy() override;

    // A dotted quad is read as numbers; anything else is looked up.
    static bool Resolve(const std::string& host, struct in_addr& a);
    static bool Reverse(struct in_addr& a, std::string& name);
    static std::string Convert(struct in_addr& a);

private:
    struct sockaddr_in m_addr {};
    bool m_valid{true};
};
