// Base64 text (the RFC 4648 alphabet with "=" padding), optionally broken into lines of 76
// characters.
#pragma once

#include <cstdio>
#include <string>

class Base64 {
public:
    // `out` is replaced. With `add_crlf` a "\n" goes before each group once 76, 152, ...
    // characters have been encoded.
    static void encode(FILE* fil, std::string& out, bool add_crlf = true);
    static void encode(const std::string& str, std::string& out, bool add_crlf = true);
    static void encode(const unsigned char* input, size_t length, std::string& out, bool add_crlf = true);

    // `out` is replaced. CR and LF are skipped wherever they stand; characters outside the
    // alphabet count as 0; a short last group gives the bytes its characters hold.
    static void decode(const std::string& input, std::string& out);
    // With a null `output` only `length` is computed; otherwise `output` must hold that many bytes.
    static void decode(const std::string& input, unsigned char* output, size_t& length);

    // The number of bytes decode writes for the text, so a buffer of that size always holds them.
    static size_t decode_length(const std::string& input);
};
