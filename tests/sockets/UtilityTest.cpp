#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <map>
#include <string>

#include "sockets/Base64.h"
#include "sockets/Exception.h"
#include "sockets/FileStream.h"
#include "sockets/MemFile.h"
#include "sockets/StreamWriter.h"
#include "sockets/Utility.h"

namespace {

std::array<unsigned, 8> Groups(const struct in6_addr& a) {
    std::array<unsigned, 8> groups{};
    for (int i = 0; i < 8; ++i) groups[i] = (a.s6_addr[2 * i] << 8) | a.s6_addr[2 * i + 1];
    return groups;
}

struct in6_addr Numeric6(const std::string& text) {
    struct sockaddr_in6 sa {};
    EXPECT_TRUE(Utility::u2ip(text, sa, AI_NUMERICHOST)) << text;
    EXPECT_EQ(sa.sin6_family, AF_INET6);
    return sa.sin6_addr;
}

std::string ReverseNumeric(struct sockaddr* sa, socklen_t length) {
    std::string host;
    std::string service = "x";
    EXPECT_TRUE(Utility::reverse(sa, length, host, service, NI_NUMERICHOST));
    EXPECT_EQ(service, "");
    return host;
}

}  // namespace

TEST(Utility, NumbersAsText) {
    EXPECT_EQ(Utility::l2string(-5), "-5");
    EXPECT_EQ(Utility::l2string(LONG_MIN), "-9223372036854775808");
    EXPECT_EQ(Utility::bigint2string(0), "0");
    EXPECT_EQ(Utility::bigint2string(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(Utility::ToString(1.5), "1.500000");
    EXPECT_EQ(Utility::atoi64(""), 0u);
    EXPECT_EQ(Utility::atoi64("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(Utility::atoi64("12"), 12u);

    const struct {
        const char* text;
        unsigned value;
    } hex[] = {{"", 0},         {"ff", 255}, {"FF", 255}, {"1A2b", 0x1a2b}, {"ffffffff", 0xffffffff},
               {"100000000", 0}};
    for (const auto& c : hex) EXPECT_EQ(Utility::hex2unsigned(c.text), c.value) << c.text;
}

TEST(Utility, UrlEscaping) {
    const struct {
        std::string plain;
        std::string encoded;
    } both[] = {
        {"a b&c", "a+b%26c"},       {"", ""}, {"AZaz09", "AZaz09"}, {"\xc3\xa9/", "%C3%A9%2F"},
        {std::string(1, 0), "%00"},
    };
    for (const auto& c : both) {
        EXPECT_EQ(Utility::rfc1738_encode(c.plain), c.encoded);
        EXPECT_EQ(Utility::rfc1738_decode(c.encoded), c.plain) << c.encoded;
    }
    const struct {
        const char* text;
        const char* decoded;
    } decodeOnly[] = {{"a+b%2x", "a b%2x"}, {"%4", "%4"}, {"%", "%"}, {"%6a%4A", "jJ"}, {"100%", "100%"}};
    for (const auto& c : decodeOnly) EXPECT_EQ(Utility::rfc1738_decode(c.text), c.decoded) << c.text;
}

TEST(Utility, CaseAndLatin1) {
    EXPECT_EQ(Utility::ToLower("AbC-\xc4"), "abc-\xc4");
    EXPECT_EQ(Utility::ToUpper("aBc-\xe4"), "ABC-\xe4");

    EXPECT_EQ(Utility::FromUtf8("caf\xc3\xa9"), "caf\xe9");
    EXPECT_EQ(Utility::FromUtf8("cut \xc3"), "cut \xc3");
    EXPECT_EQ(Utility::FromUtf8("\xe2\x82\xac"), "\xe2\x82\xac");
    EXPECT_EQ(Utility::ToUtf8("caf\xe9"), "caf\xc3\xa9");
    EXPECT_EQ(Utility::ToUtf8(""), "");
    std::string every;
    for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
    EXPECT_EQ(Utility::FromUtf8(Utility::ToUtf8(every)), every);
}

TEST(Utility, NumericAddressTexts) {
    const struct {
        const char* text;
        bool ipv4;
        bool ipv6;
    } cases[] = {
        {"127.0.0.1", true, true},
        {"999.1.1.1", true, true},
        {"1.2.3", false, false},
        {"", false, true},
        {"::1", false, true},
        {"fe80::1", false, true},
        {"::ffff:1.2.3.4", false, true},
        {"1:2:3:4:5:6:7:8", false, true},
        {"1:2:3:4:5:6:7:8:9", false, false},
        {"12345::", false, false},
        {"g::", false, false},
        {"1.2.3.4.5", false, false},
        {"localhost", false, false},
        {"1..2.3", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utility::isipv4(c.text), c.ipv4) << c.text;
        EXPECT_EQ(Utility::isipv6(c.text), c.ipv6) << c.text;
    }
}

TEST(Utility, Ipv6TextToGroups) {
    using G = std::array<unsigned, 8>;
    const struct {
        const char* text;
        G groups;
    } cases[] = {
        {"fe80::1", {0xfe80, 0, 0, 0, 0, 0, 0, 1}},
        {"::1", {0, 0, 0, 0, 0, 0, 0, 1}},
        {"::", {0, 0, 0, 0, 0, 0, 0, 0}},
        {"1::", {1, 0, 0, 0, 0, 0, 0, 0}},
        {"1:2::7:8", {1, 2, 0, 0, 0, 0, 7, 8}},
        {"::ffff:1.2.3.4", {0, 0, 0, 0, 0, 0xffff, 0x0102, 0x0304}},
        {"1:2:3:4:5:6:7:8", {1, 2, 3, 4, 5, 6, 7, 8}},
        {"::2:3:4:5:6:7:8", {0, 2, 3, 4, 5, 6, 7, 8}},
        {"1:2:3:4:5:6:7::", {1, 2, 3, 4, 5, 6, 7, 0}},
        {"2001:DB8::FF00:42:8329", {0x2001, 0xdb8, 0, 0, 0, 0xff00, 0x42, 0x8329}},
        {"1:2:3:4:5:6:1.2.3.4", {1, 2, 3, 4, 5, 6, 0x0102, 0x0304}},
        {"fe80::1%lo", {0xfe80, 0, 0, 0, 0, 0, 0, 1}},
    };
    for (const auto& c : cases) EXPECT_EQ(Groups(Numeric6(c.text)), c.groups) << c.text;
}

TEST(Utility, MalformedIpv6TextIsRefused) {
    const struct {
        const char* name;
        std::string text;
    } cases[] = {
        {"a dotted tail after seven groups", "1:2:3:4:5:6:7:1.2.3.4"},
        {"two runs of zero groups", "1::2::3"},
        {"three colons", ":::"},
        {"many colons", "::::::::::::"},
        {"not hexadecimal", "a b"},
        {"nine groups", "1:2:3:4:5:6:7:8:9"},
        {"eleven groups", "1:2:3:4:5:6:7:8:9:a:b"},
        {"a run of zeros after eight groups", "1:2:3:4:5:6:7:8::9"},
        {"seven groups without a run of zeros", "1:2:3:4:5:6:7"},
        {"five digits", "12345::"},
        {"a lone leading colon", ":1::"},
        {"dotted only", "1.2.3.4"},
        {"dotted everywhere", "1.2.3.4:1.2.3.4:1.2.3.4:1.2.3.4:1.2.3.4"},
        {"empty", ""},
        {"a zero byte", std::string("::1\0junk", 8)},
        {"an empty scope", "fe80::1%"},
    };
    for (const auto& c : cases) {
        struct sockaddr_in6 sa {};
        sa.sin6_addr.s6_addr[0] = 0xee;
        EXPECT_FALSE(Utility::u2ip(c.text, sa, AI_NUMERICHOST)) << c.name;
        EXPECT_EQ(Groups(sa.sin6_addr), (std::array<unsigned, 8>{})) << c.name;
        struct in6_addr a {};
        EXPECT_FALSE(Utility::u2ip(c.text, a)) << c.name;
    }
}

TEST(Utility, AddressesToNumericTextAndBack) {
    const struct {
        const char* text;
        const char* numeric;
        const char* mixed;
    } cases[] = {
        {"::1", "::1", ":0.0.0.1"},
        {"::", "::", ":0.0.0.0"},
        {"fe80::1", "fe80::1", "fe80::0.0.0.1"},
        {"1::", "1::", "1::0.0.0.0"},
        {"1:0:2::", "1::2:0:0:0:0:0", "1::2:0:0:0:0.0.0.0"},
        {"::ffff:1.2.3.4", "::ffff:102:304", "ffff:1.2.3.4"},
        {"2001:db8::ff00:42:8329", "2001:db8::ff00:42:8329", "2001:db8::ff00:0.66.131.41"},
        {"1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8", "1:2:3:4:5:6:0.7.0.8"},
        {"0:1:2:3:4:5:6:7", "::1:2:3:4:5:6:7", "1:2:3:4:5:0.6.0.7"},
        {"1:2:3:4:5:6:7:0", "1:2:3:4:5:6:7::", "1:2:3:4:5:6:0.7.0.0"},
    };
    for (const auto& c : cases) {
        struct sockaddr_in6 sa {};
        Utility::u2ip(c.text, sa, AI_NUMERICHOST);
        const std::string numeric = ReverseNumeric(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa);
        EXPECT_EQ(numeric, c.numeric) << c.text;
        EXPECT_EQ(Groups(Numeric6(numeric)), Groups(sa.sin6_addr)) << c.text;
        std::string mixed;
        Utility::l2ip(sa.sin6_addr, mixed, true);
        EXPECT_EQ(mixed, c.mixed) << c.text;
    }

    struct sockaddr_in sa {};
    EXPECT_TRUE(Utility::u2ip("127.0.0.1", sa));
    EXPECT_EQ(ntohl(sa.sin_addr.s_addr), 0x7f000001u);
    EXPECT_EQ(ReverseNumeric(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa), "127.0.0.1");
    sa.sin_port = htons(8080);
    EXPECT_EQ(Utility::Sa2String(reinterpret_cast<struct sockaddr*>(&sa)), "127.0.0.1:8080");
    EXPECT_TRUE(Utility::u2ip("300.1.2.3", sa, AI_NUMERICHOST));
    std::string text;
    Utility::l2ip(sa.sin_addr, text);
    EXPECT_EQ(text, "44.1.2.3");

    struct sockaddr_in6 sa6 {};
    Utility::u2ip("::1", sa6);
    sa6.sin6_port = htons(443);
    EXPECT_EQ(Utility::Sa2String(reinterpret_cast<struct sockaddr*>(&sa6)), "[::1]:443");

    struct sockaddr other {};
    other.sa_family = AF_UNIX;
    std::string host = "stale";
    EXPECT_EQ(Utility::Sa2String(&other), "");
    EXPECT_FALSE(Utility::reverse(&other, sizeof other, host, NI_NUMERICHOST));
    EXPECT_EQ(host, "");
    // A structure too short for its family is not read.
    EXPECT_FALSE(Utility::reverse(reinterpret_cast<struct sockaddr*>(&sa6), sizeof(sockaddr_in), host,
                                  NI_NUMERICHOST));
}

TEST(Utility, NameLookupsInTheAddressFamily) {
    ipaddr_t ip = 1;
    EXPECT_TRUE(Utility::u2ip("localhost", ip));
    EXPECT_EQ(ntohl(static_cast<uint32_t>(ip)), 0x7f000001u);
    EXPECT_FALSE(Utility::u2ip("no-such-host.invalid", ip));
    EXPECT_EQ(ip, 0u);

    struct in6_addr a6 {};
    a6.s6_addr[0] = 1;
    EXPECT_FALSE(Utility::u2ip("no-such-host.invalid", a6));
    EXPECT_EQ(Groups(a6), (std::array<unsigned, 8>{}));

    char name[256] = {};
    ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
    EXPECT_EQ(Utility::GetLocalHostname(), name);
    EXPECT_TRUE(Utility::isipv4(Utility::GetLocalAddress()));
    std::string text;
    Utility::l2ip(Utility::GetLocalIP(), text);
    EXPECT_EQ(text, Utility::GetLocalAddress());
}

TEST(Utility, CompareIpv6Addresses) {
    const struct in6_addr one = Numeric6("::1");
    const struct in6_addr two = Numeric6("::2");
    const struct in6_addr high = Numeric6("ff00::");
    EXPECT_EQ(Utility::in6_addr_compare(one, one), 0);
    EXPECT_EQ(Utility::in6_addr_compare(one, two), -1);
    EXPECT_EQ(Utility::in6_addr_compare(high, two), 1);
}

TEST(Utility, UriParts) {
    const struct {
        const char* url;
        const char* protocol;
        const char* host;
        int port;
        const char* path;
        const char* uri;
        const char* query;
        const char* ext;
    } cases[] = {
        {"HTTP://host1:8080/a/b.cgi?x=1", "http", "host1", 8080, "/a/b.cgi?x=1", "/a/b.cgi", "x=1", "cgi"},
        {"https://h/x", "https", "h", 443, "/x", "/x", "", ""},
        {"ftp://h:21", "ftp", "h", 21, "ftp://h:21", "ftp://h:21", "", ""},
        {"/index.html?q=a.b", "", "", 0, "/index.html?q=a.b", "/index.html", "q=a.b", "html"},
        {"://x", "", "", 0, "://x", "://x", "", ""},
        {"http://[::1]:8080/x", "http", "::1", 8080, "/x", "/x", "", ""},
        {"http://[fe80::1%lo]/", "http", "fe80::1%lo", 80, "/", "/", "", ""},
        {"", "", "", 0, "", "", "", ""},
    };
    for (const auto& c : cases) {
        const Utility::Uri uri(c.url);
        EXPECT_EQ(uri.Url(), c.url);
        EXPECT_EQ(uri.Protocol(), c.protocol) << c.url;
        EXPECT_EQ(uri.Host(), c.host) << c.url;
        EXPECT_EQ(uri.Port(), c.port) << c.url;
        EXPECT_EQ(uri.Path(), c.path) << c.url;
        EXPECT_EQ(uri.UrlUri(), c.uri) << c.url;
        EXPECT_EQ(uri.QueryString(), c.query) << c.url;
        EXPECT_EQ(uri.Extension(), c.ext) << c.url;
    }
}

TEST(Utility, PathParts) {
    const Utility::Path file("no\\such\\dir/name.tar.gz");
    EXPECT_EQ(file.GetPath(), "no/such/dir/");
    EXPECT_EQ(file.GetFilename(), "name.tar.gz");
    EXPECT_EQ(file.GetExtension(), "gz");

    const Utility::Path folder("/tmp");
    EXPECT_EQ(folder.GetPath(), "/tmp");
    EXPECT_EQ(folder.GetFilename(), "");

    const Utility::Path bare("README");
    EXPECT_EQ(bare.GetPath(), "");
    EXPECT_EQ(bare.GetFilename(), "README");
    EXPECT_EQ(bare.GetExtension(), "");
}

TEST(Utility, RngGivesItsSeedingWordsThenRegenerates) {
    Utility::Rng rng(0x100000005ULL);
    std::array<uint64_t, 625> words{};
    words[0] = 5;
    for (int i = 1; i < 624; ++i) words[i] = 1812433253ULL * (words[i - 1] ^ (words[i - 1] >> 30)) + i;
    for (int i = 0; i < 624; ++i) ASSERT_EQ(rng.Get(), words[i]) << i;
    const uint64_t y = (words[0] & 0x80000000ULL) | (words[1] & 0x7ffffffeULL);
    EXPECT_EQ(rng.Get(), words[397] ^ (y >> 1) ^ ((words[1] & 1) ? 0x9908b0dfULL : 0));
}

TEST(Utility, CaseInsensitiveMapOrder) {
    std::map<std::string, int, Utility::ncmap_compare> headers;
    headers["Content-Length"] = 1;
    headers["content-length"] = 2;
    headers["Accept"] = 3;
    EXPECT_EQ(headers.size(), 2u);
    EXPECT_EQ(headers.begin()->first, "Accept");
    EXPECT_EQ(headers["CONTENT-LENGTH"], 2);
}

TEST(Utility, LogoIsAPng) {
    const std::string png = Utility::base64d(Utility::Logo);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(Utility::base64(png), Utility::Logo);
}

TEST(Utility, StreamWriterWritesNumbersAsText) {
    MemFile file;
    FileStream stream(file);
    StreamWriter writer(stream);
    writer << "a" << std::string("b") << static_cast<short>(-1) << 2 << 3L << 1.5;
    char text[32] = {};
    EXPECT_EQ(stream.IStreamRead(text, sizeof text - 1), 14u);
    EXPECT_STREQ(text, "ab-1231.500000");
}

TEST(Utility, ExceptionKeepsItsMessage) {
    const Exception e("socket() failed");
    EXPECT_EQ(e.ToString(), "socket() failed");
    EXPECT_EQ(e.Stack(), "Not available");
}
