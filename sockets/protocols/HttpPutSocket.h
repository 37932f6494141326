// A PUT of one local file to a URL; the file is measured and opened when the connection is made.
#pragma once

#include "sockets/protocols/HttpClientSocket.h"
#include "sockets/protocols/HttpUploadQueue.h"

class HttpPutSocket : public HttpClientSocket {
public:
    explicit HttpPutSocket(ISocketHandler& handler) : HttpClientSocket(handler) {}
    HttpPutSocket(ISocketHandler& handler, const std::string& url) : HttpClientSocket(handler, url) {}

    void SetFile(const std::string& path);
    void SetContentType(const std::string& type) { put_content_type = type; }
    // False also when the socket is already marked to close: its file could not be measured.
    bool Open() { return !CloseAndDelete() && TcpSocket::Open(GetUrlHost(), GetUrlPort()); }

protected:
    void OnConnect() override;
    void OnTransferLimit() override;

private:
    std::string put_file;
    std::string put_content_type;
    uint64_t put_length{0};
    HttpUploadQueue m_upload;
};
