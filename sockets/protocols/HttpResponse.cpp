#include "sockets/protocols/HttpResponse.h"

#include <cstdarg>
#include <cstdio>

#include "sockets/File.h"
#include "sockets/MemFile.h"

HttpResponse::HttpResponse(const std::string& version)
    : m_http_version(version), m_file(std::make_unique<MemFile>()) {}

HttpResponse::~HttpResponse() = default;

HttpResponse::HttpResponse(const HttpResponse& src) {
    *this = src;
}

HttpResponse& HttpResponse::operator=(const HttpResponse& src) {
    if (this == &src) return *this;
    HttpTransaction::operator=(src);
    m_http_version = src.m_http_version;
    m_http_status_code = src.m_http_status_code;
    m_http_status_msg = src.m_http_status_msg;
    m_cookie = src.m_cookie;
    m_file = std::move(src.m_file);
    // The source stays usable, with an empty body.
    src.m_file = std::make_unique<MemFile>();
    return *this;
}

void HttpResponse::SetCookie(const std::string& text) {
    m_cookie[text.substr(0, text.find('='))] = text;
}

const std::string& HttpResponse::Cookie(const std::string& name) const {
    auto it = m_cookie.find(name);
    return it == m_cookie.end() ? Empty() : it->second;
}

std::list<std::string> HttpResponse::CookieNames() const {
    std::list<std::string> names;
    for (const auto& [name, text] : m_cookie) names.push_back(name);
    return names;
}

void HttpResponse::Write(const std::string& text) {
    m_file->fwrite(text.data(), 1, text.size());
}

void HttpResponse::Write(const char* buf, size_t len) {
    m_file->fwrite(buf, 1, len);
}

void HttpResponse::Writef(const char* format, ...) {
    char buf[10000];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof(buf), format, ap);
    va_end(ap);
    Write(std::string(buf));
}

bool HttpResponse::SetFile(const std::string& path) {
    auto file = std::make_unique<File>();
    if (!file->fopen(path.c_str(), "rb")) return false;
    m_file = std::move(file);
    return true;
}

void HttpResponse::Reset() {
    HttpTransaction::Reset();
    m_http_version.clear();
    m_http_status_code = 0;
    m_http_status_msg.clear();
    m_cookie.clear();
    m_file = std::make_unique<MemFile>();
}
