#include "sockets/protocols/HttpClientSocket.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

#include "sockets/Parse.h"
#include "sockets/Utility.h"

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
    // An IPv6 literal is bracketed, or its colons would be read as the port's.
    const bool ipv6 = host.find(':') != std::string::npos && host.front() != '[';
    Url("http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + url, h, p);
}

HttpClientSocket::~HttpClientSocket() {
    if (file) fclose(file);
}

void HttpClientSocket::Url(const std::string& url, std::string& host, port_t& port) {
    std::string path;
    url_this(url, url_protocol, url_host, url_port, path, url_filename);
    // Only an IPv6 literal has colons in its host; Open would read it as an IPv4 address.
    if (url_host.find(':') != std::string::npos) SetIpv6();
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
    // An IPv6 literal keeps its brackets, so its colons are not read as the port's.
    const std::string host = url_host.find(':') == std::string::npos ? url_host : "[" + url_host + "]";
    if (url_port == 80 || url_port == 443) return host;
    return host + ":" + std::to_string(url_port);
}

bool HttpClientSocket::ResponseHasNoBody() {
    return HTTPSocket::ResponseHasNoBody() || GetMethod() == "HEAD";
}

void HttpClientSocket::OnFirst() {
    content = GetHttpVersion() + " " + GetStatus() + " " + GetStatusText() + "\r\n";
    if (!IsResponse()) Abort("OnFirst", 0, "Response expected but not received - aborting", LOG_LEVEL_FATAL);
}

void HttpClientSocket::OnHeader(const std::string& key, const std::string& value) {
    content += key + ": " + value + "\r\n";
    if (strcasecmp(key.c_str(), "content-length") == 0) {
        content_length = static_cast<size_t>(GetContentLengthValue());
    } else if (strcasecmp(key.c_str(), "content-type") == 0) {
        content_type = value;
    } else if (strcasecmp(key.c_str(), "transfer-encoding") == 0) {
        // Chunks are all this client decodes; bytes in any other coding are not the body.
        Parse pa(Utility::ToLower(value), ",");
        for (std::string coding = pa.getword(); !coding.empty(); coding = pa.getword())
            if (coding != "chunked")
                return Abort("OnHeader", 0, "Transfer-Encoding not supported: " + value, LOG_LEVEL_ERROR);
    }
}

void HttpClientSocket::OnHeaderComplete() {
    head_complete = true;
    if (!filename.empty()) {
        file = fopen(filename.c_str(), "wb");
        if (!file) Abort("OnHeaderComplete", errno, strerror(errno), LOG_LEVEL_ERROR);
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
    content_pos += len;
    if (file) {
        if (fwrite(buf, 1, len, file) == len) return;
        const int err = errno;
        return Abort("OnData", err, std::string("body not stored: ") + strerror(err), LOG_LEVEL_ERROR);
    }
    if (!data_ptr) {
        // A body with a length is the one kept in memory; one too large for it is kept nowhere.
        if (HasContentLength() && !IsChunked()) body_unkept = true;
        return;
    }
    // The buffer would not hold the body whole: what the owner gets is not the response.
    if (content_pos > data_size) return Abort("OnData", -1, "content buffer overflow", LOG_LEVEL_ERROR);
    memcpy(data_ptr + content_pos - len, buf, len);
}

void HttpClientSocket::OnDataComplete() {
    EndContent();
}

void HttpClientSocket::OnDelete() {
    if (complete) return;
    // Only a body framed by neither length nor chunks may end with the connection.
    if (head_complete && !HasContentLength() && !IsChunked()) return EndContent();
    const char* reason = !IsConnected()   ? "no connection"
                         : !head_complete ? "connection ended before a complete response"
                         : IsChunked()    ? "connection ended inside the chunked body"
                                          : "connection ended before the body's Content-Length";
    Abort("OnDelete", 0, reason, LOG_LEVEL_ERROR);
}

void HttpClientSocket::OnTimeout() {
    // Waiting for an answer that never came is a failure, not the end of an idle connection.
    if (complete) return HTTPSocket::OnTimeout();
    Abort("OnTimeout", 0, "no complete response in time", LOG_LEVEL_ERROR);
}

void HttpClientSocket::OnFramingError(const std::string& reason) {
    if (!abort_reported) Handler().LogError(this, "HttpClientSocket", 0, reason, LOG_LEVEL_ERROR);
    SetCloseAndDelete();
    EndContent();
}

void HttpClientSocket::Abort(const std::string& operation, int err, const std::string& text,
                             loglevel_t level) {
    Handler().LogError(this, operation, err, text, level);
    // After the owner has heard the outcome, the connection only goes.
    if (complete) return SetCloseAndDelete();
    abort_reported = true;
    Fail(text);
}

void HttpClientSocket::EndContent() {
    if (complete) return;
    if (file) {
        // The last bytes leave the stdio buffer only now; a full disk shows here.
        const bool stored = fclose(file) == 0;
        const int err = errno;
        file = nullptr;
        if (!stored && !Failed())
            return Abort("EndContent", err, std::string("body not stored: ") + strerror(err),
                         LOG_LEVEL_ERROR);
    }
    if (body_unkept && !Failed())
        return Abort("EndContent", 0,
                     "a body of " + std::to_string(content_length) + " bytes is too large to keep in memory",
                     LOG_LEVEL_ERROR);
    complete = true;
    OnContent();
    if (close_on_complete || Failed()) SetCloseAndDelete();
}
