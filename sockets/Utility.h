// Conversions and small system calls that the socket library and the protocol sockets share:
// numbers and text, URL escaping, IPv4 and IPv6 addresses and names, the local host, random
// numbers, URIs and paths, Latin-1 and UTF-8. Nothing here throws; conversions never fail and
// look-ups answer false.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "sockets/SocketAddress.h"

class Utility {
public:
    // A file path cut into its folder (with the last "/"), file name and extension.
    class Path {
    public:
        explicit Path(const std::string& path);
        const std::string& GetPath() const { return m_path; }
        const std::string& GetFilename() const { return m_file; }
        const std::string& GetExtension() const { return m_ext; }

    private:
        std::string m_path;
        std::string m_file;
        std::string m_ext;
    };

    // A URL cut into protocol, host, port, path (with the query), uri (without it), query
    // string and extension.
    class Uri {
    public:
        explicit Uri(const std::string& url);
        const std::string& Url() const { return m_url; }
        const std::string& UrlUri() const { return m_uri; }
        const std::string& QueryString() const { return m_query_string; }
        const std::string& Protocol() const { return m_protocol; }
        const std::string& Host() const { return m_host; }
        int Port() const { return m_port; }
        const std::string& Path() const { return m_path; }
        const std::string& Extension() const { return m_ext; }

    private:
        std::string m_url;
        std::string m_uri;
        std::string m_query_string;
        std::string m_protocol;
        std::string m_host;
        int m_port{0};
        std::string m_path;
        std::string m_ext;
    };

    // A generator of the Mersenne-twister family whose first 624 values are its seeding words.
    // One object belongs to one thread at a time.
    class Rng {
    public:
        static constexpr int NUM = 624;
        explicit Rng(unsigned long seed);
        unsigned long Get();

    private:
        int m_value{0};
        std::array<uint64_t, NUM> m_tmp{};
    };

    // Orders texts ignoring ASCII case, for header maps.
    struct ncmap_compare {
        bool operator()(const std::string& a, const std::string& b) const;
    };

    static std::string base64(const std::string& str);
    static std::string base64d(const std::string& str);
    static std::string l2string(long l);
    static std::string bigint2string(uint64_t l);
    // Digits only, unchecked: every character adds (c - '0') to ten times the value.
    static uint64_t atoi64(const std::string& str);
    static unsigned int hex2unsigned(const std::string& str);
    static std::string rfc1738_encode(const std::string& src);
    static std::string rfc1738_decode(const std::string& src);
    static std::string ToLower(const std::string& str);
    static std::string ToUpper(const std::string& str);
    static std::string ToString(double d);
    // Latin-1 from UTF-8 (two-byte sequences only) and back.
    static std::string FromUtf8(const std::string& str);
    static std::string ToUtf8(const std::string& str);

    // Whether the text looks like a numeric address; the numbers are not range-checked.
    static bool isipv4(const std::string& str);
    static bool isipv6(const std::string& str);

    // A host name or numeric text to an address. Names are looked up in the address's family
    // (the first answer counts) unless `flags` holds AI_NUMERICHOST or the text is numeric.
    // Numeric IPv6 text must be well formed (false otherwise); its scope ("%lo", "%2") becomes
    // the structure's scope id.
    static bool u2ip(const std::string& host, ipaddr_t& l);
    static bool u2ip(const std::string& host, struct sockaddr_in& sa, int flags = 0);
    static bool u2ip(const std::string& host, struct in6_addr& l);
    static bool u2ip(const std::string& host, struct sockaddr_in6& sa, int flags = 0);

    // An address to its host name, or to numeric text when `flags` holds NI_NUMERICHOST.
    static bool reverse(struct sockaddr* sa, socklen_t sa_len, std::string& hostname, int flags = 0);
    static bool reverse(struct sockaddr* sa, socklen_t sa_len, std::string& hostname, std::string& service,
                        int flags = 0);

    // Numeric address texts; `mixed` ends an IPv6 text in a dotted quad.
    static void l2ip(ipaddr_t ip, std::string& str);
    static void l2ip(const struct in_addr& ip, std::string& str);
    static void l2ip(const struct in6_addr& ip, std::string& str, bool mixed = false);
    // Numeric address, ":" and the port; empty for other families.
    static std::string Sa2String(struct sockaddr* sa);
    // An address object of the structure's family and length, or null.
    static std::unique_ptr<SocketAddress> CreateAddress(struct sockaddr* sa, socklen_t sa_len);
    static int in6_addr_compare(const struct in6_addr& a, const struct in6_addr& b);
    static int u2service(const std::string& name, int& service, int flags = 0);

    // The local host's name and addresses, found once on first use. May be called from any thread.
    static void ResolveLocal();
    static const std::string GetLocalHostname();
    static ipaddr_t GetLocalIP();
    static const std::string GetLocalAddress();
    static const struct in6_addr GetLocalIP6();
    static const std::string GetLocalAddress6();

    static void GetTime(struct timeval* tv);
    static void SetEnv(const std::string& var, const std::string& value);
    static unsigned long ThreadID();
    static std::string Stack();
    static const Path GetCurrentDirectory();
    static bool ChangeDirectory(const Path& to_dir);

    // The next value of one shared generator seeded with the time. May be called from any thread.
    static unsigned long Rnd();

    // A small PNG image as Base64 text, served by the HTTP server.
    static const std::string Logo;
};
