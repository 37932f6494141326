#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "Source/InternetDateTime.h"

namespace {

using namespace std::chrono;

InternetDate at(int64_t secondsSince1970, int64_t ms = 0) {
    return InternetDate{seconds{secondsSince1970} + milliseconds{ms}};
}

struct DateCase {
    const char* text;
    std::optional<InternetDate> expected;
};

const std::optional<InternetDate> kNone;

TEST(InternetDateTime, RFC822) {
    const DateCase cases[] = {
        {"Tue, 10 Jun 2003 04:00:00 GMT", at(1055217600)},
        {"10 Jun 2003 04:00", at(1055217600)},
        {"Tue, 10 Jun 2003 04:00 GMT", at(1055217600)},
        {"10 Jun 2003 04:00:00 GMT", at(1055217600)},
        {"Tue, 10 Jun 2003 04:00", at(1055217600)},
        {"tue, 10 jun 2003 04:00:00 gmt", at(1055217600)},
        {"Tuesday,  10 June 2003 04:00:00 Z", at(1055217600)},
        {"Sat, 07 Sep 2002 00:00:01 UT", at(1031356801)},
        {"Sat, 7 Sep 2002 00:00:01 UTC", at(1031356801)},
        {"Mon, 2 Jan 2006 15:04:05 EST", at(1136232245)},
        {"Mon, 2 Jan 2006 15:04:05 PDT", at(1136239445)},
        {"Mon, 2 Jan 2006 15:04:05 -0700", at(1136239445)},
        {"Mon, 2 Jan 2006 15:04:05 +0530", at(1136194445)},
        {"Mon, 2 Jan 2006 15:04:05 GMT+01:00", at(1136210645)},
        {"Mon, 2 Jan 06 20:04:05 GMT", at(1136232245)},
        {"2 Jan 99 15:04:05 GMT", at(915289445)},
        {"2 Jan 79 15:04:05 GMT", at(3439897445)},
        {"1 Jan 80 00:00:00 GMT", at(315532800)},
        // Before the first instant of 1980 in UTC: the hundred years run on to 2079.
        {"1 Jan 80 00:30:00 +0100", at(3471291000)},
        {"Fri, 29 Feb 2008 12:00:00 GMT", at(1204286400)},
        {"", kNone},
        {"Tue, 10 Jun 2003", kNone},
        {"Tue 10 Jun 2003 04:00:00 GMT", kNone},
        {"Tue, 10 Foo 2003 04:00:00 GMT", kNone},
        {"Thu, 29 Feb 2007 12:00:00 GMT", kNone},
        {"Tue, 10 Jun 2003 24:00:00 GMT", kNone},
        {"Tue, 10 Jun 2003 04:00:60 GMT", kNone},
        {"Tue, 10 Jun 2003 04:00:00 XYZ", kNone},
        {"Tue, 10 Jun 2003 04:00:00 +2400", kNone},
        {"10 Jun 2003 04:00:00 GMT and more", kNone},
        {"2003-06-10T04:00:00Z", kNone},
    };
    for (const DateCase& c : cases) {
        EXPECT_EQ(InternetDateTime::dateFromRFC822String(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(InternetDateTime, RFC3339) {
    const DateCase cases[] = {
        {"2003-06-10T04:00:00Z", at(1055217600)},
        {"2003-06-10t04:00:00z", at(1055217600)},
        {"2003-06-10T04:00:00", at(1055217600)},
        {"2003-06-10T04:00:00.123Z", at(1055217600, 123)},
        {"2003-06-10T04:00:00.5Z", at(1055217600, 500)},
        {"2003-06-10T04:00:00+02:00", at(1055210400)},
        {"2003-06-10T04:00:00+0200", at(1055210400)},
        {"2003-06-10T04:00:00.123456-05:00", at(1055235600, 123)},
        {"2003-06-10T04:00:00-00:00", at(1055217600)},
        {"2003-06-10 04:00:00Z", kNone},
        {"2003-06-10T04:00Z", kNone},
        {"2003-13-10T04:00:00Z", kNone},
        {"2003-06-10T04:00:00.Z", kNone},
        {"2003-06-10T04:00:00+02:00 ", kNone},
        {"Tue, 10 Jun 2003 04:00:00 GMT", kNone},
    };
    for (const DateCase& c : cases) {
        EXPECT_EQ(InternetDateTime::dateFromRFC3339String(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(InternetDateTime, HintChoosesTheFirstFormatAndTheOtherFollows) {
    struct Case {
        const char* name;
        std::optional<std::string_view> text;
        DateFormatHint hint;
        std::optional<InternetDate> expected;
    };
    const Case cases[] = {
        {"missing text", std::nullopt, DateFormatHint::RFC822, kNone},
        {"RFC 3339 hinted", "2003-06-10T04:00:00Z", DateFormatHint::RFC3339, at(1055217600)},
        {"RFC 3339 under another hint", "2003-06-10T04:00:00Z", DateFormatHint::None, at(1055217600)},
        {"RFC 822 under the RFC 3339 hint", "10 Jun 2003 04:00", DateFormatHint::RFC3339, at(1055217600)},
        {"neither", "yesterday", DateFormatHint::RFC822, kNone},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InternetDateTime::dateFromInternetDateTimeString(c.text, c.hint), c.expected) << c.name;
    }
}

TEST(InternetDateTime, ParsesFromSeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> right(4, 0);
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&right, i] {
            for (int n = 0; n < 200; ++n) {
                right[i] +=
                    InternetDateTime::dateFromRFC822String("Tue, 10 Jun 2003 04:00:00 GMT") == at(1055217600);
                right[i] +=
                    InternetDateTime::dateFromRFC3339String("2003-06-10T06:00:00+02:00") == at(1055217600);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int count : right) EXPECT_EQ(count, 400);
}

}  // namespace
