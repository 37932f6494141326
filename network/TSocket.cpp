#include "network/TSocket.h"

#include <openssl/ssl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "network/NetworkErrors.h"
#include "network/TConnection.h"

TSocket::TSocket(ISocketHandler& handler, TConnection* connection)
    : TcpSocket(handler), fConnection(connection) {
    // The receive buffer reads the descriptor itself.
    DisableInputBuffer();
}

TConnection& TSocket::Connection() const {
    if (!fConnection) throw kMissingObjectErr;
    return *fConnection;
}

void TSocket::OnConnect() {
    Connection().SetConnected(true);
}

void TSocket::OnReconnect() {
    Connection().SetConnected(true);
}

void TSocket::OnConnectFailed() {
    Connection().SetConnected(false);
    throw kNetTimeoutErr;
}

void TSocket::NoteReady() {
    if (fConnection) fConnection->NoteReady();
}

void TSocket::OnRead() {
    NoteReady();
    fReadable = true;
}

void TSocket::OnException() {
    NoteReady();
    if (const int err = SoError()) throw err;
    // No error pending: the condition is an urgent byte, which no reply of ours carries.
    char urgent;
    recv(GetSocket(), &urgent, 1, MSG_OOB | MSG_DONTWAIT);
}

bool TSocket::IsImmediateConnectError(int err) {
    static constexpr int kImmediate[] = {ECONNREFUSED, ENETUNREACH, EHOSTUNREACH};
    return std::find(std::begin(kImmediate), std::end(kImmediate), err) != std::end(kImmediate);
}

void TSocket::OnWrite() {
    NoteReady();
    if (!Connecting()) {
        fWritable = true;
        return;
    }
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
    // The system has answered: another try of the same address would only wait out the time-out.
    const bool retriesLeft =
        GetConnectionRetry() == -1 || (GetConnectionRetry() && GetConnectionRetries() < GetConnectionRetry());
    if (retriesLeft && !IsImmediateConnectError(err)) return;
    SetConnecting(false);
    SetCloseAndDelete();
    OnConnectFailed();
}

void TSocket::ResetDataFlags(bool read, bool write) {
    if (read) fReadable = false;
    if (write) fWritable = false;
}

bool TSocket::CanReadBytes(bool wait) {
    if (SSL* ssl = IsSSL() ? GetSsl() : nullptr; ssl && SSL_pending(ssl) > 0) {
        fReadable = true;
        return true;
    }
    if (wait) Connection().WaitRound(kReadWaitMicroseconds);
    return fReadable;
}

bool TSocket::CanWriteBytes(bool wait) {
    if (wait) Connection().WaitRound(kWriteWaitMicroseconds);
    return fWritable;
}

void TSocket::SendBuf(const char* buf, size_t len, int flags) {
    if (!buf || len == 0) return;
    SSL* ssl = IsSSL() ? GetSsl() : nullptr;
    size_t left = len;
    for (;;) {
        // Write what the socket takes now.
        while (left > 0) {
            const int chunk = static_cast<int>(std::min<size_t>(left, 1 << 30));
            const long n =
                ssl ? SSL_write(ssl, buf, chunk) : send(GetSocket(), buf, left, flags | MSG_NOSIGNAL);
            if (n < 0) {
                if (ssl) {
                    const int error = SSL_get_error(ssl, static_cast<int>(n));
                    if (error != SSL_ERROR_WANT_WRITE && error != SSL_ERROR_WANT_READ) throw kTLSClosedErr;
                    break;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) break;
                throw errno;
            }
            if (n == 0) break;
            fWritable = false;
            buf += n;
            left -= static_cast<size_t>(n);
        }
        bool read = false, write = false, exception = false;
        Handler().Get(GetSocket(), read, write, exception);
        Handler().Set(GetSocket(), read, left > 0, exception);
        if (left == 0) return;
        if (fWritable) continue;
        WaitForRoom(read, exception);
    }
}

void TSocket::WaitForRoom(bool read, bool exception) {
    TConnection& connection = Connection();
    // A plain socket waits for room only: a reply already there would end every round at once.
    // TLS may have to read to write.
    const bool plain = !IsSSL();
    if (plain) Handler().Set(GetSocket(), false, true, exception);
    struct RestoreInterest {
        ~RestoreInterest() {
            if (plain) socket.Handler().Set(socket.GetSocket(), read, true, exception);
        }
        TSocket& socket;
        bool plain, read, exception;
    } restore{*this, plain, read, exception};
    const UInt32 start = connection.Ticks();
    while (!fWritable) {
        connection.WaitRound(TConnection::kWaitRoundMicroseconds);
        connection.GetReceiveBuffer().CheckAbort();
        if (connection.Ticks() - start > TConnection::kConnectTimeoutTicks) throw kNetTimeoutErr;
    }
}
