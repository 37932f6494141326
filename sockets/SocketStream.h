// A stream over a TCP socket that answers nothing once its socket has left the handler.
#pragma once

#include "sockets/IStream.h"

class ISocketHandler;
class TcpSocket;

// Used on the thread that runs the handler.
class SocketStream : public IStream {
public:
    SocketStream(ISocketHandler& handler, TcpSocket* socket);

    // Takes what the socket's input buffer holds, up to `length` bytes.
    size_t IStreamRead(char* buffer, size_t length) override;
    void IStreamWrite(const char* buffer, size_t length) override;

private:
    ISocketHandler& m_handler;
    TcpSocket* m_socket;
    // The socket's identifier, so that a deleted socket is never reached through its pointer.
    unsigned long m_socket_uid;
};
