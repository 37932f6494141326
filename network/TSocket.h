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

    TSocket(ISocketHandler& handler, TConnection* connection);

    void SendBuf(const char* buf, size_t len, int flags = 0) override;
    void OnRead() override { fReadable = true; }
    void OnWrite() override;
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

    TConnection* fConnection;
    bool fReadable{false};
    bool fWritable{false};
};
