// Base64 text comes from mail and HTTP bodies: any text must decode inside its buffers, the
// lengths a null buffer and decode_length answer must be what decoding writes, and encoding must
// read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sockets/Base64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    std::string decoded;
    Base64::decode(input, decoded);
    size_t length = 0;
    Base64::decode(input, nullptr, length);
    if (length != decoded.size()) std::abort();
    std::vector<unsigned char> buffer(length);
    Base64::decode(input, buffer.data(), length);
    if (length != decoded.size() || std::string(buffer.begin(), buffer.end()) != decoded) std::abort();
    if (Base64::decode_length(input) != decoded.size()) std::abort();

    for (bool lines : {false, true}) {
        std::string encoded;
        Base64::encode(input, encoded, lines);
        std::string back;
        Base64::decode(encoded, back);
        if (back != input || Base64::decode_length(encoded) != input.size()) std::abort();
    }
    return 0;
}
