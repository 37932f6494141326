#include "sockets/protocols/HttpBaseSocket.h"

#include <strings.h>

#include <memory>

#include "sockets/IFile.h"

namespace {

std::string WithoutLineBreaks(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    return text;
}

}  // namespace

HttpBaseSocket::HttpBaseSocket(ISocketHandler& handler) : HTTPSocket(handler), m_res("HTTP/1.0") {}

HttpBaseSocket::~HttpBaseSocket() = default;

void HttpBaseSocket::OnFirst() {
    if (!IsRequest()) return Refuse(400, "response line where a request was expected");
    m_req.SetHttpMethod(GetMethod());
    m_req.SetUri(GetUri());
    m_req.SetHttpVersion(GetHttpVersion());
    if (strcasecmp(GetMethod().c_str(), "GET") == 0 && !GetQueryString().empty())
        m_req.SetAttribute("query_string", GetQueryString());
    m_request_head = strcasecmp(GetMethod().c_str(), "HEAD") == 0;
    if (GetSocket() != -1) {
        m_req.SetRemoteAddr(GetRemoteAddress());
        m_req.SetRemoteHost("");
        m_req.SetServerName(GetSockAddress());
        m_req.SetServerPort(GetSockPort());
    }
}

void HttpBaseSocket::OnHeader(const std::string& key, const std::string& value) {
    if (strcasecmp(key.c_str(), "cookie") == 0)
        m_req.AddCookie(value);
    else
        m_req.SetHeader(key, value);
}

void HttpBaseSocket::OnHeaderComplete() {
    m_has_body = IsChunked() || GetContentLengthValue() > 0;
    if (!m_has_body) return;
    const bool multipart = strncasecmp(m_req.ContentType().c_str(), "multipart/form-data", 19) == 0;
    m_body_limit = multipart ? m_max_upload : m_max_body;
    if (GetContentLengthValue() > m_body_limit) return Refuse(413, "request body too large");
    m_req.InitBody(static_cast<size_t>(GetContentLengthValue()), multipart);
}

void HttpBaseSocket::OnData(const char* buf, size_t len) {
    if (m_req.BodySize() + len > m_body_limit) return Refuse(413, "request body too large");
    m_req.Write(buf, len);
}

void HttpBaseSocket::OnDataComplete() {
    if (m_has_body) m_req.CloseBody();
    Execute();
}

void HttpBaseSocket::Execute() {
    m_req.ParseBody(m_form_limits);
    const std::string& version = m_req.HttpVersion();
    m_b_keepalive = version.size() >= 5 && version.substr(version.size() - 4) == "/1.1" &&
                    m_req.Header("connection") != "close";
    m_responding = true;
    // The next pipelined request waits until this one is answered in full.
    HoldInput(true);
    OnRequest(m_req);
    m_req.Reset();
    Reset();
}

void HttpBaseSocket::Reset() {
    HTTPSocket::Reset();
    m_has_body = false;
}

void HttpBaseSocket::Respond(const HttpResponse& response) {
    // One response per request: a second one would overwrite the first mid-stream.
    if (!m_responding || m_response_started || CloseAndDelete()) return;
    m_response_started = true;
    m_res = response;
    SetHttpVersion(m_res.HttpVersion());
    SetStatus(std::to_string(m_res.HttpStatusCode()));
    SetStatusText(WithoutLineBreaks(m_res.HttpStatusMsg()));
    const int code = m_res.HttpStatusCode();
    m_head_only = m_request_head || (code >= 100 && code < 200) || code == 204 || code == 304;
    if (!ResponseHeaderIsSet("content-length") && code != 204 && code != 304 && !(code >= 100 && code < 200))
        AddResponseHeader("Content-Length", std::to_string(m_res.GetFile().size()));
    for (const auto& [name, value] : m_res.Headers()) AddResponseHeader(name, value);
    for (const std::string& name : m_res.CookieNames())
        AppendResponseHeader("Set-Cookie", m_res.Cookie(name));
    // Exactly the announced length goes out, whatever the body holds, so a keep-alive peer
    // never reads body bytes as a response; a length that is no number is replaced.
    m_body_left = m_res.GetFile().size();
    auto length = ResponseHeaders().find("content-length");
    if (length != ResponseHeaders().end() && !ParseContentLength(length->second, m_body_left)) {
        m_body_left = m_res.GetFile().size();
        AddResponseHeader("Content-Length", std::to_string(m_body_left));
    }
    if (m_head_only) {
        SendResponse();
        return Finish();
    }
    // The head goes out with the first piece of the body: one write, no wait on a delayed ack.
    m_head = ResponseHead();
    OnTransferLimit();
}

void HttpBaseSocket::OnTransferLimit() {
    if (!m_responding) return;
    if (GetSocket() != -1) SetTimeout(kIdleTimeout);
    char buf[kPiece];
    while (GetOutputLength() < 2) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(m_body_left, sizeof(buf)));
        const size_t n = want ? m_res.GetFile().fread(buf, 1, want) : 0;
        m_body_left -= n;
        // A body shorter than its announced length leaves the connection unusable.
        if (n == 0 && m_body_left > 0) m_b_keepalive = false;
        if (!m_head.empty()) {
            m_head.append(buf, n);
            std::string head;
            head.swap(m_head);
            Send(head);
        } else if (n > 0) {
            SendBuf(buf, n);
        }
        if (n == 0) return Finish();
        if (CloseAndDelete()) return;
    }
    SetTransferLimit(1);
}

void HttpBaseSocket::Finish() {
    m_responding = false;
    m_response_started = false;
    SetTransferLimit(0);
    m_res.GetFile().fclose();
    m_res.Reset();
    HTTPSocket::Reset();
    OnResponseComplete();
    if (!m_b_keepalive) {
        IgnoreInput();
        SetCloseAndDelete();
        return;
    }
    HoldInput(false);
}

void HttpBaseSocket::OnTimeout() {
    // Between requests the connection just closes; a request left half-sent gets 408.
    m_refusal = 408;
    HTTPSocket::OnTimeout();
}

void HttpBaseSocket::Refuse(int status, const std::string& reason) {
    m_refusal = status;
    Fail(reason);
}

void HttpBaseSocket::OnFramingError(const std::string& reason) {
    Handler().LogError(this, "HttpBaseSocket", m_refusal, reason, LOG_LEVEL_WARNING);
    // Mid-response the head is out already; only closing is left.
    if (m_responding) {
        m_responding = false;
        SetCloseAndDelete();
        return;
    }
    SendRefusal(m_refusal);
}
