// Address texts come from peers, URLs and headers: any bytes must give an address without reading
// or writing outside it, and the numeric text of an address must read back as that address.
#include <netdb.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sockets/Ipv6Address.h"
#include "sockets/Parse.h"
#include "sockets/Utility.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    (void)Utility::isipv4(text);
    (void)Utility::isipv6(text);

    // Numeric only: the fuzzer must never ask a name server.
    struct sockaddr_in sa {};
    Utility::u2ip(text, sa, AI_NUMERICHOST);
    std::string back;
    Utility::reverse(reinterpret_cast<struct sockaddr*>(&sa), sizeof sa, back, NI_NUMERICHOST);

    struct sockaddr_in6 sa6 {};
    Utility::u2ip(text, sa6, AI_NUMERICHOST);
    Utility::reverse(reinterpret_cast<struct sockaddr*>(&sa6), sizeof sa6, back, NI_NUMERICHOST);
    struct sockaddr_in6 again {};
    Utility::u2ip(back, again, AI_NUMERICHOST);
    if (std::memcmp(&again.sin6_addr, &sa6.sin6_addr, sizeof again.sin6_addr) != 0) std::abort();
    (void)Ipv6Address::Convert(sa6.sin6_addr, true);
    (void)Utility::Uri(text);

    Parse parse(text, ":.");
    for (int i = 0; i < 64 && parse.getwordlen() > 0; ++i) {
        std::string word;
        parse.getword(word, i % 2 ? "0" : "", i);
        (void)parse.getsplit();
        (void)parse.getline();
    }
    (void)parse.getrest();
    return 0;
}
