// A response that the application fills and a server socket or the AJP13 connector sends: status,
// headers, Set-cookie texts by cookie name and a body read from memory or from a file. Copying
// hands the body over to the copy.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "sockets/protocols/HttpTransaction.h"

class IFile;

class HttpResponse : public HttpTransaction {
public:
    explicit HttpResponse(const std::string& version = "HTTP/1.0");
    ~HttpResponse() override;
    HttpResponse(const HttpResponse& src);
    HttpResponse& operator=(const HttpResponse& src);

    void SetHttpVersion(const std::string& x) { m_http_version = x; }
    const std::string& HttpVersion() const { return m_http_version; }
    void SetHttpStatusCode(int x) { m_http_status_code = x; }
    int HttpStatusCode() const { return m_http_status_code; }
    void SetHttpStatusMsg(const std::string& x) { m_http_status_msg = x; }
    const std::string& HttpStatusMsg() const { return m_http_status_msg; }

    void SetCookie(const std::string& text);
    const std::string& Cookie(const std::string& name) const;
    std::list<std::string> CookieNames() const;

    void Write(const std::string& text);
    void Write(const char* buf, size_t len);
    void Writef(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The body is read from the file; false, and the body kept, when it cannot be opened.
    bool SetFile(const std::string& path);
    IFile& GetFile() const { return *m_file; }

    void Reset() override;

private:
    std::string m_http_version;
    int m_http_status_code{0};
    std::string m_http_status_msg;
    string_m m_cookie;
    mutable std::unique_ptr<IFile> m_file;
};
