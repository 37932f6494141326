// The TCP socket of a connection. It does not read for itself: it notes readiness in two flags
// for the connection's receive buffer and send loop, and turns connect results into the
// connection's state. Its SendBuf sends everything or throws.
#pragma once

#include "sockets/TcpSocket.h"

class TConnection;

class TSocket : public TcpSocket {
public:
    static constexpr long kReadWaitMicroseconds = 200000;
    static constexpr long kWriteWaitMicroseconds = 1000000;

    // The connect errors the system reports at once, which no retry of the address changes.
    static bool IsImmediateConnectError(int err);

    TSocket(ISocketHandler& handler, TConnection* connection);

    // Sends everything or throws: 0x10000064 when the socket takes nothing for 45 s,
    // 0x10000065 at an abort (looked at every 0.2 s), the error number of a failed send.
    void SendBuf(const char* buf, size_t len, int flags = 0) override;
    void OnRead() override;
    void OnWrite() override;
    // A pending socket error is thrown; without one the condition is an urgent byte, which is
    // read and dropped.
    void OnException() override;
    void OnConnect() override;
    void OnReconnect() override;
    void OnConnectFailed() override;

    void ResetDataFlags(bool read, bool write);
    // With `wait`, first runs one round of the handler's select.
    bool CanReadBytes(bool wait);
    bool CanWriteBytes(bool wait);
    bool IsReadable() const { return fReadable; }
    bool IsWritable() const { return fWritable; }
    TConnection* GetConnection() const { return fConnection; }

private:
    TConnection& Connection() const;
    void NoteReady();
    // Until the socket takes more, 45 s at most, looking at the abort after each round; the
    // read and exception interest are as given afterwards.
    void WaitForRoom(bool read, bool exception);

    TConnection* fConnection;
    bool fReadable{false};
    bool fWritable{false};
};
