// The headers of an HTTP request or response, by case-insensitive name. Lookups that find nothing
// answer the empty string.
#pragma once

#include <map>
#include <string>

#include "sockets/Utility.h"

class HttpTransaction {
public:
    using string_m = std::map<std::string, std::string, Utility::ncmap_compare>;

    HttpTransaction() = default;
    virtual ~HttpTransaction() = default;
    HttpTransaction(const HttpTransaction&) = default;
    HttpTransaction& operator=(const HttpTransaction&) = default;

    virtual void Reset() { m_header.clear(); }

    void SetHeader(const std::string& name, const std::string& value) { m_header[name] = value; }
    void SetHeader(const std::string& name, long value) { m_header[name] = std::to_string(value); }
    const std::string& Header(const std::string& name) const;
    const string_m& Headers() const { return m_header; }

    void SetAccept(const std::string& x) { SetHeader("accept", x); }
    const std::string& Accept() const { return Header("accept"); }
    void SetAcceptCharset(const std::string& x) { SetHeader("accept-charset", x); }
    const std::string& AcceptCharset() const { return Header("accept-charset"); }
    void SetAcceptEncoding(const std::string& x) { SetHeader("accept-encoding", x); }
    const std::string& AcceptEncoding() const { return Header("accept-encoding"); }
    void SetAcceptLanguage(const std::string& x) { SetHeader("accept-language", x); }
    const std::string& AcceptLanguage() const { return Header("accept-language"); }
    void SetConnection(const std::string& x) { SetHeader("connection", x); }
    const std::string& Connection() const { return Header("connection"); }
    void SetContentType(const std::string& x) { SetHeader("content-type", x); }
    const std::string& ContentType() const { return Header("content-type"); }
    void SetContentLength(long x) { SetHeader("content-length", x); }
    long ContentLength() const { return atol(Header("content-length").c_str()); }
    void SetHost(const std::string& x) { SetHeader("host", x); }
    const std::string& Host() const { return Header("host"); }
    void SetPragma(const std::string& x) { SetHeader("pragma", x); }
    const std::string& Pragma() const { return Header("pragma"); }
    void SetReferer(const std::string& x) { SetHeader("referer", x); }
    const std::string& Referer() const { return Header("referer"); }
    void SetUserAgent(const std::string& x) { SetHeader("user-agent", x); }
    const std::string& UserAgent() const { return Header("user-agent"); }

protected:
    static const std::string& Empty();

private:
    string_m m_header;
};
