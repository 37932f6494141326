// The non-blocking TCP socket of the library: opens a connection to an address or host name,
// optionally through a SOCKS4 server, receives into an input ring buffer and hands the bytes on raw
// (OnRawData) or as lines (OnLine), sends directly when it can and queues the rest in large output
// blocks that OnWrite drains, reports disconnects with a reason code, retries or gives up on connect
// time-outs and closes gracefully. TLS plugs into the same read, write and close paths.
// Everything runs inside the handler's select loop, on the handler's thread.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/TMutex.h"
#include "sockets/Mutex.h"
#include "sockets/StreamSocket.h"

typedef struct bio_st BIO;
typedef struct ssl_method_st SSL_METHOD;

class SSLInitializer;

// Shared TLS contexts by name. They live as long as the process; the map frees them at exit.
class SslContextMap : public std::map<std::string, SSL_CTX*> {
public:
    SslContextMap() = default;
    ~SslContextMap();
    SslContextMap(const SslContextMap&) = delete;
    SslContextMap& operator=(const SslContextMap&) = delete;
};

// OnDisconnect(info, code): which side failed, as bits.
constexpr short TCP_DISCONNECT_WRITE = 1;
constexpr short TCP_DISCONNECT_ERROR = 2;
constexpr short TCP_DISCONNECT_SSL = 4;

class TcpSocket : public StreamSocket {
public:
    // The input ring buffer. Its storage is twice the capacity and the second half mirrors the
    // first, so the held bytes always lie contiguous from GetStart().
    class CircularBuffer {
    public:
        explicit CircularBuffer(size_t size);
        CircularBuffer(const CircularBuffer&) = delete;
        CircularBuffer& operator=(const CircularBuffer&) = delete;

        bool Write(const char* data, size_t len);
        bool Read(char* dest, size_t len);
        bool Remove(size_t len) { return Read(nullptr, len); }
        std::string ReadString(size_t len);
        size_t GetLength() const { return m_q; }
        const char* GetStart() const { return m_buf.get() + m_b; }
        size_t GetL() const { return std::min(m_q, m_max - m_b); }
        size_t Space() const { return m_max - m_q; }
        uint64_t ByteCounter(bool clear = false);

    private:
        std::unique_ptr<char[]> m_buf;
        size_t m_max;
        size_t m_q{0};
        size_t m_b{0};
        size_t m_t{0};
        uint64_t m_count{0};
    };

    // One block of queued output.
    struct OUTPUT {
        static constexpr size_t kSize = 1024000;
        OUTPUT() : _buf(new char[kSize]) {}
        OUTPUT(const char* buf, size_t len) : OUTPUT() { Add(buf, len); }
        size_t Space() const { return kSize - _t; }
        void Add(const char* buf, size_t len);
        const char* Buf() const { return _buf.get() + _b; }
        size_t Len() const { return _q; }
        size_t Remove(size_t len);

        std::unique_ptr<char[]> _buf;
        size_t _b{0};
        size_t _t{0};
        size_t _q{0};
    };

    explicit TcpSocket(ISocketHandler& handler);
    TcpSocket(ISocketHandler& handler, size_t input_size, size_t output_size);
    ~TcpSocket() override;

    bool Open(ipaddr_t ip, port_t port, bool skip_socks = false);
    bool Open(struct in6_addr ip, port_t port, bool skip_socks = false);
    bool Open(SocketAddress& address, bool skip_socks = false);
    bool Open(SocketAddress& address, SocketAddress& local, bool skip_socks = false);
    bool Open(const std::string& host, port_t port);

    int Close() override;
    void SendBuf(const char* buf, size_t len, int flags = 0) override;
    void Send(const std::string& text, int flags = 0) override;
    void Sendf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    uint64_t GetBytesSent(bool clear = false) override;
    uint64_t GetBytesReceived(bool clear = false) override;

    void OnRead() override;
    void OnWrite() override;
    void OnLine(const std::string&) override {}
    void OnOptions(int family, int type, int protocol, int descriptor) override;
    void OnConnectTimeout() override;
    void OnSSLConnect() override;
    void OnSSLAccept() override;
    bool SSLNegotiate() override;
    SSL_CTX* GetSslContext() override;
    SSL* GetSsl() override;
    void OnSocks4Connect() override;
    void OnSocks4ConnectFailed() override;
    bool OnSocks4Read() override;
    void SetLineProtocol(bool x = true) override;
    int Protocol() override { return 6; }

    virtual void OnRawData(const char*, size_t) {}
    virtual void OnWriteComplete() {}
    virtual void InitSSLClient();
    virtual void InitSSLServer();
    virtual void OnTransferLimit() {}
    // A line grew past the maximum line length; the rest of it, up to its end of line, is dropped.
    // The default reports the overflow and closes the connection.
    virtual void OnLineOverflow(size_t length);

    const std::string& GetLine() const { return m_line; }
    void DisableInputBuffer(bool x = true) { m_b_input_buffer_disabled = x; }
    size_t GetInputLength() const { return ibuf.GetLength(); }
    size_t ReadInput(char* dest, size_t max);
    size_t GetOutputLength() const { return m_output_length; }
    void SetReconnect(bool x = true) { m_b_reconnect = x; }
    bool Reconnect() const { return m_b_reconnect; }
    void SetIsReconnect(bool x = true) { m_b_is_reconnect = x; }
    bool IsReconnect() const { return m_b_is_reconnect; }
    void SetTransferLimit(size_t limit) { m_transfer_limit = limit; }
    bool SetTcpNodelay(bool x = true);

    // Line mode caps: 0 for no maximum. In strict mode only CR LF ends a line; a lone CR or LF is
    // part of it.
    void SetMaxLineLength(size_t length) { m_max_line_length = length; }
    size_t GetMaxLineLength() const { return m_max_line_length; }
    void SetStrictLineEnd(bool x = true) { m_strict_line_end = x; }
    bool StrictLineEnd() const { return m_strict_line_end; }

    // The graceful end of a close with flush, once the output queue is empty: TLS says goodbye,
    // then the write side is shut down and recorded so. False while the goodbye waits for room
    // in the kernel's buffer; the handler then tries again on a later pass.
    bool ShutdownWrite();
    // What the peer sends after the write side was shut down is read and dropped, so that closing
    // does not reset a connection whose peer is still reading. True once the peer has closed its
    // side or the connection failed; the socket is then lost.
    bool DrainInput();
    // A closed socket about to connect again: the state the old connection's end left behind
    // (lost, flush off, write side shut down) is undone.
    void ResetForReconnect();

    const std::string& GetPassword() const { return m_password; }
    static int SSL_password_cb(char* buf, int size, int rwflag, void* userdata);

    // The process-wide TLS start-up, made on first use.
    static SSLInitializer& SSLInit();

    static Mutex m_server_ssl_mutex;
    static SslContextMap m_client_contexts;
    static SslContextMap m_server_contexts;
    static TMutex sSSLMutex;

protected:
    // Splits received bytes into lines in line mode, else hands them to OnRawData.
    void OnRead(char* buf, size_t n);
    int TryWrite(const char* buf, size_t len);
    void Buffer(const char* buf, size_t len);

    void InitializeContext(const std::string& context, const SSL_METHOD* method);
    void InitializeContext(const std::string& context, const std::string& keyfile,
                           const std::string& password, const SSL_METHOD* method);
    void InitializeContext(const std::string& context, const std::string& certfile,
                           const std::string& keyfile, const std::string& password, const SSL_METHOD* method);

    CircularBuffer ibuf;

private:
    void OnReadData(char* buf, size_t n, const char* where);
    void Disconnected(short info, int code, bool write_side_closed);
    void ReadTls();
    void FailTls();
    void WriteSocks4Request();
    int TryWriteTls(const char* buf, size_t len);
    bool ConnectionRetriesLeft() const;
    void AppendLine(const char* p, size_t len);
    void EndLine();
    void RawRest(char* buf, size_t from, size_t n);
    SSL_CTX* ServerContext(const std::string& context, const SSL_METHOD* method);
    void LoadServerFiles(const std::string& certfile, const std::string& keyfile,
                         const std::string& password);

    bool m_b_input_buffer_disabled{false};
    uint64_t m_bytes_sent{0};
    uint64_t m_bytes_received{0};
    bool m_skip_c{false};
    char m_c{0};
    std::string m_line;
    std::unique_ptr<char[]> m_buf;
    std::list<std::unique_ptr<OUTPUT>> m_obuf;
    OUTPUT* m_obuf_top{nullptr};
    size_t m_transfer_limit{0};
    size_t m_output_length{0};
    SSL_CTX* m_ssl_ctx{nullptr};
    SSL* m_ssl{nullptr};
    BIO* m_sbio{nullptr};
    std::string m_password;
    int m_socks4_state{0};
    unsigned char m_socks4_reply[8]{};
    bool m_b_reconnect{false};
    bool m_b_is_reconnect{false};
    // Flush-before-close as it was when the connection broke, for a reconnect to restore.
    std::optional<bool> m_flush_before_disconnect;
    // The part of the SOCKS4 request the kernel has not yet taken.
    std::string m_socks4_request;
    size_t m_max_line_length{0};
    bool m_strict_line_end{false};
    bool m_line_overflow{false};
    bool m_pending_cr{false};
};
