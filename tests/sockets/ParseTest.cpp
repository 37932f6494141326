#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sockets/Parse.h"

namespace {

std::vector<std::string> Words(Parse& parse) {
    std::vector<std::string> words;
    for (std::string w = parse.getword(); !w.empty() && words.size() < 20; w = parse.getword())
        words.push_back(w);
    return words;
}

}  // namespace

TEST(Parse, GetwordSplitsOnSpaceAndSplitCharacters) {
    using Words_t = std::vector<std::string>;
    const struct {
        const char* name;
        std::string text;
        std::string splits;
        Words_t words;
    } cases[] = {
        {"request line", "  GET /index.html HTTP/1.0", "", {"GET", "/index.html", "HTTP/1.0"}},
        {"empty fields skipped", "a::b", ":", {"a", "b"}},
        {"CR LF tab are space", "a\r\n\tb\n", "", {"a", "b"}},
        {"only separators", " :: \r\n", ":", {}},
        {"empty text", "", ":", {}},
        {"dotted address", "1.2.3.4", ".", {"1", "2", "3", "4"}},
        {"word ends at a zero byte", std::string("ab\0cd", 5), "", {"ab", "cd"}},
    };
    for (const auto& c : cases) {
        Parse parse(c.text, c.splits);
        EXPECT_EQ(Words(parse), c.words) << c.name;
        EXPECT_EQ(parse.getword(), "") << c.name;
    }
}

TEST(Parse, NoSpaceModeKeepsSpacesInWords) {
    Parse parse("a b;;c d;", ";", 0);
    EXPECT_EQ(Words(parse), (std::vector<std::string>{"a b", "c d"}));

    Parse broken("k=v w", "", 0);
    broken.setbreak('=');
    EXPECT_EQ(broken.getword(), "k");
    EXPECT_EQ(broken.getword(), "v w");
}

TEST(Parse, GetvalueReadsLeadingDigits) {
    Parse parse("192.168.1.20", ".");
    std::vector<long> values;
    for (int i = 0; i < 5; ++i) values.push_back(parse.getvalue());
    EXPECT_EQ(values, (std::vector<long>{192, 168, 1, 20, 0}));

    Parse mixed("12ab -7 x");
    EXPECT_EQ(mixed.getvalue(), 12);
    EXPECT_EQ(mixed.getvalue(), -7);
    EXPECT_EQ(mixed.getvalue(), 0);
}

TEST(Parse, GetrestAfterAWord) {
    Parse parse("Name:   value text\r\n");
    EXPECT_EQ(parse.getwordlen(), 5);
    EXPECT_EQ(parse.getword(), "Name:");
    EXPECT_EQ(parse.getrestlen(), 12);
    EXPECT_EQ(parse.getrest(), "value text\r\n");
    // The position stays at the rest, so the words are still there.
    EXPECT_EQ(parse.getword(), "value");

    Parse splits("a;; ;rest", ";");
    splits.getword();
    EXPECT_EQ(splits.getrest(), "rest");
}

TEST(Parse, GetlineEndsAtCrLfCrOrLf) {
    Parse parse("one\r\ntwo\nthree\rfour");
    std::vector<std::string> lines;
    for (int i = 0; i < 5; ++i) lines.push_back(parse.getline());
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "three", "four", ""}));

    Parse blank("\r\n\nx");
    EXPECT_EQ(blank.getline(), "");
    EXPECT_EQ(blank.getline(), "");
    EXPECT_EQ(blank.getline(), "x");
}

TEST(Parse, GetsplitReturnsEqualsSignsAlone) {
    Parse parse("name=value&b", "&");
    std::vector<std::string> words;
    for (int i = 0; i < 6; ++i) words.push_back(parse.getsplit());
    EXPECT_EQ(words, (std::vector<std::string>{"name", "=", "value", "b", "", ""}));
}

TEST(Parse, GetwordPadsOnTheLeft) {
    const struct {
        const char* name;
        std::string fill;
        int width;
        std::string padded;
    } cases[] = {
        {"pad to width", "0", 5, "00042"},
        {"word already wide", "0", 2, "42"},
        {"fill of two overshoots", "ab", 5, "abab42"},
        {"empty fill pads nothing", "", 5, "42"},
        {"negative width", "0", -3, "42"},
    };
    for (const auto& c : cases) {
        Parse parse("42");
        std::string word;
        parse.getword(word, c.fill, c.width);
        EXPECT_EQ(word, c.padded) << c.name;
    }
}
