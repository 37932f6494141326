#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "platform/Foundation/InternetDateParser.h"

namespace {

using namespace std::chrono;

TEST(DateFormat, RefusesUnknownLettersAndOpenQuotes) {
    for (const char* pattern : {"yyyy-MM-dd QQ", "'T", "HH:mm:ss a"}) {
        EXPECT_FALSE(DateFormat::compile(pattern)) << pattern;
    }
}

TEST(DateFormat, PatternLanguage) {
    struct Case {
        const char* pattern;
        const char* text;
        std::optional<int64_t> secondsSince1970;
    };
    const Case cases[] = {
        {"yyyyMMddHHmmss", "20030610040000", 1055217600},  // abutting fields take their widths
        {"yyyyMMddHHmmss", "200306100400", std::nullopt},
        {"d MMM yyyy HH:mm", "10 \t Jun 2003 04:00", 1055217600},
        {"d MMM yyyy HH:mm", "10Jun 2003 04:00", std::nullopt},
        {"'at' HH 'o''clock' d/M/yyyy", "at 04 o'clock 10/6/2003", 1055217600},
        {"EEE d.M.yyyy H:m", "sun 10.6.2003 4:0", 1055217600},  // the weekday is not checked
        {"d MMM yyyy HH:mm ZZZ", "10 Jun 2003 06:00 +02", 1055217600},
        {"d MMM yyyy HH:mm ZZZ", "10 Jun 2003 04:00 Z", std::nullopt},
        {"d MMM yyyy HH:mm ZZZ", "10 Jun 2003 04:00 +02:00", std::nullopt},
        {"d MMM yyyy HH:mm zzz", "10 Jun 2003 06:00 GMT+2", 1055217600},
        {"d MMM yyyy HH:mm zzz", "10 Jun 2003 06:00 GMT+0200", 1055217600},
        {"d MMM yyyy HH:mm zzz", "9 Jun 2003 21:00 PDT", 1055217600},
        {"d MMM yyyy HH:mm zzz", "10 Jun 2003 04:00 GMT+", std::nullopt},
        {"d MMM yyyy", "10 Jun 0003", -62058700800},  // four digits are taken literally
    };
    for (const Case& c : cases) {
        const auto format = DateFormat::compile(c.pattern);
        ASSERT_TRUE(format) << c.pattern;
        const auto date = format->parse(c.text);
        if (!c.secondsSince1970) {
            EXPECT_EQ(date, std::nullopt) << c.pattern << " / " << c.text;
        } else {
            EXPECT_EQ(date, InternetDate{seconds{*c.secondsSince1970}}) << c.pattern << " / " << c.text;
        }
    }
}

}  // namespace
