// The library's datagram socket: binds to a local port (trying following ports when asked),
// sends datagrams to given addresses or to a connected peer, receives them inside the handler's
// select loop and hands each one, with its sender's address and optionally its kernel time stamp,
// to OnRawData. Also wraps the broadcast and multicast options.
#pragma once

#include <netinet/in.h>

#include <memory>
#include <string>

#include "sockets/Socket.h"

class UdpSocket : public Socket {
public:
    UdpSocket(ISocketHandler& handler, int buffer_size = 16384, bool ipv6 = false, int retries = 0);
    ~UdpSocket() override;

    virtual void OnRawData(const char*, size_t, struct sockaddr*, socklen_t) {}
    virtual void OnRawData(const char*, size_t, struct sockaddr*, socklen_t, struct timeval*) {}

    // Each returns 0 when bound, -1 without a descriptor or for an unresolved interface; a bind
    // that fails over the whole range throws Exception. `port` is read, not updated: GetPort()
    // gives the port actually bound.
    int Bind(port_t& port, int range = 1);
    int Bind(const std::string& intf, port_t& port, int range = 1);
    int Bind(ipaddr_t a, port_t& port, int range = 1);
    int Bind(struct in6_addr a, port_t& port, int range = 1);
    int Bind(SocketAddress& address, int range = 1);

    bool Open(SocketAddress& address);
    bool Open(ipaddr_t a, port_t port);
    bool Open(struct in6_addr& a, port_t port);
    bool Open(const std::string& host, port_t port);

    void CreateConnection();

    void SendToBuf(SocketAddress& address, const char* data, int len, int flags = 0);
    void SendToBuf(const std::string& host, port_t port, const char* data, int len, int flags = 0);
    void SendToBuf(ipaddr_t a, port_t port, const char* data, int len, int flags = 0);
    void SendToBuf(struct in6_addr a, port_t port, const char* data, int len, int flags = 0);
    void SendTo(SocketAddress& address, const std::string& text, int flags = 0);
    void SendTo(const std::string& host, port_t port, const std::string& text, int flags = 0);
    void SendTo(ipaddr_t a, port_t port, const std::string& text, int flags = 0);
    void SendTo(struct in6_addr a, port_t port, const std::string& text, int flags = 0);

    void SendBuf(const char* data, size_t len, int flags = 0) override;
    void Send(const std::string& text, int flags = 0) override;

    bool IsBound() const { return m_bind_ok; }
    port_t GetPort() override { return m_port; }
    int GetLastSizeWritten() const { return m_last_size_written; }
    void SetTimestamp(bool x = true) { m_b_read_ts = x; }

    void SetBroadcast(bool b = true);
    bool IsBroadcast();
    void SetMulticastTTL(int ttl = 1);
    int GetMulticastTTL();
    void SetMulticastLoop(bool x = true);
    bool IsMulticastLoop();
    void AddMulticastMembership(const std::string& group, const std::string& intf = "0.0.0.0",
                                int if_index = 0);
    void DropMulticastMembership(const std::string& group, const std::string& intf = "0.0.0.0",
                                 int if_index = 0);
    void SetMulticastHops(int hops = -1);
    int GetMulticastHops();
    void SetMulticastDefaultInterface(ipaddr_t a, int if_index = 0);
    void SetMulticastDefaultInterface(struct in6_addr a, int if_index = 0);
    void SetMulticastDefaultInterface(const std::string& intf, int if_index = 0);

    void OnRead() override;
    void OnOptions(int, int, int, int) override {}

private:
    bool EnsureDescriptor(int family);
    void ReadTimestamped();
    void OptionFailed(const char* text);
    void Membership(bool add, const std::string& group, const std::string& intf, int if_index);

    std::unique_ptr<char[]> m_ibuf;
    int m_ibufsz;
    bool m_bind_ok{false};
    port_t m_port{0};
    int m_last_size_written{-1};
    int m_retries;
    bool m_b_read_ts{false};
};
