#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sockets/Base64.h"

namespace {

std::string Bytes(size_t n) {
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 37 + 11);
    return s;
}

std::string Encode(const std::string& bytes, bool lines) {
    std::string out = "stale";
    Base64::encode(bytes, out, lines);
    return out;
}

std::string Decode(const std::string& text) {
    std::string out = "stale";
    Base64::decode(text, out);
    return out;
}

}  // namespace

TEST(Base64, EncodesGroupsWithPadding) {
    const struct {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"", ""},        {"a", "YQ=="},        {"ab", "YWI="},
        {"abc", "YWJj"}, {"\xff\xfe", "//4="}, {std::string(3, 0), "AAAA"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Encode(c.bytes, true), c.text);
        EXPECT_EQ(Decode(c.text), c.bytes) << c.text;
        EXPECT_EQ(Base64::decode_length(c.text), c.bytes.size()) << c.text;
    }
}

TEST(Base64, BreaksLinesEvery76EncodedCharacters) {
    for (size_t n : {56u, 57u, 58u, 171u, 172u, 1000u}) {
        const std::string text = Encode(Bytes(n), true);
        size_t start = 0;
        size_t lines = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1, ++lines) {
            EXPECT_EQ(end - start, 76u) << n << " bytes, line " << lines;
        }
        EXPECT_GT(text.size() - start, 0u) << n;
        EXPECT_LE(text.size() - start, 76u) << n;
        EXPECT_EQ(lines, (n - 1) / 57) << n;
        EXPECT_EQ(Decode(text), Bytes(n)) << n;
        EXPECT_EQ(Base64::decode_length(text), n) << n;
        EXPECT_EQ(Encode(Bytes(n), false).find('\n'), std::string::npos);
    }
}

TEST(Base64, FileEncodingMatchesMemoryEncoding) {
    const std::string bytes = Bytes(200);
    FILE* file = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
    ASSERT_NE(file, nullptr);
    std::string out;
    Base64::encode(file, out, true);
    fclose(file);
    EXPECT_EQ(out, Encode(bytes, true));
}

TEST(Base64, DecodesUntidyText) {
    const struct {
        const char* name;
        std::string text;
        std::string bytes;
    } cases[] = {
        {"CR LF between groups", "YWJj\r\nYWJj\n", "abcabc"},
        {"CR LF inside a group", "QU\r\nJD", "ABC"},
        {"line breaks inside every group", "Y\nW\r\nJ\njY\rW\nJj", "abcabc"},
        {"blank lines before a short group", "AAAA\r\n\r\nAA", std::string(4, 0)},
        {"short last group of three", "YWJjYWI", "abcab"},
        {"short last group of two", "YQ", "a"},
        {"lone last character", "YWJjY", "abc"},
        {"characters outside the alphabet are 0", "*A==", std::string(1, 0)},
        {"bytes above 0x7f are 0", "\xc3\xa9\xff\x80", std::string(3, 0)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Decode(c.text), c.bytes) << c.name;
        size_t length = 99;
        Base64::decode(c.text, nullptr, length);
        EXPECT_EQ(length, c.bytes.size()) << c.name;
        std::string buffer(length, '#');
        Base64::decode(c.text, reinterpret_cast<unsigned char*>(buffer.data()), length);
        EXPECT_EQ(buffer, c.bytes) << c.name;
    }
}

TEST(Base64, DecodeLengthIsWhatDecodingWrites) {
    const struct {
        std::string text;
        size_t length;
    } cases[] = {
        {"", 0},         {"YQ==", 1},           {"YWI=", 2},       {"YWJj", 3},
        {"YWJ", 2},      {"YWJjYQ==\r\n", 4},   {"YWJj\nYWJj", 6}, {"\r\n", 0},
        {"QU\r\nJD", 3}, {"AAAA\r\n\r\nAA", 4}, {"YQ==YWJj", 4},   {"Y", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64::decode_length(c.text), c.length) << c.text;
        EXPECT_EQ(Decode(c.text).size(), c.length) << c.text;
    }
}
