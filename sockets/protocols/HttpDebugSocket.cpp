#include "sockets/protocols/HttpDebugSocket.h"

#include <strings.h>

void HttpDebugSocket::Init() {
    if (GetParent() && GetParent()->GetPort() == 443) EnableSSL();
}

std::string HttpDebugSocket::Escape(const char* buf, size_t len) {
    std::string out;
    out.reserve(len);
    for (size_t i = 0; i < len; ++i) {
        switch (buf[i]) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += buf[i];
        }
    }
    return out;
}

void HttpDebugSocket::OnFirst() {
    Send("HTTP/1.1 200 OK\nContent-type: text/html\nConnection: close\nServer: HttpDebugSocket/1.0\n\n");
    Send("<html><head><title>Echo Request</title></head><body><h3>Request Header</h3>");
    Send(
        "<form method='post' action='/test_post'><input type='text' name='text' value='test text'><br><input "
        "type='submit' name='submit' value=' OK '></form>");
    Send("<form action='/test_post' method='post' enctype='multipart/form-data'>");
    Send("<input type=file name=the_file><br>");
    Send("<input type=text name=the_name><br>");
    Send("<input type=submit name=submit value=' test form-data '>");
    Send("</form>");
    Send("<pre style='background: #e0e0e0'>");
    Send(Escape(GetMethod() + " " + GetUrl() + " " + GetHttpVersion()) + "\n");
}

void HttpDebugSocket::OnHeader(const std::string& key, const std::string& value) {
    if (strcasecmp(key.c_str(), "content-length") == 0)
        m_content_length = static_cast<size_t>(GetContentLengthValue());
    Send(Escape(key + ": " + value) + "\n");
}

void HttpDebugSocket::OnHeaderComplete() {
    if (m_content_length || IsChunked()) {
        Send("</pre><h3>Request Body</h3><pre style='background: #e0e0e0'>");
        return;
    }
    End();
}

void HttpDebugSocket::OnData(const char* buf, size_t len) {
    if (m_ended) return;
    // The echo stops at its cap, or when the peer is not reading what was sent already.
    if (m_echoed + len > kMaxEcho || GetOutputLength() > kMaxEcho) {
        End();
        return;
    }
    Send(Escape(buf, len));
    m_echoed += len;
    if (m_content_length && m_echoed >= m_content_length) End();
}

void HttpDebugSocket::OnDataComplete() {
    End();
}

void HttpDebugSocket::End() {
    if (m_ended) return;
    m_ended = true;
    Send("</pre><hr></body></html>");
    IgnoreInput();
    SetCloseAndDelete();
}
