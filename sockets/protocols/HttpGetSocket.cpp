#include "sockets/protocols/HttpGetSocket.h"

HttpGetSocket::HttpGetSocket(ISocketHandler& handler, const std::string& url, const std::string& to_file)
    : HttpClientSocket(handler, url) {
    if (!to_file.empty()) SetFilename(to_file);
    DoConnect(GetUrlHost(), GetUrlPort());
}

HttpGetSocket::HttpGetSocket(ISocketHandler& handler, const std::string& host, port_t port,
                             const std::string& url, const std::string& to_file)
    : HttpClientSocket(handler, host, port, url) {
    SetUrl(url);
    if (!to_file.empty()) SetFilename(to_file);
    DoConnect(host, port);
}

void HttpGetSocket::DoConnect(const std::string& host, port_t port) {
    if (!Open(host, port) && !Connecting()) {
        Handler().LogError(this, "HttpGetSocket", -1, "connect() failed miserably", LOG_LEVEL_FATAL);
        SetCloseAndDelete();
    }
}

void HttpGetSocket::OnConnect() {
    SetMethod("GET");
    AddResponseHeader("Accept",
                      "text/xml,application/xml,application/xhtml+xml,text/html;q=0.9,text/plain;q=0.8,video/"
                      "x-mng,image/png,image/jpeg,image/gif;q=0.2,*/*;q=0.1");
    AddResponseHeader("Accept-Language", "en-us,en;q=0.5");
    // Nothing here decodes a content coding, so none is asked for.
    AddResponseHeader("Accept-Encoding", "identity");
    AddResponseHeader("Accept-Charset", "ISO-8859-1,utf-8;q=0.7,*;q=0.7");
    AddResponseHeader("User-agent", MyUseragent());
    AddResponseHeader("Host", HostHeader());
    SendRequest();
}
