// The socket of an HTTP connection; it only knows which connection it serves.
#pragma once

#include "network/TSocket.h"

class THTTPConnection;

class THTTPSocket : public TSocket {
public:
    THTTPSocket(ISocketHandler& handler, TConnection* connection, THTTPConnection* httpConnection)
        : TSocket(handler, connection), fHTTPConnection(httpConnection) {}
    THTTPConnection* GetHTTPConnection() const { return fHTTPConnection; }

private:
    THTTPConnection* fHTTPConnection;
};
