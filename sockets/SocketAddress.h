// A socket address that sockets store, copy and connect to: IPv4 or IPv6.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <string>

// A port in host byte order.
using port_t = uint16_t;
// An IPv4 address in network byte order.
using ipaddr_t = unsigned long;

class SocketAddress {
public:
    virtual ~SocketAddress() = default;

    // The system's address structure and its length.
    virtual operator struct sockaddr *() = 0;
    virtual operator socklen_t() = 0;
    // Same family, length, port and address bytes.
    virtual bool operator==(SocketAddress& other) = 0;

    virtual void SetPort(port_t port) = 0;
    virtual port_t GetPort() = 0;
    // Copies a whole structure of this address's family; the validity stays as it was.
    virtual void SetAddress(struct sockaddr* sa) = 0;
    // The numeric address text, with ":" and the port when asked.
    virtual std::string Convert(bool include_port) = 0;
    // The host name of the address by reverse lookup, empty when there is none.
    virtual std::string Reverse() = 0;
    virtual int GetFamily() = 0;
    virtual bool IsValid() = 0;
    virtual std::unique_ptr<SocketAddress> GetCopy() = 0;
};
