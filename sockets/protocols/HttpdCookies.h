// The cookies of one request as (name, value) pairs in arrival order, and the Set-cookie texts
// that a server sends. Used by one socket on the handler's thread.
#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

class HTTPSocket;

class HttpdCookies {
public:
    HttpdCookies() = default;
    explicit HttpdCookies(const std::string& text) { add(text); }

    void add(const std::string& text);
    bool getvalue(const std::string& name, std::string& value) const;
    size_t getlength(const std::string& name) const;
    void replacevalue(const std::string& name, const std::string& value);
    void replacevalue(const std::string& name, long value);
    void replacevalue(const std::string& name, int value);

    // False, and nothing is set, when a part holds CR, LF or ';' or the name is not a token.
    bool setcookie(HTTPSocket& socket, const std::string& domain, const std::string& path,
                   const std::string& name, const std::string& value);
    bool setcookie(HTTPSocket& socket, const std::string& domain, const std::string& path,
                   const std::string& name, long value);
    bool setcookie(HTTPSocket& socket, const std::string& domain, const std::string& path,
                   const std::string& name, int value);

    // Ten years after `now` (UTC), weekday and all of the expiry date itself.
    const std::string& expiredatetime(time_t now);
    const std::string& expiredatetime() { return expiredatetime(time(nullptr)); }
    void Reset();

    const std::vector<std::pair<std::string, std::string>>& Pairs() const { return m_cookies; }

private:
    std::vector<std::pair<std::string, std::string>> m_cookies;
    std::string m_date;
};
