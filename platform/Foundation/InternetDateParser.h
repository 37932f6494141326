// Parsing of internet date texts (RFC 822 and RFC 3339) into instants.
//
// The parser reads its own small date-format pattern language, independent of the C library's
// locale: English month and weekday names, the proleptic Gregorian calendar, times in UTC unless the text
// names a zone. Two-digit years fall in the hundred years from 1 January 1980 00:00:00 UTC.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An instant, in milliseconds since 1970 (UTC).
using InternetDate = std::chrono::sys_time<std::chrono::milliseconds>;

// A compiled date-format pattern. Pattern letters: E weekday name (ignored for the date), d day,
// M month (MMM and longer: English name, full or abbreviated), y year, H hour 0-23, m minute,
// s second, S fractional second (any number of digits, kept to the millisecond), z zone name
// ("GMT", "UTC", "UT" with an optional offset, the US zones, "Z") or numeric offset, Z numeric
// offset (+hh or +hhmm). Text in single quotes is literal ('' is a quote); other characters are
// literal, and a space matches one or more spaces or tabs. A value is immutable and safe to use
// from any thread.
class DateFormat {
public:
    // nullopt for an unknown pattern letter or an unterminated quote.
    static std::optional<DateFormat> compile(std::string_view pattern);

    // The instant the whole text denotes; nullopt when the text does not fit the pattern entirely
    // or names a date or time that does not exist.
    std::optional<InternetDate> parse(std::string_view text) const;

private:
    enum class Kind {
        Literal,
        Space,
        Weekday,
        Day,
        Month,
        MonthName,
        Year,
        Hour,
        Minute,
        Second,
        Fraction,
        Zone,
        Offset
    };
    struct Element {
        Kind kind;
        std::string literal;
        int count{0};  // digits a numeric field may take; 0 for as many as there are
    };
    static bool isNumeric(Kind kind);

    std::vector<Element> mElements;
};

// Which format a text most likely has: RFC 3339 is tried first for RFC3339, RFC 822 otherwise.
enum class DateFormatHint : int { None = 0, RFC822 = 1, RFC3339 = 2 };

// The internet date formats. All operations may be called from any thread.
class InternetDateParser {
public:
    static const InternetDateParser& shared();

    InternetDateParser(const InternetDateParser&) = delete;
    InternetDateParser& operator=(const InternetDateParser&) = delete;

    // Tries the hinted format, then the other; nullopt for a missing text.
    std::optional<InternetDate> dateFromInternetDateTimeString(std::optional<std::string_view> text,
                                                               DateFormatHint hint) const;
    // "Tue, 10 Jun 2003 04:00:00 GMT" and its forms without weekday, seconds or zone.
    std::optional<InternetDate> dateFromRFC822String(std::string_view text) const;
    // "2003-06-10T04:00:00Z", with optional fractional seconds and a numeric zone.
    std::optional<InternetDate> dateFromRFC3339String(std::string_view text) const;

private:
    InternetDateParser();

    std::vector<DateFormat> mRFC822WithWeekday;
    std::vector<DateFormat> mRFC822;
    std::vector<DateFormat> mRFC3339;
};
