#include "sockets/protocols/HttpdCookies.h"

#include <strings.h>

#include "sockets/Parse.h"
#include "sockets/protocols/HTTPSocket.h"

namespace {

constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool SafePart(const std::string& text) {
    return text.find_first_of(std::string("\r\n;\0", 4)) == std::string::npos;
}

bool IsToken(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c <= 32 || c >= 127 || std::string("()<>@,;:\\\"/[]?={}").find(c) != std::string::npos)
            return false;
    return true;
}

}  // namespace

void HttpdCookies::add(const std::string& text) {
    Parse pa(text, ";");
    for (std::string word = pa.getword(); !word.empty(); word = pa.getword()) {
        Parse pair(word, "=");
        std::string name = pair.getword();
        std::string value = pair.getword();
        if (!name.empty()) m_cookies.emplace_back(name, value);
    }
}

bool HttpdCookies::getvalue(const std::string& name, std::string& value) const {
    for (const auto& [key, v] : m_cookies)
        if (strcasecmp(key.c_str(), name.c_str()) == 0) {
            value = v;
            return true;
        }
    value.clear();
    return false;
}

size_t HttpdCookies::getlength(const std::string& name) const {
    std::string value;
    return getvalue(name, value) ? value.size() : 0;
}

void HttpdCookies::replacevalue(const std::string& name, const std::string& value) {
    for (auto& [key, v] : m_cookies)
        if (strcasecmp(key.c_str(), name.c_str()) == 0) {
            v = value;
            return;
        }
    m_cookies.emplace_back(name, value);
}

void HttpdCookies::replacevalue(const std::string& name, long value) {
    replacevalue(name, std::to_string(value));
}

void HttpdCookies::replacevalue(const std::string& name, int value) {
    replacevalue(name, std::to_string(value));
}

bool HttpdCookies::setcookie(HTTPSocket& socket, const std::string& domain, const std::string& path,
                             const std::string& name, const std::string& value) {
    if (!IsToken(name) || !SafePart(value) || !SafePart(domain) || !SafePart(path)) return false;
    std::string text = name + "=" + value;
    if (!domain.empty()) text += "; domain=" + domain;
    text += "; path=" + path + "; expires=" + expiredatetime();
    socket.AddResponseHeader("Set-cookie", text);
    replacevalue(name, value);
    return true;
}

bool HttpdCookies::setcookie(HTTPSocket& socket, const std::string& domain, const std::string& path,
                             const std::string& name, long value) {
    return setcookie(socket, domain, path, name, std::to_string(value));
}

bool HttpdCookies::setcookie(HTTPSocket& socket, const std::string& domain, const std::string& path,
                             const std::string& name, int value) {
    return setcookie(socket, domain, path, name, std::to_string(value));
}

const std::string& HttpdCookies::expiredatetime(time_t now) {
    struct tm tp;
    gmtime_r(&now, &tp);
    tp.tm_year += 10;
    // timegm normalises a 29 February into March and gives the expiry date's own weekday.
    const time_t later = timegm(&tp);
    gmtime_r(&later, &tp);
    char buf[64];
    snprintf(buf, sizeof(buf), "%s, %02d-%s-%04d %02d:%02d:%02d GMT", kDays[tp.tm_wday], tp.tm_mday,
             kMonths[tp.tm_mon], tp.tm_year + 1900, tp.tm_hour, tp.tm_min, tp.tm_sec);
    m_date = buf;
    return m_date;
}

void HttpdCookies::Reset() {
    m_cookies.clear();
    m_date.clear();
}
