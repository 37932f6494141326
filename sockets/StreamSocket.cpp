#include "sockets/StreamSocket.h"

StreamSocket::StreamSocket(ISocketHandler& handler) : Socket(handler) {}

bool StreamSocket::Ready() {
    return Socket::Ready() && !Connecting();
}

void StreamSocket::SetConnecting(bool x) {
    if (x == m_bConnecting) return;
    m_bConnecting = x;
    SetTimeout(x ? GetConnectTimeout() : 0);
}

void StreamSocket::SetCallOnConnect(bool x) {
    Handler().AddList(GetSocket(), LIST_CALLONCONNECT, x);
    m_call_on_connect = x;
}

void StreamSocket::SetRetryClientConnect(bool x) {
    Handler().AddList(GetSocket(), LIST_RETRY, x);
    m_b_retry_connect = x;
}
