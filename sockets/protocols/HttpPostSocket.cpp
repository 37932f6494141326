#include "sockets/protocols/HttpPostSocket.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "sockets/Lock.h"
#include "sockets/Utility.h"

int HttpPostSocket::m_boundary_count = 0;
Mutex HttpPostSocket::m_boundary_mutex;

HttpPostSocket::HttpPostSocket(ISocketHandler& handler)
    : HttpClientSocket(handler), boundary(NextBoundary()) {}

HttpPostSocket::HttpPostSocket(ISocketHandler& handler, const std::string& url)
    : HttpClientSocket(handler, url), boundary(NextBoundary()) {}

std::string HttpPostSocket::NextBoundary() {
    Lock lock(m_boundary_mutex);
    std::string text = "----";
    for (int i = 0; i < 12;) {
        const int c = m_boundary_count++ % 128;
        if (isalnum(c)) {
            text += static_cast<char>(c);
            ++i;
        }
    }
    text += "__" + std::to_string(m_boundary_count++);
    return text;
}

void HttpPostSocket::AddField(const std::string& name, const std::string& value) {
    AddMultilineField(name, {value});
}

void HttpPostSocket::AddMultilineField(const std::string& name, const std::list<std::string>& values) {
    fields[name] = values;
}

void HttpPostSocket::AddFile(const std::string& name, const std::string& path,
                             const std::string& content_type) {
    struct stat st;
    if (stat(path.c_str(), &st) == -1) {
        Handler().LogError(this, "AddFile", errno, strerror(errno), LOG_LEVEL_FATAL);
        SetCloseAndDelete();
        return;
    }
    files[name] = path;
    file_sizes[path] = static_cast<uint64_t>(st.st_size);
    file_types[path] = content_type;
    multipart = true;
}

void HttpPostSocket::Headers(const std::string& type, uint64_t length) {
    SetMethod("POST");
    SetHttpVersion("HTTP/1.1");
    AddResponseHeader("Host", GetUrlHost());
    AddResponseHeader("User-agent", MyUseragent());
    AddResponseHeader("Accept", "text/html, text/plain, */*;q=0.01");
    AddResponseHeader("Connection", "close");
    AddResponseHeader("Content-type", type);
    AddResponseHeader("Content-length", std::to_string(length));
}

void HttpPostSocket::OnConnect() {
    if (!multipart) {
        std::string body;
        for (const auto& [name, values] : fields) {
            if (!body.empty()) body += "&";
            body += name + "=";
            bool first = true;
            for (const std::string& value : values) {
                if (!first) body += "%0d%0a";
                body += Utility::rfc1738_encode(value);
                first = false;
            }
        }
        Headers("application/x-www-form-urlencoded", body.size());
        // One write for head and body, so a small POST does not wait on a delayed ack.
        if (GetSocket() != -1) SetTimeout(kIdleTimeout);
        Send(RequestHead() + body);
        return;
    }
    for (const auto& [name, values] : fields) {
        std::string part =
            "--" + boundary + "\r\ncontent-disposition: form-data; name=\"" + name + "\"\r\n\r\n";
        for (const std::string& value : values) part += value + "\r\n";
        m_upload.AddText(part);
    }
    for (const auto& [name, path] : files) {
        m_upload.AddText("--" + boundary + "\r\ncontent-disposition: form-data; name=\"" + name +
                         "\"; filename=\"" + path + "\"\r\ncontent-type: " + file_types[path] + "\r\n\r\n");
        // Measured now, not when it was added: the length sent is the length announced.
        if (!m_upload.AddFile(path, file_sizes[path]))
            return Abort("OnConnect", errno, strerror(errno), LOG_LEVEL_FATAL);
        m_upload.AddText("\r\n");
    }
    m_upload.AddText("--" + boundary + "--\r\n");
    Headers("multipart/form-data; boundary=" + boundary, m_upload.Length());
    if (GetSocket() != -1) SetTimeout(kIdleTimeout);
    m_upload.Prepend(RequestHead());
    OnTransferLimit();
}

void HttpPostSocket::OnTransferLimit() {
    switch (m_upload.Pump(*this)) {
        case HttpUploadQueue::Result::More:
            SetTransferLimit(1);
            return;
        case HttpUploadQueue::Result::Done:
            SetTransferLimit(0);
            return;
        case HttpUploadQueue::Result::Failed:
            return Abort("OnTransferLimit", 0, "file shrank during upload", LOG_LEVEL_FATAL);
    }
}
