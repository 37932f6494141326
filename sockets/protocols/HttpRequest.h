// A request as a server socket or the AJP13 connector read it: line, headers, attributes,
// cookies, the body (in memory, or for a multipart form in a private temporary file) and the form
// parsed from it. Copying hands the body and the form over to the copy.
#pragma once

#include <memory>
#include <string>

#include "sockets/protocols/HttpTransaction.h"
#include "sockets/protocols/HttpdCookies.h"
#include "sockets/protocols/HttpdForm.h"

class IFile;

class HttpRequest : public HttpTransaction {
public:
    HttpRequest();
    ~HttpRequest() override;
    // Both move the body and the form; the source keeps everything else.
    HttpRequest(const HttpRequest& src);
    HttpRequest& operator=(const HttpRequest& src);

    void SetHttpMethod(const std::string& x) { m_method = x; }
    const std::string& HttpMethod() const { return m_method; }
    void SetHttpVersion(const std::string& x) { m_protocol = x; }
    const std::string& HttpVersion() const { return m_protocol; }
    void SetUri(const std::string& x) { m_req_uri = x; }
    const std::string& Uri() const { return m_req_uri; }
    void SetRemoteAddr(const std::string& x) { m_remote_addr = x; }
    const std::string& RemoteAddr() const { return m_remote_addr; }
    void SetRemoteHost(const std::string& x) { m_remote_host = x; }
    const std::string& RemoteHost() const { return m_remote_host; }
    void SetServerName(const std::string& x) { m_server_name = x; }
    const std::string& ServerName() const { return m_server_name; }
    void SetServerPort(int x) { m_server_port = x; }
    int ServerPort() const { return m_server_port; }
    void SetIsSsl(bool x) { m_is_ssl = x; }
    bool IsSsl() const { return m_is_ssl; }

    void SetAttribute(const std::string& name, const std::string& value) { m_attribute[name] = value; }
    void SetAttribute(const std::string& name, long value) { m_attribute[name] = std::to_string(value); }
    const std::string& Attribute(const std::string& name) const;
    const string_m& Attributes() const { return m_attribute; }

    void AddCookie(const std::string& text);
    const string_m& CookieMap() const { return m_cookie; }

    // A multipart body is kept in a private temporary file, anything else in memory.
    void InitBody(size_t length);
    void InitBody(size_t length, bool spill);
    void Write(const char* buf, size_t len);
    void CloseBody();
    IFile* Body() const { return m_body.get(); }
    uint64_t BodySize() const { return m_body_size; }

    // The form from the body when there is one, else from the "query_string" attribute.
    void ParseBody(const HttpdForm::Limits& limits = HttpdForm::Limits(), IFileUpload* upload = nullptr);
    // Throws Exception("Form not available") before ParseBody.
    const HttpdForm& Form() const;
    const HttpdCookies& Cookies() const { return m_cookies; }

    void Reset() override;

private:
    std::string m_method;
    std::string m_protocol;
    std::string m_req_uri;
    std::string m_remote_addr;
    std::string m_remote_host;
    std::string m_server_name;
    int m_server_port{0};
    bool m_is_ssl{false};
    string_m m_attribute;
    mutable std::unique_ptr<IFile> m_body;
    mutable std::unique_ptr<HttpdForm> m_form;
    uint64_t m_body_size{0};
    HttpdCookies m_cookies;
    string_m m_cookie;
};
