#include "sockets/TcpSocket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/SMutexLock.h"
#include "sockets/Ipv4Address.h"
#include "sockets/Ipv6Address.h"
#include "sockets/Lock.h"
#include "sockets/SSLInitializer.h"

namespace {

constexpr size_t kInputSize = 16400;
constexpr size_t kReadSize = 16400;
// At most this many reads of input dropped per call while a closing socket waits for its peer.
constexpr size_t kDrainReads = 64;
constexpr size_t kSocks4RequestSize = 1000;
constexpr size_t kSocks4Header = 9;
constexpr unsigned char kSocks4Granted = 90;

bool IsDelimiter(char c) {
    return c == '\r' || c == '\n';
}

bool WouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK || err == EINTR;
}

}  // namespace

SslContextMap::~SslContextMap() {
    for (auto& [name, ctx] : *this) SSL_CTX_free(ctx);
}

Mutex TcpSocket::m_server_ssl_mutex;
SslContextMap TcpSocket::m_client_contexts;
SslContextMap TcpSocket::m_server_contexts;
TMutex TcpSocket::sSSLMutex;

// --- CircularBuffer -----------------------------------------------------------------------------

TcpSocket::CircularBuffer::CircularBuffer(size_t size) : m_buf(new char[2 * size]), m_max(size) {}

bool TcpSocket::CircularBuffer::Write(const char* s, size_t l) {
    if (m_q + l > m_max) return false;
    m_count += l;
    // Every byte goes to its place and to the mirror half, so the held bytes read contiguously.
    const size_t first = std::min(l, m_max - m_t);
    memcpy(m_buf.get() + m_t, s, first);
    memcpy(m_buf.get() + m_max + m_t, s, first);
    memcpy(m_buf.get(), s + first, l - first);
    memcpy(m_buf.get() + m_max, s + first, l - first);
    m_t = (m_t + l) % m_max;
    m_q += l;
    return true;
}

bool TcpSocket::CircularBuffer::Read(char* s, size_t l) {
    if (l > m_q) return false;
    if (s) memcpy(s, m_buf.get() + m_b, l);
    m_b += l;
    if (m_b >= m_max) m_b -= m_max;
    m_q -= l;
    if (m_q == 0) m_b = m_t = 0;
    return true;
}

std::string TcpSocket::CircularBuffer::ReadString(size_t l) {
    if (l > m_q) return "";
    std::string s(GetStart(), l);
    Remove(l);
    const size_t zero = s.find('\0');
    if (zero != std::string::npos) s.resize(zero);
    return s;
}

uint64_t TcpSocket::CircularBuffer::ByteCounter(bool clear) {
    const uint64_t count = m_count;
    if (clear) m_count = 0;
    return count;
}

// --- OUTPUT -------------------------------------------------------------------------------------

void TcpSocket::OUTPUT::Add(const char* buf, size_t len) {
    memcpy(_buf.get() + _t, buf, len);
    _t += len;
    _q += len;
}

size_t TcpSocket::OUTPUT::Remove(size_t len) {
    _b += len;
    _q -= len;
    return _q;
}

// --- TcpSocket ----------------------------------------------------------------------------------

TcpSocket::TcpSocket(ISocketHandler& handler) : TcpSocket(handler, kInputSize, 0) {}

TcpSocket::TcpSocket(ISocketHandler& handler, size_t input_size, size_t)
    : StreamSocket(handler), ibuf(input_size), m_buf(new char[kReadSize + 1]) {}

TcpSocket::~TcpSocket() {
    if (m_ssl) SSL_free(m_ssl);
}

bool TcpSocket::Open(ipaddr_t ip, port_t port, bool skip_socks) {
    Ipv4Address address(ip, port);
    return Open(address, skip_socks);
}

bool TcpSocket::Open(struct in6_addr ip, port_t port, bool skip_socks) {
    Ipv6Address address(ip, port);
    return Open(address, skip_socks);
}

bool TcpSocket::Open(SocketAddress& address, bool skip_socks) {
    if (address.GetFamily() == AF_INET6) {
        Ipv6Address local;
        return Open(address, local, skip_socks);
    }
    Ipv4Address local;
    return Open(address, local, skip_socks);
}

bool TcpSocket::Open(const std::string& host, port_t port) {
    if (IsIpv6()) {
        Ipv6Address address(host, port);
        if (!address.IsValid()) {
            SetCloseAndDelete();
            return false;
        }
        return Open(address);
    }
    Ipv4Address address(host, port);
    if (!address.IsValid()) {
        SetCloseAndDelete();
        return false;
    }
    return Open(address);
}

bool TcpSocket::Open(SocketAddress& ad, SocketAddress& bind_ad, bool skip_socks) {
    if (!ad.IsValid()) {
        Handler().LogError(this, "Open", 0, "Invalid SocketAddress", LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        return false;
    }
    if (Handler().GetCount() >= FD_SETSIZE) {
        Handler().LogError(this, "Open", 0, "no space left in fd_set", LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        return false;
    }
    SetConnecting(false);
    SetSocks4(false);
    m_socks4_request.clear();
    const int s = CreateSocket(ad.GetFamily(), SOCK_STREAM, "tcp");
    if (s == -1) return false;
    if (s >= FD_SETSIZE) {
        // select() cannot watch it; the handler would refuse it, and the caller would never learn.
        Handler().LogError(this, "Open", s, "Descriptor outside the range of fd_set", LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        close(s);
        return false;
    }
    if (!SetNonblocking(true, s)) {
        SetCloseAndDelete();
        close(s);
        return false;
    }
    SetClientRemoteAddress(ad);
    if (bind_ad.GetPort() != 0) bind(s, bind_ad, bind_ad);

    int n;
    if (!skip_socks && GetSocks4Host() && GetSocks4Port()) {
        Ipv4Address sa(static_cast<ipaddr_t>(GetSocks4Host()), GetSocks4Port());
        Handler().LogError(
            this, "Open", 0,
            "Connecting to socks4 server @ " + sa.Convert(false) + ":" + std::to_string(GetSocks4Port()),
            LOG_LEVEL_INFO);
        SetSocks4();
        n = connect(s, sa, sa);
        SetRemoteAddress(sa);
    } else {
        n = connect(s, ad, ad);
        SetRemoteAddress(ad);
    }
    const int err = errno;
    if (n == 0) {
        Attach(s);
        SetCallOnConnect();
        return true;
    }
    if (err == EINPROGRESS) {
        Attach(s);
        SetConnecting();
        return true;
    }
    if (Socks4() && Handler().Socks4TryDirect()) {
        close(s);
        return Open(ad, true);
    }
    if (Reconnect()) {
        Handler().LogError(this, "connect: failed, reconnect pending", err, strerror(err), LOG_LEVEL_INFO);
        Attach(s);
        SetConnecting();
        return true;
    }
    Handler().LogError(this, "connect: failed", err, strerror(err), LOG_LEVEL_FATAL);
    SetCloseAndDelete();
    close(s);
    return false;
}

void TcpSocket::Disconnected(short info, int code, bool write_side_closed) {
    // The flags first: whatever the callbacks do, the handler closes the socket without flushing.
    if (!m_flush_before_disconnect) m_flush_before_disconnect = GetFlushBeforeClose();
    SetCloseAndDelete();
    SetFlushBeforeClose(false);
    SetLost();
    if (write_side_closed) SetShutdown(GetShutdown() | 1);
    OnDisconnect();
    OnDisconnect(info, code);
}

void TcpSocket::OnRead() {
    if (m_ssl) {
        ReadTls();
        return;
    }
    char* buf = m_buf.get();
    const ssize_t n = recv(GetSocket(), buf, kReadSize, MSG_NOSIGNAL);
    if (n == -1) {
        const int err = errno;
        // Readiness can be spurious; only a real error ends the connection.
        if (WouldBlock(err)) return;
        Handler().LogError(this, "read", err, strerror(err), LOG_LEVEL_FATAL);
        Disconnected(TCP_DISCONNECT_ERROR, err, false);
        return;
    }
    if (n == 0) {
        Disconnected(0, 0, true);
        return;
    }
    if (static_cast<size_t>(n) > kReadSize) {
        Handler().LogError(this, "OnRead", static_cast<int>(n), "abnormal value from recv", LOG_LEVEL_ERROR);
        return;
    }
    OnReadData(buf, static_cast<size_t>(n), "OnRead");
}

void TcpSocket::ReadTls() {
    if (!Ready()) return;
    char* buf = m_buf.get();
    // Decrypted bytes of a record already read wait in the TLS layer, where select() cannot see them.
    do {
        ERR_clear_error();
        const int n = SSL_read(m_ssl, buf, static_cast<int>(kReadSize));
        if (n > 0) {
            OnReadData(buf, static_cast<size_t>(n), "OnRead(ssl)");
            continue;
        }
        const int err = SSL_get_error(m_ssl, n);
        if (err == SSL_ERROR_NONE || err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) return;
        if (err == SSL_ERROR_ZERO_RETURN) {
            Disconnected(TCP_DISCONNECT_SSL, 0, true);
            return;
        }
        Disconnected(TCP_DISCONNECT_SSL | TCP_DISCONNECT_ERROR, err, false);
        return;
    } while (m_ssl && Ready() && SSL_pending(m_ssl) > 0);
}

void TcpSocket::OnReadData(char* buf, size_t n, const char* where) {
    m_bytes_received += n;
    if (Socks4()) {
        // The SOCKS4 reply is eight bytes that belong to no protocol; data flow only after it.
        const size_t take = std::min(n, sizeof(m_socks4_reply) - m_socks4_state);
        memcpy(m_socks4_reply + m_socks4_state, buf, take);
        m_socks4_state += static_cast<int>(take);
        buf += take;
        n -= take;
        if (OnSocks4Read() || n == 0 || CloseAndDelete()) return;
    }
    if (!m_b_input_buffer_disabled && !ibuf.Write(buf, n))
        Handler().LogError(this, where, 0, "ibuf overflow", LOG_LEVEL_WARNING);
    OnRead(buf, n);
}

void TcpSocket::RawRest(char* buf, size_t from, size_t n) {
    if (from < n) OnRawData(buf + from, n - from);
}

void TcpSocket::AppendLine(const char* p, size_t len) {
    if (len == 0 || m_line_overflow) return;
    if (m_max_line_length && m_line.size() + len > m_max_line_length) {
        const size_t length = m_line.size() + len;
        m_line.clear();
        m_line_overflow = true;
        OnLineOverflow(length);
        return;
    }
    m_line.append(p, len);
}

void TcpSocket::EndLine() {
    std::string line;
    line.swap(m_line);
    if (m_line_overflow) {
        m_line_overflow = false;
        return;
    }
    OnLine(line);
}

void TcpSocket::OnLineOverflow(size_t length) {
    Handler().LogError(this, "OnLine", static_cast<int>(length), "line too long", LOG_LEVEL_ERROR);
    SetCloseAndDelete();
}

void TcpSocket::OnRead(char* buf, size_t n) {
    if (n == 0 || n > kReadSize) return;
    size_t i = 0;
    if (m_skip_c) {
        // The partner of a delimiter that ended the previous read, even when line mode has since
        // been left: it belongs to that end of line, not to the data.
        m_skip_c = false;
        if (IsDelimiter(buf[0]) && buf[0] != m_c) i = 1;
    }
    if (!LineProtocol()) {
        RawRest(buf, i, n);
        return;
    }
    buf[n] = 0;
    size_t start = i;
    if (m_strict_line_end) {
        if (m_pending_cr) {
            m_pending_cr = false;
            if (buf[i] == '\n') {
                EndLine();
                start = ++i;
                if (!LineProtocol()) return RawRest(buf, i, n);
            } else {
                AppendLine("\r", 1);
            }
        }
        while (i < n) {
            if (buf[i] != '\r') {
                ++i;
                continue;
            }
            if (i + 1 == n) {
                AppendLine(buf + start, i - start);
                m_pending_cr = true;
                return;
            }
            if (buf[i + 1] != '\n') {
                ++i;
                continue;
            }
            AppendLine(buf + start, i - start);
            EndLine();
            i += 2;
            start = i;
            if (!LineProtocol()) return RawRest(buf, i, n);
        }
        AppendLine(buf + start, n - start);
        return;
    }
    while (i < n) {
        const char c = buf[i];
        if (!IsDelimiter(c)) {
            ++i;
            continue;
        }
        AppendLine(buf + start, i - start);
        m_c = c;
        size_t next = i + 1;
        if (next == n)
            m_skip_c = true;
        else if (IsDelimiter(buf[next]) && buf[next] != c)
            ++next;
        EndLine();
        i = start = next;
        if (!LineProtocol()) return RawRest(buf, i, n);
    }
    AppendLine(buf + start, n - start);
}

void TcpSocket::SetLineProtocol(bool x) {
    StreamSocket::SetLineProtocol(x);
    // Leaving line mode does not switch the input buffer back on: a socket that goes on in raw
    // mode gets its bytes through OnRawData and nothing would ever empty the buffer.
    if (x) DisableInputBuffer(true);
}

size_t TcpSocket::ReadInput(char* dest, size_t max) {
    const size_t n = std::min(max, ibuf.GetLength());
    ibuf.Read(dest, n);
    return n;
}

void TcpSocket::SendBuf(const char* buf, size_t len, int) {
    // Nothing to send is nothing to do; a TLS write of no bytes would read as a failure.
    if (len == 0) return;
    if (!Ready() && !Connecting()) {
        Handler().LogError(this, "SendBuf", -1, "Attempt to write to a non-ready socket", LOG_LEVEL_WARNING);
        if (GetSocket() == -1)
            Handler().LogError(this, "SendBuf", 0, " * GetSocket() == INVALID_SOCKET", LOG_LEVEL_INFO);
        if (Connecting()) Handler().LogError(this, "SendBuf", 0, " * Connecting()", LOG_LEVEL_INFO);
        if (CloseAndDelete()) Handler().LogError(this, "SendBuf", 0, " * CloseAndDelete()", LOG_LEVEL_INFO);
        return;
    }
    if (!IsConnected() || Socks4()) {
        Handler().LogError(this, "SendBuf", -1,
                           "Attempt to write to a non-connected socket, will be sent on connect",
                           LOG_LEVEL_WARNING);
        Buffer(buf, len);
        return;
    }
    if (m_obuf_top) {
        Buffer(buf, len);
        return;
    }
    const int n = TryWrite(buf, len);
    if (n >= 0 && static_cast<size_t>(n) < len) Buffer(buf + n, len - n);
    bool br = false, bw = false, bx = false;
    Handler().Get(GetSocket(), br, bw, bx);
    Set(br, m_obuf_top != nullptr, true);
}

void TcpSocket::Send(const std::string& text, int flags) {
    SendBuf(text.data(), text.size(), flags);
}

void TcpSocket::Sendf(const char* format, ...) {
    char slask[5000];
    va_list ap;
    va_start(ap, format);
    vsnprintf(slask, sizeof(slask), format, ap);
    va_end(ap);
    Send(slask);
}

int TcpSocket::TryWrite(const char* buf, size_t len) {
    if (m_ssl) return TryWriteTls(buf, len);
    const ssize_t n = send(GetSocket(), buf, len, MSG_NOSIGNAL);
    if (n == -1) {
        const int err = errno;
        if (WouldBlock(err)) return 0;
        Handler().LogError(this, "send", err, strerror(err), LOG_LEVEL_FATAL);
        Disconnected(TCP_DISCONNECT_WRITE | TCP_DISCONNECT_ERROR, err, false);
        return 0;
    }
    m_bytes_sent += static_cast<uint64_t>(n);
    return static_cast<int>(n);
}

int TcpSocket::TryWriteTls(const char* buf, size_t len) {
    struct pollfd pfd {
        GetSocket(), POLLOUT, 0
    };
    const int ready = poll(&pfd, 1, 0);
    if (ready == -1) {
        // Not writable now is not the same as gone: the bytes stay queued for the next try.
        Handler().LogError(this, "TryWrite", errno, strerror(errno), LOG_LEVEL_ERROR);
        return 0;
    }
    if (ready == 0) return 0;
    ERR_clear_error();
    const int n = SSL_write(m_ssl, buf, static_cast<int>(len));
    if (n > 0) {
        m_bytes_sent += static_cast<uint64_t>(n);
        return n;
    }
    const int err = SSL_get_error(m_ssl, n);
    if (err == SSL_ERROR_WANT_READ || err == SSL_ERROR_WANT_WRITE) return 0;
    if (n == 0 && err == SSL_ERROR_ZERO_RETURN) {
        Disconnected(TCP_DISCONNECT_SSL | TCP_DISCONNECT_WRITE, 0, false);
        return 0;
    }
    char errbuf[256];
    ERR_error_string_n(ERR_peek_last_error() ? ERR_peek_last_error() : static_cast<unsigned long>(err),
                       errbuf, sizeof(errbuf));
    Disconnected(TCP_DISCONNECT_SSL | TCP_DISCONNECT_ERROR | TCP_DISCONNECT_WRITE, err, false);
    Handler().LogError(this, "OnWrite/SSL_write", err, errbuf, LOG_LEVEL_FATAL);
    return 0;
}

void TcpSocket::Buffer(const char* buf, size_t len) {
    m_output_length += len;
    size_t done = 0;
    while (done < len) {
        if (!m_obuf_top || m_obuf_top->Space() == 0) {
            m_obuf.push_back(std::make_unique<OUTPUT>());
            m_obuf_top = m_obuf.back().get();
        }
        const size_t part = std::min(len - done, m_obuf_top->Space());
        m_obuf_top->Add(buf + done, part);
        done += part;
    }
}

bool TcpSocket::ConnectionRetriesLeft() const {
    return GetConnectionRetry() == -1 ||
           (GetConnectionRetry() && GetConnectionRetries() < GetConnectionRetry());
}

void TcpSocket::OnWrite() {
    if (Connecting()) {
        const int err = SoError();
        if (err == 0) {
            Set(!IsDisableRead(), false, true);
            SetConnecting(false);
            SetCallOnConnect();
            return;
        }
        Handler().LogError(this, "tcp: connect failed", err, strerror(err), LOG_LEVEL_FATAL);
        Set(false, false, true);
        if (Socks4()) {
            OnSocks4ConnectFailed();
            return;
        }
        if (ConnectionRetriesLeft()) return;
        SetConnecting(false);
        SetCloseAndDelete();
        OnConnectFailed();
        return;
    }
    if (Socks4()) {
        // Until the SOCKS4 server grants the connection only its request may be written.
        WriteSocks4Request();
        return;
    }
    const size_t before = m_output_length;
    if (m_obuf.empty())
        Handler().LogError(this, "OnWrite", static_cast<int>(m_output_length),
                           "Empty output buffer in OnWrite", LOG_LEVEL_ERROR);
    bool complete = false;
    while (!m_obuf.empty()) {
        OUTPUT* p = m_obuf.front().get();
        const int n = TryWrite(p->Buf(), p->Len());
        if (n < 1) break;
        const size_t left = p->Remove(static_cast<size_t>(n));
        m_output_length -= static_cast<size_t>(n);
        if (left > 0) break;
        m_obuf.pop_front();
        if (m_obuf.empty()) {
            m_obuf_top = nullptr;
            complete = true;
        }
    }
    bool br = false, bw = false, bx = false;
    Handler().Get(GetSocket(), br, bw, bx);
    Set(br, m_obuf_top != nullptr, true);
    if (complete) OnWriteComplete();
    if (m_transfer_limit && before > m_transfer_limit && m_output_length < m_transfer_limit)
        OnTransferLimit();
}

void TcpSocket::OnOptions(int, int, int, int) {
    SetSoNosigpipe(true);
    SetSoReuseaddr(true);
    SetSoKeepalive(true);
}

void TcpSocket::OnConnectTimeout() {
    Handler().LogError(this, "connect", -1, "connect timeout", LOG_LEVEL_FATAL);
    const bool retry = !Socks4() && ConnectionRetriesLeft();
    // Not connecting any more before the callbacks run, so one that throws leaves no stale state.
    SetConnecting(false);
    if (Socks4()) {
        OnSocks4ConnectFailed();
    } else if (retry) {
        IncreaseConnectionRetries();
        if (OnConnectRetry()) {
            SetRetryClientConnect();
        } else {
            SetCloseAndDelete();
            OnConnectFailed();
        }
    } else {
        SetCloseAndDelete();
        OnConnectFailed();
    }
}

int TcpSocket::Close() {
    if (GetSocket() == -1) return Socket::Close();
    SetNonblocking(true);
    if (!Lost() && IsConnected() && !(GetShutdown() & 1)) {
        // TLS says goodbye before the TCP write side goes.
        if (m_ssl) {
            ERR_clear_error();
            SSL_shutdown(m_ssl);
        }
        if (shutdown(GetSocket(), SHUT_WR) == -1)
            Handler().LogError(this, "shutdown", errno, strerror(errno), LOG_LEVEL_ERROR);
    }
    if (!Lost()) {
        char tmp[1000];
        const ssize_t n = recv(GetSocket(), tmp, sizeof(tmp), MSG_NOSIGNAL);
        if (n > 0)
            Handler().LogError(this, "read() after shutdown", static_cast<int>(n), "bytes read",
                               LOG_LEVEL_WARNING);
    }
    if (m_ssl) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
        m_sbio = nullptr;
    }
    return Socket::Close();
}

bool TcpSocket::ShutdownWrite() {
    if (m_ssl) {
        ERR_clear_error();
        const int r = SSL_shutdown(m_ssl);
        // The goodbye must leave before the write side closes behind it.
        if (r < 0 && SSL_get_error(m_ssl, r) == SSL_ERROR_WANT_WRITE) return false;
    }
    if (shutdown(GetSocket(), SHUT_WR) == -1)
        Handler().LogError(this, "graceful shutdown", errno, strerror(errno), LOG_LEVEL_ERROR);
    SetShutdown(GetShutdown() | 1);
    return true;
}

bool TcpSocket::DrainInput() {
    for (size_t i = 0; i < kDrainReads; ++i) {
        const ssize_t n = recv(GetSocket(), m_buf.get(), kReadSize, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n == -1 && WouldBlock(errno)) return false;
        SetLost();
        return true;
    }
    return false;
}

void TcpSocket::ResetForReconnect() {
    SetLost(false);
    SetShutdown(0);
    if (m_flush_before_disconnect) SetFlushBeforeClose(*m_flush_before_disconnect);
    m_flush_before_disconnect.reset();
}

uint64_t TcpSocket::GetBytesSent(bool clear) {
    const uint64_t n = m_bytes_sent;
    if (clear) m_bytes_sent = 0;
    return n;
}

uint64_t TcpSocket::GetBytesReceived(bool clear) {
    const uint64_t n = m_bytes_received;
    if (clear) m_bytes_received = 0;
    return n;
}

bool TcpSocket::SetTcpNodelay(bool) {
    Handler().LogError(this, "socket option not available", 0, "TCP_NODELAY", LOG_LEVEL_INFO);
    return false;
}

// --- SOCKS4 -------------------------------------------------------------------------------------

void TcpSocket::OnSocks4Connect() {
    const std::string& userid = GetSocks4Userid();
    if (userid.size() > kSocks4RequestSize - kSocks4Header) {
        Handler().LogError(this, "OnSocks4Connect", static_cast<int>(userid.size()), "socks4 userid too long",
                           LOG_LEVEL_FATAL);
        SetSocks4(false);
        SetCloseAndDelete();
        OnConnectFailed();
        return;
    }
    char request[kSocks4RequestSize] = {};
    request[0] = 4;
    request[1] = 1;
    std::unique_ptr<SocketAddress> ad = GetClientRemoteAddress();
    if (ad && ad->GetFamily() == AF_INET) {
        const auto* sa = reinterpret_cast<const struct sockaddr_in*>(static_cast<struct sockaddr*>(*ad));
        memcpy(request + 2, &sa->sin_port, 2);
        memcpy(request + 4, &sa->sin_addr, 4);
    }
    memcpy(request + 8, userid.data(), userid.size());
    request[8 + userid.size()] = 0;
    m_socks4_state = 0;
    // The request goes ahead of anything queued for the destination, which waits for the grant.
    m_socks4_request.assign(request, userid.size() + kSocks4Header);
    WriteSocks4Request();
}

void TcpSocket::WriteSocks4Request() {
    if (!m_socks4_request.empty()) {
        const int n = TryWrite(m_socks4_request.data(), m_socks4_request.size());
        if (n > 0) m_socks4_request.erase(0, static_cast<size_t>(n));
        if (Lost()) return;
    }
    bool br = false, bw = false, bx = false;
    Handler().Get(GetSocket(), br, bw, bx);
    Set(br, !m_socks4_request.empty(), true);
}

void TcpSocket::OnSocks4ConnectFailed() {
    Handler().LogError(this, "OnSocks4ConnectFailed", 0,
                       "connection to socks4 server failed, trying direct connection", LOG_LEVEL_WARNING);
    if (Handler().Socks4TryDirect()) {
        SetRetryClientConnect();
        return;
    }
    SetConnecting(false);
    SetCloseAndDelete();
    OnConnectFailed();
}

bool TcpSocket::OnSocks4Read() {
    if (m_socks4_state < static_cast<int>(sizeof(m_socks4_reply))) return true;
    SetSocks4(false);
    const unsigned char code = m_socks4_reply[1];
    switch (code) {
        case kSocks4Granted:
            Handler().LogError(this, "OnSocks4Read", 0, "Connection established", LOG_LEVEL_INFO);
            // What was sent before the grant goes first, as on a direct connect.
            if (GetOutputLength() > 0) OnWrite();
            OnConnect();
            break;
        case 91:
        case 92:
        case 93:
            Handler().LogError(this, "OnSocks4Read", code, "socks4 server reports connect failed",
                               LOG_LEVEL_FATAL);
            SetConnecting(false);
            // No connection to the destination: nothing queued can be delivered.
            SetFlushBeforeClose(false);
            SetCloseAndDelete();
            OnConnectFailed();
            break;
        default:
            Handler().LogError(this, "OnSocks4Read", code, "socks4 server unrecognized response",
                               LOG_LEVEL_FATAL);
            SetFlushBeforeClose(false);
            SetCloseAndDelete();
            break;
    }
    return false;
}

// --- TLS ----------------------------------------------------------------------------------------

namespace {

// Contexts allow partial writes from moving buffers (queued output is retried from its block, not
// from the caller's buffer) and never retry inside a call, so a TLS socket never blocks the loop.
void PrepareContext(SSL_CTX* ctx) {
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_clear_mode(ctx, SSL_MODE_AUTO_RETRY);
    // A peer that closes without a TLS goodbye has closed all the same.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF);
}

}  // namespace

SSLInitializer& TcpSocket::SSLInit() {
    static SSLInitializer init;
    return init;
}

void TcpSocket::InitSSLClient() {
    SMutexLock lock(sSSLMutex);
    InitializeContext("", TLS_method());
}

void TcpSocket::InitSSLServer() {
    Handler().LogError(this, "InitSSLServer", 0, "You MUST implement your own InitSSLServer method",
                       LOG_LEVEL_FATAL);
    SetCloseAndDelete();
}

void TcpSocket::InitializeContext(const std::string& context, const SSL_METHOD* method) {
    SSLInit();
    static Mutex client_mutex;
    Lock lock(client_mutex);
    auto it = m_client_contexts.find(context);
    if (it != m_client_contexts.end()) {
        m_ssl_ctx = it->second;
        return;
    }
    m_ssl_ctx = SSL_CTX_new(method ? method : TLS_method());
    if (!m_ssl_ctx) return;
    PrepareContext(m_ssl_ctx);
    m_client_contexts[context] = m_ssl_ctx;
}

SSL_CTX* TcpSocket::ServerContext(const std::string& context, const SSL_METHOD* method) {
    auto it = m_server_contexts.find(context);
    if (it != m_server_contexts.end()) return it->second;
    SSL_CTX* ctx = SSL_CTX_new(method ? method : TLS_method());
    if (!ctx) return nullptr;
    PrepareContext(ctx);
    const std::string id = context.empty() ? "--empty--" : context;
    SSL_CTX_set_session_id_context(
        ctx, reinterpret_cast<const unsigned char*>(id.data()),
        static_cast<unsigned int>(std::min<size_t>(id.size(), SSL_MAX_SID_CTX_LENGTH)));
    m_server_contexts[context] = ctx;
    return ctx;
}

void TcpSocket::LoadServerFiles(const std::string& certfile, const std::string& keyfile,
                                const std::string& password) {
    if (SSL_CTX_use_certificate_file(m_ssl_ctx, certfile.c_str(), SSL_FILETYPE_PEM) != 1)
        Handler().LogError(this, "TcpSocket InitializeContext", 0,
                           "Couldn't read certificate file " + certfile, LOG_LEVEL_FATAL);
    m_password = password;
    SSL_CTX_set_default_passwd_cb(m_ssl_ctx, SSL_password_cb);
    SSL_CTX_set_default_passwd_cb_userdata(m_ssl_ctx, static_cast<Socket*>(this));
    if (SSL_CTX_use_PrivateKey_file(m_ssl_ctx, keyfile.c_str(), SSL_FILETYPE_PEM) != 1)
        Handler().LogError(this, "TcpSocket InitializeContext", 0,
                           "Couldn't read private key file " + keyfile, LOG_LEVEL_FATAL);
    // The shared context must not keep pointing at this socket once it is gone.
    SSL_CTX_set_default_passwd_cb_userdata(m_ssl_ctx, nullptr);
    ERR_clear_error();
}

void TcpSocket::InitializeContext(const std::string& context, const std::string& keyfile,
                                  const std::string& password, const SSL_METHOD* method) {
    InitializeContext(context, keyfile, keyfile, password, method);
}

void TcpSocket::InitializeContext(const std::string& context, const std::string& certfile,
                                  const std::string& keyfile, const std::string& password,
                                  const SSL_METHOD* method) {
    SSLInit();
    Lock lock(m_server_ssl_mutex);
    m_ssl_ctx = ServerContext(context, method);
    if (!m_ssl_ctx) return;
    LoadServerFiles(certfile, keyfile, password);
}

int TcpSocket::SSL_password_cb(char* buf, int size, int, void* userdata) {
    auto* p = userdata ? dynamic_cast<TcpSocket*>(static_cast<Socket*>(userdata)) : nullptr;
    const std::string password = p ? p->GetPassword() : "";
    if (size < static_cast<int>(password.size()) + 1) return 0;
    memcpy(buf, password.c_str(), password.size() + 1);
    return static_cast<int>(password.size());
}

SSL_CTX* TcpSocket::GetSslContext() {
    if (!m_ssl_ctx)
        Handler().LogError(this, "GetSslContext", 0, "SSL Context is NULL; check InitSSLServer/InitSSLClient",
                           LOG_LEVEL_WARNING);
    return m_ssl_ctx;
}

SSL* TcpSocket::GetSsl() {
    if (!m_ssl)
        Handler().LogError(this, "GetSsl", 0, "SSL is NULL; check InitSSLServer/InitSSLClient",
                           LOG_LEVEL_WARNING);
    return m_ssl;
}

void TcpSocket::FailTls() {
    // Without a TLS session nothing queued may leave: it would go in the clear.
    SetFlushBeforeClose(false);
    SetCloseAndDelete();
}

void TcpSocket::OnSSLConnect() {
    SetNonblocking(true);
    // A reconnecting socket keeps the context it had; only its connection object is new.
    if (!m_ssl_ctx) InitSSLClient();
    if (!m_ssl_ctx) {
        FailTls();
        return;
    }
    if (m_ssl) SSL_free(m_ssl);
    m_ssl = SSL_new(m_ssl_ctx);
    if (!m_ssl) {
        FailTls();
        return;
    }
    m_sbio = BIO_new_socket(GetSocket(), BIO_NOCLOSE);
    if (!m_sbio) {
        FailTls();
        return;
    }
    SSL_set_bio(m_ssl, m_sbio, m_sbio);
    if (!SSLNegotiate() && !CloseAndDelete()) SetSSLNegotiate();
}

void TcpSocket::OnSSLAccept() {
    SetNonblocking(true);
    if (m_ssl_ctx) {
        FailTls();
        return;
    }
    InitSSLServer();
    SetSSLServer();
    if (!m_ssl_ctx) {
        SetFlushBeforeClose(false);
        return;
    }
    m_ssl = SSL_new(m_ssl_ctx);
    if (!m_ssl) {
        FailTls();
        return;
    }
    m_sbio = BIO_new_socket(GetSocket(), BIO_NOCLOSE);
    if (!m_sbio) {
        FailTls();
        return;
    }
    SSL_set_bio(m_ssl, m_sbio, m_sbio);
    SetSSLNegotiate();
}

bool TcpSocket::SSLNegotiate() {
    if (!m_ssl) return false;
    const bool server = IsSSLServer();
    const char* text = server ? "SSLNegotiate/SSL_accept" : "SSLNegotiate/SSL_connect";
    ERR_clear_error();
    const int r = server ? SSL_accept(m_ssl) : SSL_connect(m_ssl);
    if (r > 0) {
        // The descriptor stays non-blocking: a peer that stops inside a record must not freeze
        // the loop; reads and writes retry on want-read and want-write instead.
        SetSSLNegotiate(false);
        SetConnected();
        Set(!IsDisableRead(), m_obuf_top != nullptr, true);
        Handler().LogError(this, text, 0, "Connection established", LOG_LEVEL_INFO);
        if (m_obuf_top) OnWrite();
        if (server)
            OnAccept();
        else if (IsReconnect())
            OnReconnect();
        else
            OnConnect();
        return true;
    }
    int code = 0;
    if (r < 0) {
        const int err = SSL_get_error(m_ssl, r);
        if (err == SSL_ERROR_WANT_READ) {
            Set(true, false, true);
            return false;
        }
        if (err == SSL_ERROR_WANT_WRITE) {
            Set(true, true, true);
            return false;
        }
        code = -1;
    }
    Handler().LogError(this, text, code, "Connection failed", LOG_LEVEL_INFO);
    SetSSLNegotiate(false);
    FailTls();
    if (server)
        OnSSLAcceptFailed();
    else
        OnSSLConnectFailed();
    return false;
}
