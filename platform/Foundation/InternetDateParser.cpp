#include "platform/Foundation/InternetDateParser.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

using namespace std::chrono;

constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
constexpr char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCased(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = upper(c);
    return result;
}

constexpr std::array<std::string_view, 7> kWeekdays = {"MONDAY", "TUESDAY",  "WEDNESDAY", "THURSDAY",
                                                       "FRIDAY", "SATURDAY", "SUNDAY"};
constexpr std::array<std::string_view, 12> kMonths = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                                                      "MAY",       "JUNE",     "JULY",     "AUGUST",
                                                      "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};

struct ZoneName {
    std::string_view name;
    int minutesEast;
};
constexpr ZoneName kZoneNames[] = {
    {"EST", -5 * 60}, {"EDT", -4 * 60}, {"CST", -6 * 60}, {"CDT", -5 * 60},
    {"MST", -7 * 60}, {"MDT", -6 * 60}, {"PST", -8 * 60}, {"PDT", -7 * 60},
};
// Names of UTC itself; longer first, so that "UTC" is not read as "UT".
constexpr std::string_view kUniversalNames[] = {"UTC", "GMT", "UT"};

// 1 January 1980 00:00:00 UTC: two-digit years land in the hundred years from here.
constexpr sys_days kTwoDigitYearStart = sys_days{year{1980} / January / 1};

// Reads the text left to right.
class Cursor {
public:
    explicit Cursor(std::string_view text) : mText(text) {}

    bool atEnd() const { return mPos == mText.size(); }
    char peek() const { return atEnd() ? '\0' : mText[mPos]; }

    bool skip(char c) {
        if (peek() != c) return false;
        ++mPos;
        return true;
    }

    // Case-insensitive.
    bool skipWord(std::string_view word) {
        if (mText.size() - mPos < word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i) {
            if (upper(mText[mPos + i]) != word[i]) return false;
        }
        mPos += word.size();
        return true;
    }

    bool skipBlanks() {
        const size_t start = mPos;
        while (!atEnd() && isBlank(mText[mPos])) ++mPos;
        return mPos > start;
    }

    // At least one and at most maxDigits digits; digitsRead tells how many there were.
    std::optional<int64_t> number(int maxDigits, int* digitsRead = nullptr) {
        int64_t value = 0;
        int digits = 0;
        while (digits < maxDigits && isDigit(peek())) {
            value = value * 10 + (mText[mPos++] - '0');
            ++digits;
        }
        if (digitsRead) *digitsRead = digits;
        if (digits == 0) return std::nullopt;
        return value;
    }

    // The index of the first name that matches in full or by its first three letters.
    template <size_t N>
    std::optional<int> name(const std::array<std::string_view, N>& names) {
        for (size_t i = 0; i < N; ++i) {
            if (skipWord(names[i])) return static_cast<int>(i);
        }
        for (size_t i = 0; i < N; ++i) {
            if (skipWord(names[i].substr(0, 3))) return static_cast<int>(i);
        }
        return std::nullopt;
    }

private:
    std::string_view mText;
    size_t mPos{0};
};

// "+hh" or "+hhmm" (and "-"), as minutes east of UTC.
std::optional<int> numericOffset(Cursor& in) {
    int sign;
    if (in.skip('+')) {
        sign = 1;
    } else if (in.skip('-')) {
        sign = -1;
    } else {
        return std::nullopt;
    }
    int digits = 0;
    const auto hours = in.number(2, &digits);
    if (!hours || digits != 2 || *hours > 23) return std::nullopt;
    int64_t minutes = 0;
    if (isDigit(in.peek())) {
        const auto m = in.number(2, &digits);
        if (!m || digits != 2 || *m > 59) return std::nullopt;
        minutes = *m;
    }
    return sign * static_cast<int>(*hours * 60 + minutes);
}

// After "GMT": nothing, or "+h", "+hh", "+hh:mm", "+hhmm".
std::optional<int> universalOffset(Cursor& in) {
    int sign;
    if (in.skip('+')) {
        sign = 1;
    } else if (in.skip('-')) {
        sign = -1;
    } else {
        return 0;
    }
    int digits = 0;
    const auto hours = in.number(2, &digits);
    if (!hours || *hours > 23) return std::nullopt;
    int64_t minutes = 0;
    const bool colon = in.skip(':');
    if (colon || (digits == 2 && isDigit(in.peek()))) {
        const auto m = in.number(2, &digits);
        if (!m || digits != 2 || *m > 59) return std::nullopt;
        minutes = *m;
    }
    return sign * static_cast<int>(*hours * 60 + minutes);
}

std::optional<int> zone(Cursor& in) {
    for (std::string_view name : kUniversalNames) {
        if (in.skipWord(name)) return universalOffset(in);
    }
    for (const ZoneName& z : kZoneNames) {
        if (in.skipWord(z.name)) return z.minutesEast;
    }
    if (in.skipWord("Z")) return 0;
    return numericOffset(in);
}

// The fields read from a text, with the values of a pattern that has none.
struct Fields {
    int64_t year{1970};
    bool twoDigitYear{false};
    int64_t month{1};
    int64_t day{1};
    int64_t hour{0};
    int64_t minute{0};
    int64_t second{0};
    int64_t millisecond{0};
    int offsetMinutes{0};
};

std::optional<InternetDate> instant(const Fields& f, int64_t year) {
    if (year < 1 || year > 9999 || f.month < 1 || f.month > 12 || f.day < 1 || f.day > 31)
        return std::nullopt;
    if (f.hour > 23 || f.minute > 59 || f.second > 59) return std::nullopt;
    const year_month_day date{std::chrono::year{static_cast<int>(year)},
                              std::chrono::month{static_cast<unsigned>(f.month)},
                              std::chrono::day{static_cast<unsigned>(f.day)}};
    if (!date.ok()) return std::nullopt;
    return InternetDate{sys_days{date}} + hours{f.hour} + minutes{f.minute} + seconds{f.second} +
           milliseconds{f.millisecond} - minutes{f.offsetMinutes};
}

}  // namespace

bool DateFormat::isNumeric(Kind kind) {
    switch (kind) {
        case Kind::Day:
        case Kind::Month:
        case Kind::Year:
        case Kind::Hour:
        case Kind::Minute:
        case Kind::Second:
        case Kind::Fraction:
            return true;
        default:
            return false;
    }
}

std::optional<DateFormat> DateFormat::compile(std::string_view pattern) {
    DateFormat format;
    auto addLiteral = [&](char c) {
        if (!format.mElements.empty() && format.mElements.back().kind == Kind::Literal) {
            format.mElements.back().literal += c;
        } else {
            format.mElements.push_back({Kind::Literal, std::string(1, c)});
        }
    };
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                addLiteral('\'');
                i += 2;
                continue;
            }
            // Quoted text, in which '' stands for a quote.
            for (++i;; ++i) {
                if (i >= pattern.size()) return std::nullopt;
                if (pattern[i] != '\'') {
                    addLiteral(pattern[i]);
                } else if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                    addLiteral('\'');
                    ++i;
                } else {
                    break;
                }
            }
            ++i;
            continue;
        }
        if (isBlank(c)) {
            while (i < pattern.size() && isBlank(pattern[i])) ++i;
            format.mElements.push_back({Kind::Space, {}});
            continue;
        }
        if (!isLetter(c)) {
            addLiteral(c);
            ++i;
            continue;
        }
        int count = 0;
        while (i < pattern.size() && pattern[i] == c) ++i, ++count;
        // The pattern letters understood; "MMM" and longer name the month.
        struct Letter {
            char letter;
            Kind kind;
        };
        static constexpr Letter kLetters[] = {
            {'E', Kind::Weekday}, {'d', Kind::Day},    {'M', Kind::Month},  {'y', Kind::Year},
            {'H', Kind::Hour},    {'m', Kind::Minute}, {'s', Kind::Second}, {'S', Kind::Fraction},
            {'z', Kind::Zone},    {'Z', Kind::Offset},
        };
        const auto found = std::find_if(std::begin(kLetters), std::end(kLetters),
                                        [c](const Letter& letter) { return letter.letter == c; });
        if (found == std::end(kLetters)) return std::nullopt;
        const Kind kind = (found->kind == Kind::Month && count >= 3) ? Kind::MonthName : found->kind;
        format.mElements.push_back({kind, {}, count});
    }
    // A numeric field directly followed by another takes no more digits than its letters; any
    // other takes all the digits there are.
    for (size_t i = 0; i < format.mElements.size(); ++i) {
        Element& e = format.mElements[i];
        const bool abutting =
            i + 1 < format.mElements.size() && isNumeric(e.kind) && isNumeric(format.mElements[i + 1].kind);
        if (!abutting) e.count = 0;
    }
    return format;
}

std::optional<InternetDate> DateFormat::parse(std::string_view text) const {
    Cursor in(text);
    Fields f;
    for (const Element& e : mElements) {
        const int maxDigits = e.count > 0 ? e.count : 9;
        std::optional<int64_t> value;
        switch (e.kind) {
            case Kind::Literal:
                for (char c : e.literal) {
                    if (!in.skip(c)) return std::nullopt;
                }
                continue;
            case Kind::Space:
                if (!in.skipBlanks()) return std::nullopt;
                continue;
            case Kind::Weekday:
                if (!in.name(kWeekdays)) return std::nullopt;
                continue;
            case Kind::MonthName: {
                const auto m = in.name(kMonths);
                if (!m) return std::nullopt;
                f.month = *m + 1;
                continue;
            }
            case Kind::Zone:
            case Kind::Offset: {
                const auto offset = e.kind == Kind::Zone ? zone(in) : numericOffset(in);
                if (!offset) return std::nullopt;
                f.offsetMinutes = *offset;
                continue;
            }
            case Kind::Year: {
                int digits = 0;
                value = in.number(e.count > 0 ? e.count : 4, &digits);
                if (!value) return std::nullopt;
                f.year = *value;
                f.twoDigitYear = digits == 2;
                continue;
            }
            case Kind::Fraction: {
                // The digits are a fraction of a second; kept to the millisecond, truncated.
                int64_t ms = 0;
                int digits = 0;
                while (isDigit(in.peek()) && (e.count == 0 || digits < e.count)) {
                    const char c = in.peek();
                    in.skip(c);
                    if (digits < 3) ms = ms * 10 + (c - '0');
                    ++digits;
                }
                if (digits == 0) return std::nullopt;
                for (int d = digits; d < 3; ++d) ms *= 10;
                f.millisecond = ms;
                continue;
            }
            case Kind::Day:
            case Kind::Month:
            case Kind::Hour:
            case Kind::Minute:
            case Kind::Second:
                value = in.number(maxDigits);
                if (!value) return std::nullopt;
                break;
        }
        switch (e.kind) {
            case Kind::Day:
                f.day = *value;
                break;
            case Kind::Month:
                f.month = *value;
                break;
            case Kind::Hour:
                f.hour = *value;
                break;
            case Kind::Minute:
                f.minute = *value;
                break;
            case Kind::Second:
                f.second = *value;
                break;
            default:
                break;
        }
    }
    if (!in.atEnd()) return std::nullopt;

    if (!f.twoDigitYear) return instant(f, f.year);
    int64_t year = 1900 + f.year + (f.year < 80 ? 100 : 0);
    auto date = instant(f, year);
    if (date && *date < kTwoDigitYearStart) date = instant(f, year + 100);
    return date;
}

const InternetDateParser& InternetDateParser::shared() {
    static const InternetDateParser parser;
    return parser;
}

InternetDateParser::InternetDateParser() {
    auto compileAll = [](std::initializer_list<std::string_view> patterns) {
        std::vector<DateFormat> formats;
        for (std::string_view p : patterns) formats.push_back(*DateFormat::compile(p));
        return formats;
    };
    mRFC822WithWeekday = compileAll({"EEE, d MMM yyyy HH:mm:ss zzz", "EEE, d MMM yyyy HH:mm zzz",
                                     "EEE, d MMM yyyy HH:mm:ss", "EEE, d MMM yyyy HH:mm"});
    mRFC822 = compileAll(
        {"d MMM yyyy HH:mm:ss zzz", "d MMM yyyy HH:mm zzz", "d MMM yyyy HH:mm:ss", "d MMM yyyy HH:mm"});
    mRFC3339 = compileAll({"yyyy'-'MM'-'dd'T'HH':'mm':'ssZZZ", "yyyy'-'MM'-'dd'T'HH':'mm':'ss.SSSZZZ",
                           "yyyy'-'MM'-'dd'T'HH':'mm':'ss"});
}

std::optional<InternetDate> InternetDateParser::dateFromInternetDateTimeString(
    std::optional<std::string_view> text, DateFormatHint hint) const {
    if (!text) return std::nullopt;
    if (hint == DateFormatHint::RFC3339) {
        if (auto date = dateFromRFC3339String(*text)) return date;
        return dateFromRFC822String(*text);
    }
    if (auto date = dateFromRFC822String(*text)) return date;
    return dateFromRFC3339String(*text);
}

std::optional<InternetDate> InternetDateParser::dateFromRFC822String(std::string_view text) const {
    const std::string upper = upperCased(text);
    const auto& formats = upper.find(',') != std::string::npos ? mRFC822WithWeekday : mRFC822;
    for (const DateFormat& format : formats) {
        if (auto date = format.parse(upper)) return date;
    }
    return std::nullopt;
}

std::optional<InternetDate> InternetDateParser::dateFromRFC3339String(std::string_view text) const {
    std::string upper;
    for (char c : upperCased(text)) {
        if (c == 'Z') {
            upper += "-0000";
        } else {
            upper += c;
        }
    }
    // A zone offset written with a colon loses it, so the basic offset form reads it.
    if (upper.size() > 20) {
        std::string kept = upper.substr(0, 20);
        for (size_t i = 20; i < upper.size(); ++i) {
            if (upper[i] != ':') kept += upper[i];
        }
        upper = std::move(kept);
    }
    for (const DateFormat& format : mRFC3339) {
        if (auto date = format.parse(upper)) return date;
    }
    return std::nullopt;
}
