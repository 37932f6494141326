#include "sockets/SocketStream.h"

#include "sockets/ISocketHandler.h"
#include "sockets/TcpSocket.h"

SocketStream::SocketStream(ISocketHandler& handler, TcpSocket* socket)
    : m_handler(handler), m_socket(socket), m_socket_uid(socket->UniqueIdentifier()) {}

size_t SocketStream::IStreamRead(char* buffer, size_t length) {
    if (!m_handler.Valid(m_socket_uid)) return 0;
    return m_socket->ReadInput(buffer, length);
}

void SocketStream::IStreamWrite(const char* buffer, size_t length) {
    if (m_handler.Valid(m_socket_uid)) m_socket->SendBuf(buffer, length);
}
