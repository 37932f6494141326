#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sys/un.h>

#include <memory>
#include <string>

#include "sockets/Ipv4Address.h"
#include "sockets/Ipv6Address.h"
#include "sockets/Utility.h"

TEST(Ipv4Address, FromTextNumbersAndStructures) {
    const struct {
        const char* host;
        port_t port;
        bool valid;
        const char* text;
    } cases[] = {
        {"10.0.0.1", 8080, true, "10.0.0.1:8080"},
        {"127.0.0.1", 0, true, "127.0.0.1:0"},
        {"localhost", 80, true, "127.0.0.1:80"},
        {"no-such-host.invalid", 80, false, "0.0.0.0:80"},
    };
    for (const auto& c : cases) {
        Ipv4Address address(c.host, c.port);
        EXPECT_EQ(address.IsValid(), c.valid) << c.host;
        EXPECT_EQ(address.Convert(true), c.text) << c.host;
        EXPECT_EQ(address.GetPort(), c.port);
        EXPECT_EQ(address.GetFamily(), AF_INET);
        EXPECT_EQ(static_cast<socklen_t>(address), sizeof(sockaddr_in));
    }

    Ipv4Address any;
    EXPECT_TRUE(any.IsValid());
    EXPECT_EQ(any.Convert(false), "0.0.0.0");
    Ipv4Address loopback(static_cast<ipaddr_t>(htonl(INADDR_LOOPBACK)), 443);
    EXPECT_EQ(loopback.Convert(true), "127.0.0.1:443");
    auto* sa = reinterpret_cast<sockaddr_in*>(static_cast<sockaddr*>(loopback));
    EXPECT_EQ(sa->sin_port, htons(443));

    in_addr a{};
    EXPECT_TRUE(Ipv4Address::Resolve("1.2.3.4", a));
    EXPECT_EQ(Ipv4Address::Convert(a), "1.2.3.4");
    EXPECT_FALSE(Ipv4Address::Resolve("no-such-host.invalid", a));
    EXPECT_EQ(a.s_addr, 0u);
    EXPECT_FALSE(Ipv4Address("127.0.0.1", 1).Reverse().empty());
}

TEST(Ipv6Address, FromTextAndConversions) {
    Ipv6Address loopback("::1", 443);
    EXPECT_TRUE(loopback.IsValid());
    EXPECT_EQ(loopback.Convert(false), "::1");
    EXPECT_EQ(loopback.Convert(true), "[::1]:443");
    EXPECT_EQ(loopback.GetFamily(), AF_INET6);
    EXPECT_EQ(static_cast<socklen_t>(loopback), sizeof(sockaddr_in6));

    Ipv6Address missing("no-such-host.invalid", 1);
    EXPECT_FALSE(missing.IsValid());
    EXPECT_EQ(missing.Convert(false), "::");

    in6_addr mapped{};
    ASSERT_TRUE(Ipv6Address::Resolve("::ffff:1.2.3.4", mapped));
    EXPECT_EQ(Ipv6Address::Convert(mapped, true), "ffff:1.2.3.4");
    EXPECT_EQ(Ipv6Address::Convert(mapped), "::ffff:102:304");
    Ipv6Address fromAddress(mapped, 7);
    EXPECT_EQ(fromAddress.Convert(true), "[::ffff:102:304]:7");
}

TEST(Ipv6Address, MalformedTextIsNoAddressAndAScopeIsKept) {
    for (const char* text : {"1:2:3:4:5:6:7:1.2.3.4", "1::2::3", ":::", "a b", "1:2:3:4:5:6:7:8:9",
                             "1:2:3:4:5:6:7", "", "1.2.3.4", "fe80::1%", "fe80::1%no-such-interface"}) {
        Ipv6Address address(text, 80);
        EXPECT_FALSE(address.IsValid()) << text;
        EXPECT_EQ(address.Convert(false), "::") << text;
        in6_addr a{};
        EXPECT_FALSE(Ipv6Address::Resolve(text, a)) << text;
    }
    const unsigned lo = if_nametoindex("lo");
    ASSERT_NE(lo, 0u);
    for (const char* text : {"fe80::1%lo", "fe80::1%1"}) {
        Ipv6Address scoped(text, 80);
        EXPECT_TRUE(scoped.IsValid()) << text;
        EXPECT_EQ(scoped.Convert(false), "fe80::1") << text;
        EXPECT_EQ(scoped.GetScopeId(), std::string(text).ends_with("lo") ? lo : 1u) << text;
    }
}

TEST(SocketAddress, EqualityComparesFamilyPortAndAddressOnly) {
    Ipv4Address a("10.0.0.1", 80);
    Ipv4Address sameA("10.0.0.1", 80);
    Ipv4Address otherPort("10.0.0.1", 81);
    Ipv4Address otherHost("10.0.0.2", 80);
    Ipv6Address six("::1", 80);
    Ipv6Address sameSix("::1", 80);
    sameSix.SetFlowinfo(9);
    sameSix.SetScopeId(3);
    Ipv6Address sixOtherPort("::1", 81);
    Ipv4Address zero4(80);
    Ipv6Address zero6(80);

    const struct {
        const char* name;
        SocketAddress& left;
        SocketAddress& right;
        bool equal;
    } cases[] = {
        {"same IPv4", a, sameA, true},
        {"other port", a, otherPort, false},
        {"other host", a, otherHost, false},
        {"flow and scope ignored", six, sameSix, true},
        {"IPv6 other port", six, sixOtherPort, false},
        {"IPv4 and IPv6 zero addresses", zero4, zero6, false},
        {"IPv6 and IPv4 zero addresses", zero6, zero4, false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.left == c.right, c.equal) << c.name;
}

TEST(SocketAddress, CopiesKeepEverythingAndCheckTheFamily) {
    sockaddr_in6 sa{};
    sa.sin6_family = AF_INET6;
    sa.sin6_port = htons(9000);
    sa.sin6_flowinfo = 5;
    sa.sin6_scope_id = 2;
    sa.sin6_addr.s6_addr[15] = 1;
    Ipv6Address six(sa);
    std::unique_ptr<SocketAddress> copy = six.GetCopy();
    EXPECT_TRUE(copy->IsValid());
    EXPECT_TRUE(*copy == six);
    auto* copied = reinterpret_cast<sockaddr_in6*>(static_cast<sockaddr*>(*copy));
    EXPECT_EQ(copied->sin6_flowinfo, 5u);
    EXPECT_EQ(copied->sin6_scope_id, 2u);

    sockaddr_in wrong{};
    wrong.sin_family = AF_INET6;
    Ipv4Address notFour(wrong);
    EXPECT_FALSE(notFour.IsValid());
    EXPECT_FALSE(notFour.GetCopy()->IsValid());

    // SetAddress copies the structure and leaves the validity alone.
    Ipv4Address target("no-such-host.invalid", 0);
    Ipv4Address source("10.1.2.3", 99);
    target.SetAddress(source);
    EXPECT_FALSE(target.IsValid());
    EXPECT_EQ(target.Convert(true), "10.1.2.3:99");
}

TEST(SocketAddress, CreateAddressByFamilyAndLength) {
    Ipv4Address four("127.0.0.1", 1);
    Ipv6Address six("::1", 2);
    sockaddr_un local{};
    local.sun_family = AF_UNIX;

    auto fromFour = Utility::CreateAddress(four, sizeof(sockaddr_in));
    ASSERT_NE(fromFour, nullptr);
    EXPECT_EQ(fromFour->Convert(true), "127.0.0.1:1");
    auto fromSix = Utility::CreateAddress(six, sizeof(sockaddr_in6));
    ASSERT_NE(fromSix, nullptr);
    EXPECT_EQ(fromSix->GetFamily(), AF_INET6);
    EXPECT_TRUE(*fromSix == six);

    EXPECT_EQ(Utility::CreateAddress(six, sizeof(sockaddr_in)), nullptr);
    EXPECT_EQ(Utility::CreateAddress(four, sizeof(sockaddr_in6)), nullptr);
    EXPECT_EQ(Utility::CreateAddress(reinterpret_cast<sockaddr*>(&local), sizeof local), nullptr);
}
