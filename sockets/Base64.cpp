#include "sockets/Base64.h"

#include <algorithm>
#include <array>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr size_t kLineLength = 76;

// Indexed by any byte, so text from outside cannot reach past the table.
constexpr std::array<unsigned char, 256> kValues = [] {
    std::array<unsigned char, 256> values{};
    for (unsigned char i = 0; i < 64; ++i) values[static_cast<unsigned char>(kAlphabet[i])] = i;
    return values;
}();

unsigned Value(char c) {
    return kValues[static_cast<unsigned char>(c)];
}

bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// Decodes into `sink`, one byte at a time. A group is the next four characters that are not
// line breaks, wherever the breaks fall.
template <typename Sink>
void DecodeInto(const std::string& input, Sink&& sink) {
    size_t i = 0;
    const size_t n = input.size();
    while (i < n) {
        char c[4];
        size_t group = 0;
        for (; i < n && group < 4; ++i) {
            if (!IsLineBreak(input[i])) c[group++] = input[i];
        }
        if (group < 2) break;
        const unsigned a = Value(c[0]);
        const unsigned b = Value(c[1]);
        sink(static_cast<unsigned char>((a << 2) | (b >> 4)));
        if (group < 3 || c[2] == '=') continue;
        const unsigned cv = Value(c[2]);
        sink(static_cast<unsigned char>((b << 4) | (cv >> 2)));
        if (group < 4 || c[3] == '=') continue;
        sink(static_cast<unsigned char>((cv << 6) | Value(c[3])));
    }
}

}  // namespace

void Base64::encode(FILE* fil, std::string& out, bool add_crlf) {
    out.clear();
    std::string group;
    unsigned char input[3];
    size_t encoded = 0;
    size_t n;
    while ((n = fread(input, 1, 3, fil)) > 0) {
        encode(input, n, group, false);
        if (add_crlf && encoded > 0 && encoded % kLineLength == 0) out += '\n';
        out += group;
        encoded += group.size();
    }
}

void Base64::encode(const std::string& str, std::string& out, bool add_crlf) {
    encode(reinterpret_cast<const unsigned char*>(str.data()), str.size(), out, add_crlf);
}

void Base64::encode(const unsigned char* input, size_t length, std::string& out, bool add_crlf) {
    out.clear();
    out.reserve((length + 2) / 3 * 4 + (add_crlf ? length / 57 : 0));
    size_t encoded = 0;
    for (size_t i = 0; i < length; i += 3) {
        if (add_crlf && encoded > 0 && encoded % kLineLength == 0) out += '\n';
        const size_t left = length - i;
        const unsigned b0 = input[i];
        const unsigned b1 = left > 1 ? input[i + 1] : 0;
        const unsigned b2 = left > 2 ? input[i + 2] : 0;
        out += kAlphabet[b0 >> 2];
        out += kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
        out += left > 1 ? kAlphabet[((b1 & 0x0f) << 2) | (b2 >> 6)] : '=';
        out += left > 2 ? kAlphabet[b2 & 0x3f] : '=';
        encoded += 4;
    }
}

void Base64::decode(const std::string& input, std::string& out) {
    out.clear();
    out.reserve(input.size() / 4 * 3);
    DecodeInto(input, [&](unsigned char byte) { out += static_cast<char>(byte); });
}

void Base64::decode(const std::string& input, unsigned char* output, size_t& length) {
    length = 0;
    DecodeInto(input, [&](unsigned char byte) {
        if (output) output[length] = byte;
        ++length;
    });
}

size_t Base64::decode_length(const std::string& input) {
    size_t length = 0;
    DecodeInto(input, [&](unsigned char) { ++length; });
    return length;
}
