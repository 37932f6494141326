#include "sockets/protocols/HttpClientSocket.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

HttpClientSocket::HttpClientSocket(ISocketHandler& handler) : HTTPSocket(handler) {}

HttpClientSocket::HttpClientSocket(ISocketHandler& handler, const std::string& url) : HTTPSocket(handler) {
    std::string host;
    port_t port;
    Url(url, host, port);
}

HttpClientSocket::HttpClientSocket(ISocketHandler& handler, const std::string& host, port_t port,
                                   const std::string& url)
    : HTTPSocket(handler) {
    std::string h;
    port_t p;
    Url("http://" + host + ":" + std::to_string(port) + url, h, p);
}

HttpClientSocket::~HttpClientSocket() {
    if (file) fclose(file);
}

void HttpClientSocket::Url(const std::string& url, std::string& host, port_t& port) {
    std::string path;
    url_this(url, url_protocol, url_host, url_port, path, url_filename);
    SetUrl(path);
    host = url_host;
    port = url_port;
}

void HttpClientSocket::SetDataPtr(unsigned char* buf, size_t len) {
    data_ptr = buf;
    data_size = len;
    user_buffer = true;
}

std::string HttpClientSocket::HostHeader() const {
    if (url_port == 80 || url_port == 443) return url_host;
    return url_host + ":" + std::to_string(url_port);
}

bool HttpClientSocket::ResponseHasNoBody() {
    return HTTPSocket::ResponseHasNoBody() || GetMethod() == "HEAD";
}

void HttpClientSocket::OnFirst() {
    if (!IsResponse()) {
        Handler().LogError(this, "OnFirst", 0, "Response expected but not received - aborting",
                           LOG_LEVEL_FATAL);
        SetCloseAndDelete();
    }
    content = GetHttpVersion() + " " + GetStatus() + " " + GetStatusText() + "\r\n";
}

void HttpClientSocket::OnHeader(const std::string& key, const std::string& value) {
    content += key + ": " + value + "\r\n";
    if (strcasecmp(key.c_str(), "content-length") == 0)
        content_length = static_cast<size_t>(GetContentLengthValue());
    else if (strcasecmp(key.c_str(), "content-type") == 0)
        content_type = value;
}

void HttpClientSocket::OnHeaderComplete() {
    if (!filename.empty()) {
        file = fopen(filename.c_str(), "wb");
        if (!file) Handler().LogError(this, "OnHeaderComplete", errno, strerror(errno), LOG_LEVEL_ERROR);
        return;
    }
    // The length is the peer's word; only a sane one gets memory.
    if (!data_ptr && content_length > 0 && content_length <= kMaxBuffer) {
        own_buffer = std::make_unique<unsigned char[]>(content_length);
        data_ptr = own_buffer.get();
        data_size = content_length;
    }
}

void HttpClientSocket::OnData(const char* buf, size_t len) {
    if (file) {
        fwrite(buf, 1, len, file);
    } else if (data_ptr) {
        if (content_pos + len > data_size)
            Handler().LogError(this, "OnData", -1, "content buffer overflow", LOG_LEVEL_ERROR);
        else
            memcpy(data_ptr + content_pos, buf, len);
    }
    content_pos += len;
}

void HttpClientSocket::OnDataComplete() {
    EndContent();
}

void HttpClientSocket::OnDelete() {
    // No length, a short body or a lost connection: the owner still hears of it once.
    EndContent();
}

void HttpClientSocket::OnFramingError(const std::string& reason) {
    Handler().LogError(this, "HttpClientSocket", 0, reason, LOG_LEVEL_ERROR);
    SetCloseAndDelete();
    EndContent();
}

void HttpClientSocket::EndContent() {
    if (complete) return;
    if (file) {
        fclose(file);
        file = nullptr;
    }
    complete = true;
    OnContent();
    if (close_on_complete || Failed()) SetCloseAndDelete();
}
