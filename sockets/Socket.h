// The base of every socket of the library: the descriptor, the owning handler, the state flags
// that the handler's select loop reads, the local and remote addresses, the time-out and close
// bookkeeping, the SOCKS4 and TLS switches, the event callbacks (most of them empty) and the
// socket options. A socket is used only on the thread that runs its handler's Select.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <atomic>
#include <ctime>
#include <memory>
#include <string>

#include "sockets/ISocketHandler.h"
#include "sockets/SocketAddress.h"

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

class Socket {
public:
    explicit Socket(ISocketHandler& handler);
    virtual ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // A new socket of the same kind on the same handler, for a listening socket to accept into;
    // null for kinds that cannot be accepted.
    virtual Socket* Create() { return nullptr; }
    virtual void Init() {}
    virtual int Close();
    virtual bool Ready();
    virtual port_t GetPort();
    virtual void SendBuf(const char* buf, size_t len, int flags = 0);
    virtual void Send(const std::string& text, int flags = 0);
    virtual uint64_t GetBytesSent(bool clear = false);
    virtual uint64_t GetBytesReceived(bool clear = false);

    virtual void OnRead() {}
    virtual void OnWrite() {}
    virtual void OnException();
    virtual void OnDelete() {}
    virtual void OnConnect() {}
    virtual void OnAccept() {}
    virtual void OnLine(const std::string&) {}
    virtual void OnConnectFailed() {}
    virtual void OnOptions(int family, int type, int protocol, int descriptor) = 0;
    virtual bool OnConnectRetry() { return true; }
    virtual void OnReconnect() {}
    virtual void OnDisconnect() {}
    virtual void OnDisconnect(short /*info*/, int /*code*/) {}
    virtual void OnTimeout() {}
    virtual void OnConnectTimeout() {}
    virtual void OnSSLConnect() {}
    virtual void OnSSLAccept() {}
    virtual void OnSSLConnectFailed() {}
    virtual void OnSSLAcceptFailed() {}
    virtual bool SSLNegotiate() { return false; }
    virtual SSL_CTX* GetSslContext() { return nullptr; }
    virtual SSL* GetSsl() { return nullptr; }
    virtual void OnSocks4Connect();
    virtual void OnSocks4ConnectFailed();
    virtual bool OnSocks4Read();

    ISocketHandler& Handler() const { return m_handler; }
    ISocketHandler& MasterHandler() const { return m_handler; }
    void Attach(int s) { m_socket = s; }
    int GetSocket() const { return m_socket; }
    int CreateSocket(int family, int type, const std::string& protocol = "");

    void SetDeleteByHandler(bool x = true) { m_bDel = x; }
    bool DeleteByHandler() const { return m_bDel; }
    void SetCloseAndDelete(bool x = true);
    bool CloseAndDelete() const { return m_bClose; }
    time_t TimeSinceClose();
    time_t Uptime();
    Socket* GetParent() const { return m_parent; }
    void SetParent(Socket* parent) { m_parent = parent; }
    void SetIpv6(bool x = true) { m_ipv6 = x; }
    bool IsIpv6() const { return m_ipv6; }
    void DisableRead(bool x = true) { m_b_disable_read = x; }
    bool IsDisableRead() const { return m_b_disable_read; }
    void SetConnected(bool x = true) { m_connected = x; }
    bool IsConnected() const { return m_connected; }
    void SetLost(bool x = true) { m_b_lost = x; }
    bool Lost() const { return m_b_lost; }
    void SetErasedByHandler(bool x = true) { m_b_erased_by_handler = x; }
    bool ErasedByHandler() const { return m_b_erased_by_handler; }
    unsigned long UniqueIdentifier() const { return m_uid; }

    void SetTimeout(time_t seconds);
    bool Timeout(time_t now);
    void Set(bool read, bool write, bool exception = true);

    void SetClientRemoteAddress(SocketAddress& address);
    std::unique_ptr<SocketAddress> GetClientRemoteAddress();
    void SetRemoteAddress(SocketAddress& address);
    std::unique_ptr<SocketAddress> GetRemoteSocketAddress();
    ipaddr_t GetRemoteIP4();
    struct in6_addr GetRemoteIP6();
    port_t GetRemotePort();
    std::string GetRemoteAddress();
    std::string GetRemoteHostname();
    port_t GetSockPort();
    ipaddr_t GetSockIP4();
    std::string GetSockAddress();
    struct in6_addr GetSockIP6();
    std::string GetSockAddress6();

    bool SetNonblocking(bool on);
    bool SetNonblocking(bool on, int s);
    int SoError();

    void EnableSSL(bool x = true) { m_b_enable_ssl = x; }
    bool IsSSL() const { return m_b_enable_ssl; }
    void SetSSLNegotiate(bool x = true) { m_b_ssl = x; }
    bool IsSSLNegotiate() const { return m_b_ssl; }
    void SetSSLServer(bool x = true) { m_b_ssl_server = x; }
    bool IsSSLServer() const { return m_b_ssl_server; }

    void SetSocks4(bool x = true) { m_bSocks4 = x; }
    bool Socks4() const { return m_bSocks4; }
    void SetSocks4Host(unsigned long ip) { m_socks4_host = ip; }
    void SetSocks4Host(const std::string& host);
    void SetSocks4Port(port_t port) { m_socks4_port = port; }
    void SetSocks4Userid(const std::string& userid) { m_socks4_userid = userid; }
    unsigned long GetSocks4Host() const { return m_socks4_host; }
    port_t GetSocks4Port() const { return m_socks4_port; }
    const std::string& GetSocks4Userid() const { return m_socks4_userid; }

    bool SetIpOptions(const void* p, socklen_t len);
    bool SetIpPktinfo(bool x = true);
    bool SetIpRecvTTL(bool x = true);
    bool SetIpRecvopts(bool x = true);
    bool SetIpRetopts(bool x = true);
    bool SetIpTOS(unsigned char tos);
    unsigned char IpTOS();
    bool SetIpTTL(int ttl);
    int IpTTL();
    bool SetIpHdrincl(bool x = true);
    bool SetIpMulticastTTL(int ttl);
    int IpMulticastTTL();
    bool SetMulticastLoop(bool x = true);
    bool IpAddMembership(struct ip_mreq& mreq);
    bool IpDropMembership(struct ip_mreq& mreq);
    bool SetSoReuseaddr(bool x = true);
    bool SetSoKeepalive(bool x = true);
    bool SetSoNosigpipe(bool x = true);
    bool SoAcceptconn();
    bool SetSoBroadcast(bool x = true);
    bool SetSoDebug(bool x = true);
    bool SetSoDontroute(bool x = true);
    bool SetSoLinger(int onoff, int linger);
    bool SetSoOobinline(bool x = true);
    bool SetSoRcvlowat(int x);
    bool SetSoSndlowat(int x);
    bool SetSoRcvtimeo(struct timeval& tv);
    bool SetSoSndtimeo(struct timeval& tv);
    bool SetSoRcvbuf(int x);
    int SoRcvbuf();
    bool SetSoSndbuf(int x);
    int SoSndbuf();
    bool SetSoTimestamp(bool x = true);
    int SoType();

    // The class-wide counter of unique ids; the first socket gets 1. Handlers on different threads
    // make sockets at the same time, so it is atomic.
    static std::atomic<unsigned long> m_next_uid;

private:
    bool SetOption(int level, int option, const char* text, const void* value, socklen_t length);
    bool GetOption(int level, int option, const char* text, void* value, socklen_t length);

    ISocketHandler& m_handler;
    int m_socket{-1};
    bool m_bDel{false};
    bool m_bClose{false};
    time_t m_tCreate;
    Socket* m_parent{nullptr};
    bool m_b_disable_read{false};
    bool m_connected{false};
    bool m_b_erased_by_handler{false};
    time_t m_tClose{0};
    std::unique_ptr<SocketAddress> m_client_remote_address;
    std::unique_ptr<SocketAddress> m_remote_address;
    time_t m_timeout_start{0};
    time_t m_timeout_limit{0};
    bool m_b_lost{false};
    unsigned long m_uid;
    bool m_b_enable_ssl{false};
    bool m_b_ssl{false};
    bool m_b_ssl_server{false};
    bool m_ipv6{false};
    bool m_bSocks4{false};
    unsigned long m_socks4_host;
    port_t m_socks4_port;
    std::string m_socks4_userid;
};
