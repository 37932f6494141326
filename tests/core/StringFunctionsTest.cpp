#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/UStringFunctions.h"

TEST(URIEscapeStr, EscapesWhatIsNotKept) {
    struct Case {
        const char* name;
        const char* source;
        const char* keep;
        const char* expected;
    };
    const Case cases[] = {
        {"blank escaped", "a b", nullptr, "a%20b"},
        {"blank kept", "a b", " ", "a b"},
        {"high byte", "\x80", nullptr, "%80"},
        {"latin-1 e acute", "\xE9", nullptr, "%E9"},
        {"unreserved pass", "@!'()*-._~", nullptr, "@!'()*-._~"},
        {"feedback keep text", "a#b;c\\d/e:f\rg&h", " #-@.;\\/:\r", "a#b;c\\d/e:f\rg%26h"},
        {"empty", "", nullptr, ""},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, 'Z', sizeof out);
        URIEscapeStr(c.source, out, sizeof out, c.keep);
        EXPECT_STREQ(out, c.expected) << c.name;
    }
}

// In a single-byte locale that calls 0xE9 a letter, it is still escaped.
TEST(URIEscapeStr, KeepsOnlyAsciiLettersAndDigitsWhateverTheLocale) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("uri-locale-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string build =
        "localedef -c -i fr_FR -f ISO-8859-1 '" + (dir / "fr_FR.ISO-8859-1").string() + "' >/dev/null 2>&1";
    const bool built = std::system(build.c_str()) == 0;
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    // glibc looks locales up by name under LOCPATH.
    ::setenv("LOCPATH", dir.c_str(), 1);
    const bool switched = built && std::setlocale(LC_CTYPE, "fr_FR.ISO-8859-1") != nullptr;
    ::unsetenv("LOCPATH");
    if (!switched) {
        std::filesystem::remove_all(dir);
        GTEST_SKIP() << "no single-byte locale could be made here";
    }
    EXPECT_TRUE(std::isalnum(0xE9)) << "the locale calls it a letter";
    char out[64];
    URIEscapeStr("a\xE9\xC0z9", out, sizeof out, nullptr);
    std::setlocale(LC_CTYPE, before.c_str());
    std::filesystem::remove_all(dir);
    EXPECT_STREQ(out, "a%E9%C0z9");
}

TEST(URIEscapeStr, StaysInsideItsDestination) {
    // The feedback form's worst case: 65534 bytes that all escape, into a 0x20000-byte block.
    const std::string text(65534, '&');
    std::vector<char> block(0x20000 + 16, 'Z');
    const size_t consumed = URIEscapeStr(text.c_str(), block.data(), 0x20000, nullptr);
    const size_t written = std::strlen(block.data());
    EXPECT_EQ(written % 3, 0u) << "an escape is never cut";
    EXPECT_LE(written, 0x20000u - 1);
    EXPECT_EQ(consumed, written / 3);
    EXPECT_EQ(block[0x20000], 'Z') << "nothing written past the block";

    char tiny[5];
    EXPECT_EQ(URIEscapeStr("a&b", tiny, sizeof tiny, nullptr), 2u);
    EXPECT_STREQ(tiny, "a%26");
    EXPECT_EQ(URIEscapeStr("a b", tiny, 3, nullptr), 1u);
    EXPECT_STREQ(tiny, "a") << "stops before an escape that would not fit";
    char one[1] = {'Z'};
    URIEscapeStr("abc", one, 1, nullptr);
    EXPECT_EQ(one[0], 0);
    EXPECT_EQ(URIEscapeStr(nullptr, tiny, sizeof tiny, nullptr), 0u);
    EXPECT_STREQ(tiny, "");
}

TEST(CStringHelpers, QuotedLinesAndSmallTests) {
    EXPECT_TRUE(IsQuotedLine(")x", 0));
    EXPECT_FALSE(IsQuotedLine(")x", 1));
    EXPECT_TRUE(IsQuotedLine("> x", 1));
    EXPECT_FALSE(IsQuotedLine(nullptr, 0));
    EXPECT_FALSE(IsQuotedLine("x", 0));

    const char* text = "Hello World";
    EXPECT_EQ(CIstrstr(text, "WORLD"), text + 6);
    EXPECT_EQ(CIstrstr(text, ""), text);
    EXPECT_EQ(CIstrstr(text, "xyz"), nullptr);
    EXPECT_EQ(stricmp("ABC", "abc"), 0);
    EXPECT_GT(stricmp("\xE9", "a"), 0) << "unsigned bytes";
    EXPECT_EQ(strnicmp("abcX", "ABCy", 3), 0);
    EXPECT_EQ(HashString("ab"), 'a' * 1 + 'b' * 2);
    EXPECT_EQ(HashString(nullptr), 0);
    const char* abc = "abc";
    EXPECT_EQ(strnchr(abc, 'c', 2), nullptr);
    EXPECT_EQ(strnchr(abc, 0, 10), abc + 3);

    char longText[] = "abcdefghij";
    EXPECT_TRUE(TruncateString(longText, 7));
    EXPECT_STREQ(longText, "abc\xC9hij");
    char html[16] = "a<b&c";
    SanitizeStringForHTML(html, sizeof html);
    EXPECT_STREQ(html, "a&lt;b&amp;c");
    char cut[8] = "a<b";
    SanitizeStringForHTML(cut, sizeof cut);
    EXPECT_STREQ(cut, "a&lt;b");
    char tight[5] = "a<b";
    SanitizeStringForHTML(tight, sizeof tight);
    EXPECT_STREQ(tight, "a") << "an entity that would not fit ends the text";
}

TEST(CStringHelpers, FormatByteCount) {
    struct Case {
        UInt64 count;
        const char* expected;
    };
    const Case cases[] = {
        {0, "0 B"},
        {999, "999 B"},
        {1000, "1.0 kB"},
        {1250, "1.2 kB"},
        {1350, "1.4 kB"},
        {9949, "9.9 kB"},
        {9950, "10 kB"},
        {12500, "12 kB"},
        {13500, "14 kB"},
        {999499, "999 kB"},
        {999500, "1.0 MB"},
        {1500000000, "1.5 GB"},
        {UINT64_MAX, "18 EB"},
    };
    for (const Case& c : cases) {
        char buffer[7];
        formatByteCount(buffer, c.count);
        EXPECT_STREQ(buffer, c.expected) << c.count;
    }
}

TEST(CStringHelpers, Base64RoundTripsInPlaceAndRejectsBadInput) {
    struct Case {
        const char* plain;
        const char* encoded;
    };
    const Case cases[] = {{"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}};
    for (const Case& c : cases) {
        char buffer[32] = {};
        std::strcpy(buffer, c.plain);
        ASSERT_TRUE(base64enc(buffer, std::strlen(c.plain), buffer, sizeof buffer)) << c.plain;
        EXPECT_STREQ(buffer, c.encoded) << c.plain;
        size_t length = 99;
        ASSERT_TRUE(base64dec(buffer, std::strlen(buffer), reinterpret_cast<unsigned char*>(buffer), length));
        EXPECT_EQ(std::string(buffer, length), c.plain);
    }
    char small[4];
    EXPECT_FALSE(base64enc("foo", 3, small, sizeof small)) << "no room for the NUL";
    for (const char* bad : {"Zm9v!", "Z===", "Zg==Zg==", "=Zg=", "Z"}) {
        unsigned char out[16];
        size_t length = 99;
        EXPECT_FALSE(base64dec(bad, std::strlen(bad), out, length)) << bad;
        EXPECT_EQ(length, 0u) << bad;
    }
}

TEST(CStringHelpers, CramMD5IsHmacMD5) {
    const char* key = "Jefe";
    const char* text = "what do ya want for nothing?";
    unsigned char digest[16];
    cram_md5(reinterpret_cast<const unsigned char*>(key), 4, reinterpret_cast<const unsigned char*>(text),
             std::strlen(text), digest);
    const unsigned char expected[16] = {0x75, 0x0c, 0x78, 0x3e, 0x6a, 0xb0, 0xb5, 0x03,
                                        0xea, 0xa8, 0x6e, 0x31, 0x0a, 0x5d, 0xb7, 0x38};
    EXPECT_EQ(std::memcmp(digest, expected, 16), 0);
    EXPECT_THROW(cram_md5(nullptr, 0, digest, 1, digest), int);
}

TEST(CStringHelpers, ConvertsCharacterReferences) {
    char text[] = "a&amp;b&eacute;&#65;&#x42;&bogus;&#300;&";
    Convert_Physical_Entities(text);
    EXPECT_STREQ(text,
                 "a&b\xE9"
                 "AB&bogus;&#300;&");
}
