#include "sockets/protocols/HttpRequest.h"

#include "sockets/Exception.h"
#include "sockets/MemFile.h"
#include "sockets/Parse.h"
#include "sockets/protocols/PrivateTempFile.h"

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() = default;

HttpRequest::HttpRequest(const HttpRequest& src) {
    *this = src;
}

HttpRequest& HttpRequest::operator=(const HttpRequest& src) {
    if (this == &src) return *this;
    HttpTransaction::operator=(src);
    m_method = src.m_method;
    m_protocol = src.m_protocol;
    m_req_uri = src.m_req_uri;
    m_remote_addr = src.m_remote_addr;
    m_remote_host = src.m_remote_host;
    m_server_name = src.m_server_name;
    m_server_port = src.m_server_port;
    m_is_ssl = src.m_is_ssl;
    m_attribute = src.m_attribute;
    m_body = std::move(src.m_body);
    m_form = std::move(src.m_form);
    m_body_size = src.m_body_size;
    m_cookies = src.m_cookies;
    m_cookie = src.m_cookie;
    return *this;
}

const std::string& HttpRequest::Attribute(const std::string& name) const {
    auto it = m_attribute.find(name);
    return it == m_attribute.end() ? Empty() : it->second;
}

void HttpRequest::AddCookie(const std::string& text) {
    m_cookies.add(text);
    Parse pa(text, ";");
    for (std::string piece = pa.getword(); !piece.empty(); piece = pa.getword()) {
        const std::string name = piece.substr(0, piece.find('='));
        if (!name.empty()) m_cookie[name] = piece;
    }
}

void HttpRequest::InitBody(size_t length) {
    InitBody(length, Utility::ToLower(ContentType()).rfind("multipart/form-data", 0) == 0);
}

void HttpRequest::InitBody(size_t, bool spill) {
    if (m_body) return;
    m_body_size = 0;
    if (spill) {
        auto file = std::make_unique<PrivateTempFile>("body");
        if (file->Valid()) {
            m_body = std::move(file);
            return;
        }
    }
    m_body = std::make_unique<MemFile>();
}

void HttpRequest::Write(const char* buf, size_t len) {
    if (!m_body) return;
    m_body->fwrite(buf, 1, len);
    m_body_size += len;
}

void HttpRequest::CloseBody() {
    // Both kinds stay open for reading; the parse reads from the start.
    if (m_body) m_body->reset_read();
}

void HttpRequest::ParseBody(const HttpdForm::Limits& limits, IFileUpload* upload) {
    m_form.reset();
    if (m_body) {
        m_body->reset_read();
        m_form = std::make_unique<HttpdForm>(m_body.get(), ContentType(), m_body_size, limits, upload);
        return;
    }
    const std::string& query = Attribute("query_string");
    m_form = std::make_unique<HttpdForm>(query, query.size());
}

const HttpdForm& HttpRequest::Form() const {
    if (!m_form) throw Exception("Form not available");
    return *m_form;
}

void HttpRequest::Reset() {
    HttpTransaction::Reset();
    m_method.clear();
    m_protocol.clear();
    m_req_uri.clear();
    m_remote_addr.clear();
    m_remote_host.clear();
    m_server_name.clear();
    m_server_port = 0;
    m_is_ssl = false;
    m_attribute.clear();
    m_form.reset();
    m_body.reset();
    m_body_size = 0;
    m_cookies.Reset();
    m_cookie.clear();
}
