// A GET of one URL: connects on construction and sends the request once connected.
#pragma once

#include "sockets/protocols/HttpClientSocket.h"

class HttpGetSocket : public HttpClientSocket {
public:
    explicit HttpGetSocket(ISocketHandler& handler) : HttpClientSocket(handler) {}
    HttpGetSocket(ISocketHandler& handler, const std::string& url, const std::string& to_file = "");
    HttpGetSocket(ISocketHandler& handler, const std::string& host, port_t port, const std::string& url,
                  const std::string& to_file = "");

protected:
    void OnConnect() override;

private:
    void DoConnect(const std::string& host, port_t port);
};
