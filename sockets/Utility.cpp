#include "sockets/Utility.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <pthread.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <vector>

#include "sockets/Base64.h"
#include "sockets/Ipv4Address.h"
#include "sockets/Ipv6Address.h"
#include "sockets/Parse.h"

namespace {

bool IsAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The eight 16-bit groups of an IPv6 address, in host order.
std::array<unsigned, 8> Groups(const struct in6_addr& a) {
    std::array<unsigned, 8> groups{};
    for (int i = 0; i < 8; ++i) groups[i] = (a.s6_addr[2 * i] << 8) | a.s6_addr[2 * i + 1];
    return groups;
}

std::string Hex(unsigned x) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%x", x);
    return buffer;
}

// Groups in hexadecimal with the first run of zero groups left out.
std::string NumericIpv6(const struct in6_addr& a) {
    const auto groups = Groups(a);
    int start = 0;
    while (start < 8 && groups[start] != 0) ++start;
    int end = start;
    while (end < 8 && groups[end] == 0) ++end;
    std::string text;
    for (int i = 0; i < start; ++i) text += (i > 0 ? ":" : "") + Hex(groups[i]);
    if (start == 8) return text;
    text += "::";
    for (int i = end; i < 8; ++i) text += (i > end ? ":" : "") + Hex(groups[i]);
    return text;
}

// A scope after "%": an interface index or an interface's name.
bool ScopeId(const std::string& scope, uint32_t& id) {
    if (scope.empty()) return false;
    if (scope.find_first_not_of("0123456789") == std::string::npos) {
        if (scope.size() > 9) return false;
        id = static_cast<uint32_t>(std::strtoul(scope.c_str(), nullptr, 10));
        return true;
    }
    id = if_nametoindex(scope.c_str());
    return id != 0;
}

// Numeric IPv6 text, strictly: eight groups of one to four hexadecimal digits, or fewer with one
// "::" standing for the rest, the last two optionally as a dotted IPv4 address, and an optional
// scope. Anything else is no address, rather than some other address.
bool ParseNumericIpv6(const std::string& text, struct sockaddr_in6& sa) {
    const size_t percent = text.find('%');
    const std::string address = text.substr(0, percent);
    uint32_t scope = 0;
    if (address.find('\0') != std::string::npos || inet_pton(AF_INET6, address.c_str(), &sa.sin6_addr) != 1 ||
        (percent != std::string::npos && !ScopeId(text.substr(percent + 1), scope))) {
        sa.sin6_addr = {};
        return false;
    }
    sa.sin6_scope_id = scope;
    return true;
}

// The first address of `family` that getaddrinfo gives for a name.
bool LookUp(const std::string& host, int family, void* address, size_t length) {
    // The look-up would see only the text before a zero byte, a name other than the one given.
    if (host.find('\0') != std::string::npos) return false;
    struct addrinfo hints {};
    hints.ai_family = family;
    struct addrinfo* result = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || !result) return false;
    const bool found = result->ai_family == family && result->ai_addrlen >= length;
    if (found) std::memcpy(address, result->ai_addr, length);
    freeaddrinfo(result);
    return found;
}

struct LocalHost {
    std::mutex mutex;
    bool resolved{false};
    std::string hostname;
    ipaddr_t ip{0};
    std::string address;
    struct in6_addr ip6 {};
    std::string address6;
};

LocalHost& Local() {
    static LocalHost local;
    return local;
}

}  // namespace

std::string Utility::base64(const std::string& str) {
    std::string out;
    Base64::encode(str, out, false);
    return out;
}

std::string Utility::base64d(const std::string& str) {
    std::string out;
    Base64::decode(str, out);
    return out;
}

std::string Utility::l2string(long l) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%ld", l);
    return buffer;
}

std::string Utility::bigint2string(uint64_t l) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(l));
    return buffer;
}

uint64_t Utility::atoi64(const std::string& str) {
    uint64_t value = 0;
    for (unsigned char c : str) value = value * 10 + (c - static_cast<uint64_t>('0'));
    return value;
}

unsigned int Utility::hex2unsigned(const std::string& str) {
    unsigned int value = 0;
    for (unsigned char c : str) {
        unsigned int digit = c - '0';
        if (c >= 'A') digit -= 7;
        if (c >= 'a') digit -= 32;
        value = value * 16 + digit;
    }
    return value;
}

std::string Utility::rfc1738_encode(const std::string& src) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string dst;
    dst.reserve(src.size());
    for (unsigned char c : src) {
        if (IsAsciiAlnum(c)) {
            dst += static_cast<char>(c);
        } else if (c == ' ') {
            dst += '+';
        } else {
            dst += '%';
            dst += kHex[c >> 4];
            dst += kHex[c & 0x0f];
        }
    }
    return dst;
}

std::string Utility::rfc1738_decode(const std::string& src) {
    std::string dst;
    dst.reserve(src.size());
    for (size_t i = 0; i < src.size(); ++i) {
        const char c = src[i];
        if (c == '+') {
            dst += ' ';
        } else if (c == '%' && i + 2 < src.size() && HexDigit(src[i + 1]) >= 0 && HexDigit(src[i + 2]) >= 0) {
            dst += static_cast<char>(HexDigit(src[i + 1]) * 16 + HexDigit(src[i + 2]));
            i += 2;
        } else {
            dst += c;
        }
    }
    return dst;
}

std::string Utility::ToLower(const std::string& str) {
    std::string r = str;
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

std::string Utility::ToUpper(const std::string& str) {
    std::string r = str;
    for (char& c : r) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return r;
}

std::string Utility::ToString(double d) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%f", d);
    return buffer;
}

std::string Utility::FromUtf8(const std::string& str) {
    std::string r;
    r.reserve(str.size());
    for (size_t i = 0; i < str.size(); ++i) {
        const auto c = static_cast<unsigned char>(str[i]);
        const auto next = i + 1 < str.size() ? static_cast<unsigned char>(str[i + 1]) : 0;
        if ((c & 0xe0) == 0xc0 && (next & 0xc0) == 0x80) {
            r += static_cast<char>(((c << 6) | (next & 0x3f)) & 0xff);
            ++i;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

std::string Utility::ToUtf8(const std::string& str) {
    std::string r;
    r.reserve(str.size() * 2);
    for (unsigned char c : str) {
        if (c >= 0x80) {
            r += static_cast<char>(0xc0 | (c >> 6));
            r += static_cast<char>(0x80 | (c & 0x3f));
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

bool Utility::isipv4(const std::string& str) {
    if (str.empty()) return false;
    int dots = 0;
    for (char c : str) {
        if (c == '.') {
            ++dots;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return dots == 3;
}

bool Utility::isipv6(const std::string& str) {
    size_t colons = 0;
    size_t dots = 0;
    for (char c : str) {
        if (c == ':') ++colons;
        if (c == '.') ++dots;
    }
    if (colons > 7) return false;
    if (dots != 0 && dots != 3) return false;
    Parse parse(str, ":.");
    for (std::string word = parse.getword(); !word.empty(); word = parse.getword()) {
        if (word.size() > 4) return false;
        for (unsigned char c : word) {
            if (HexDigit(c) < 0) return false;
        }
    }
    return true;
}

bool Utility::u2ip(const std::string& host, ipaddr_t& l) {
    struct sockaddr_in sa {};
    const bool found = u2ip(host, sa);
    l = sa.sin_addr.s_addr;
    return found;
}

bool Utility::u2ip(const std::string& host, struct sockaddr_in& sa, int flags) {
    sa = {};
    sa.sin_family = AF_INET;
    if (!(flags & AI_NUMERICHOST) && !isipv4(host)) {
        struct sockaddr_in found {};
        if (!LookUp(host, AF_INET, &found, sizeof found)) return false;
        sa.sin_addr = found.sin_addr;
        return true;
    }
    Parse parse(host, ".");
    auto* bytes = reinterpret_cast<unsigned char*>(&sa.sin_addr);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(parse.getvalue());
    return true;
}

bool Utility::u2ip(const std::string& host, struct in6_addr& l) {
    struct sockaddr_in6 sa {};
    const bool found = u2ip(host, sa);
    l = sa.sin6_addr;
    return found;
}

bool Utility::u2ip(const std::string& host, struct sockaddr_in6& sa, int flags) {
    sa = {};
    sa.sin6_family = AF_INET6;
    if (!(flags & AI_NUMERICHOST) && !isipv6(host)) {
        struct sockaddr_in6 found {};
        if (!LookUp(host, AF_INET6, &found, sizeof found)) return false;
        sa.sin6_addr = found.sin6_addr;
        sa.sin6_scope_id = found.sin6_scope_id;
        return true;
    }
    return ParseNumericIpv6(host, sa);
}

bool Utility::reverse(struct sockaddr* sa, socklen_t sa_len, std::string& hostname, int flags) {
    std::string service;
    return reverse(sa, sa_len, hostname, service, flags);
}

bool Utility::reverse(struct sockaddr* sa, socklen_t sa_len, std::string& hostname, std::string& service,
                      int flags) {
    hostname.clear();
    service.clear();
    if (!sa) return false;
    socklen_t expected = 0;
    if (sa->sa_family == AF_INET) {
        expected = sizeof(struct sockaddr_in);
    } else if (sa->sa_family == AF_INET6) {
        expected = sizeof(struct sockaddr_in6);
    } else {
        return false;
    }
    if (sa_len < expected) return false;
    if (flags & NI_NUMERICHOST) {
        if (sa->sa_family == AF_INET) {
            l2ip(reinterpret_cast<struct sockaddr_in*>(sa)->sin_addr, hostname);
        } else {
            hostname = NumericIpv6(reinterpret_cast<struct sockaddr_in6*>(sa)->sin6_addr);
        }
        return true;
    }
    char name[NI_MAXHOST];
    if (getnameinfo(sa, expected, name, sizeof name, nullptr, 0, NI_NAMEREQD) != 0) return false;
    hostname = name;
    return true;
}

void Utility::l2ip(ipaddr_t ip, std::string& str) {
    struct in_addr a {};
    a.s_addr = static_cast<in_addr_t>(ip);
    l2ip(a, str);
}

void Utility::l2ip(const struct in_addr& ip, std::string& str) {
    const auto* b = reinterpret_cast<const unsigned char*>(&ip);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
    str = buffer;
}

void Utility::l2ip(const struct in6_addr& ip, std::string& str, bool mixed) {
    if (!mixed) {
        str = NumericIpv6(ip);
        return;
    }
    const auto groups = Groups(ip);
    str.clear();
    unsigned prev = 0;
    bool skipped = false;
    bool maySkip = true;
    for (int i = 0; i < 6; ++i) {
        const unsigned x = groups[i];
        if (!str.empty() && (x != 0 || !maySkip || prev != 0)) str += ':';
        if (x == 0 && maySkip) {
            skipped = true;
        } else {
            str += Hex(x);
            if (x != 0 && skipped) maySkip = false;
        }
        prev = x;
    }
    const uint8_t* b = ip.s6_addr;
    char tail[32];
    std::snprintf(tail, sizeof tail, ":%u.%u.%u.%u", b[12], b[13], b[14], b[15]);
    str += tail;
}

std::string Utility::Sa2String(struct sockaddr* sa) {
    std::string text;
    if (sa->sa_family == AF_INET) {
        auto* in = reinterpret_cast<struct sockaddr_in*>(sa);
        l2ip(in->sin_addr, text);
        return text + ":" + l2string(ntohs(in->sin_port));
    }
    if (sa->sa_family == AF_INET6) {
        auto* in6 = reinterpret_cast<struct sockaddr_in6*>(sa);
        l2ip(in6->sin6_addr, text);
        return "[" + text + "]:" + l2string(ntohs(in6->sin6_port));
    }
    return "";
}

std::unique_ptr<SocketAddress> Utility::CreateAddress(struct sockaddr* sa, socklen_t sa_len) {
    if (!sa) return nullptr;
    if (sa->sa_family == AF_INET6 && sa_len == sizeof(struct sockaddr_in6)) {
        return std::make_unique<Ipv6Address>(*reinterpret_cast<struct sockaddr_in6*>(sa));
    }
    if (sa->sa_family == AF_INET && sa_len == sizeof(struct sockaddr_in)) {
        return std::make_unique<Ipv4Address>(*reinterpret_cast<struct sockaddr_in*>(sa));
    }
    return nullptr;
}

int Utility::in6_addr_compare(const struct in6_addr& a, const struct in6_addr& b) {
    for (int i = 0; i < 16; ++i) {
        if (a.s6_addr[i] < b.s6_addr[i]) return -1;
        if (a.s6_addr[i] > b.s6_addr[i]) return 1;
    }
    return 0;
}

int Utility::u2service(const std::string&, int&, int) {
    return 0;
}

void Utility::ResolveLocal() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == -1) name[0] = 0;
    struct sockaddr_in sa {};
    u2ip(name, sa);
    struct sockaddr_in6 sa6 {};
    u2ip(name, sa6);

    LocalHost& local = Local();
    std::lock_guard<std::mutex> guard(local.mutex);
    local.hostname = name;
    local.ip = sa.sin_addr.s_addr;
    l2ip(sa.sin_addr, local.address);
    local.ip6 = sa6.sin6_addr;
    l2ip(sa6.sin6_addr, local.address6);
    local.resolved = true;
}

namespace {

// Resolves on first use and answers a copy of one field under the lock.
template <typename Field>
auto LocalField(Field LocalHost::*field) {
    LocalHost& local = Local();
    {
        std::lock_guard<std::mutex> guard(local.mutex);
        if (local.resolved) return local.*field;
    }
    Utility::ResolveLocal();
    std::lock_guard<std::mutex> guard(local.mutex);
    return local.*field;
}

}  // namespace

const std::string Utility::GetLocalHostname() {
    return LocalField(&LocalHost::hostname);
}

ipaddr_t Utility::GetLocalIP() {
    return LocalField(&LocalHost::ip);
}

const std::string Utility::GetLocalAddress() {
    return LocalField(&LocalHost::address);
}

const struct in6_addr Utility::GetLocalIP6() {
    return LocalField(&LocalHost::ip6);
}

const std::string Utility::GetLocalAddress6() {
    return LocalField(&LocalHost::address6);
}

void Utility::GetTime(struct timeval* tv) {
    gettimeofday(tv, nullptr);
}

void Utility::SetEnv(const std::string& var, const std::string& value) {
    setenv(var.c_str(), value.c_str(), 1);
}

unsigned long Utility::ThreadID() {
    return static_cast<unsigned long>(pthread_self());
}

std::string Utility::Stack() {
    return "Not available";
}

const Utility::Path Utility::GetCurrentDirectory() {
    std::vector<char> buffer(32000);
    if (!getcwd(buffer.data(), buffer.size())) return Path(".");
    return Path(buffer.data());
}

bool Utility::ChangeDirectory(const Path& to_dir) {
    return chdir(to_dir.GetPath().c_str()) == 0;
}

bool Utility::ncmap_compare::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

Utility::Uri::Uri(const std::string& url) : m_url(url), m_path(url) {
    const size_t scheme = url.find("://");
    if (url.size() > 2 && scheme != std::string::npos && scheme > 0) {
        m_protocol = ToLower(url.substr(0, scheme));
        if (m_protocol == "http") m_port = 80;
        if (m_protocol == "https") m_port = 443;
        m_host = url.substr(scheme + 3);
        const size_t slash = m_host.find('/');
        if (slash != std::string::npos) {
            m_path = m_host.substr(slash);
            m_host.resize(slash);
        }
        // An IPv6 address stands in brackets, so that its colons are not the port's.
        const size_t close = m_host.starts_with('[') ? m_host.find(']') : std::string::npos;
        const size_t colon = m_host.find(':', close == std::string::npos ? 0 : close);
        if (colon != std::string::npos) {
            m_port = std::atoi(m_host.c_str() + colon + 1);
            m_host.resize(colon);
        }
        if (close != std::string::npos) m_host = m_host.substr(1, close - 1);
    }
    const size_t query = m_path.find('?');
    if (query != std::string::npos) {
        m_uri = m_path.substr(0, query);
        m_query_string = m_path.substr(query + 1);
    } else {
        m_uri = m_path;
    }
    const size_t dot = m_uri.rfind('.');
    if (dot != std::string::npos) m_ext = m_uri.substr(dot + 1);
}

Utility::Path::Path(const std::string& path) {
    std::string text = path;
    for (char& c : text) {
        if (c == '\\') c = '/';
    }
    struct stat status;
    if (stat(text.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
        m_path = text;
        return;
    }
    const size_t slash = text.rfind('/');
    m_path = slash == std::string::npos ? "" : text.substr(0, slash + 1);
    m_file = slash == std::string::npos ? text : text.substr(slash + 1);
    const size_t dot = m_file.rfind('.');
    if (dot != std::string::npos) m_ext = m_file.substr(dot + 1);
}

Utility::Rng::Rng(unsigned long seed) {
    m_tmp[0] = seed & 0xffffffffUL;
    for (int i = 1; i < NUM; ++i) {
        m_tmp[i] = 1812433253ULL * (m_tmp[i - 1] ^ (m_tmp[i - 1] >> 30)) + static_cast<uint64_t>(i);
    }
}

unsigned long Utility::Rng::Get() {
    const uint64_t value = m_tmp[m_value++];
    if (m_value == NUM) {
        for (int i = 0; i < NUM; ++i) {
            const uint64_t next = m_tmp[(i + 1) % NUM];
            const uint64_t y = (m_tmp[i] & 0x80000000ULL) | (next & 0x7ffffffeULL);
            m_tmp[i] = m_tmp[(i + 397) % NUM] ^ (y >> 1) ^ ((next & 1) ? 0x9908b0dfULL : 0);
        }
        m_value = 0;
    }
    return static_cast<unsigned long>(value);
}

unsigned long Utility::Rnd() {
    static std::mutex mutex;
    static Rng generator(static_cast<unsigned long>(time(nullptr)));
    std::lock_guard<std::mutex> guard(mutex);
    return generator.Get();
}
