#include "core/UDates.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "core/SMutexLock.h"
#include "core/TMutex.h"
#include "platform/Foundation/InternetDateParser.h"

namespace {

std::atomic<TimeOfDaySource> gTimeOfDay{nullptr};

timeval Now() {
    if (TimeOfDaySource source = gTimeOfDay.load()) return source();
    timeval now{};
    gettimeofday(&now, nullptr);
    return now;
}

TMutex gMsgDateToDateMutex;

SInt32 gGMTOffset = 0;
bool gGMTOffsetValid = false;

time_t ToUnix(UInt32 seconds) {
    return static_cast<time_t>(seconds + kUnixTo2001);
}

// A Unix time as a date in seconds; none before 2001 or past the 32-bit range.
std::optional<UInt32> FromUnix(SInt64 unixSeconds) {
    const SInt64 seconds = unixSeconds - kUnixTo2001;
    if (seconds < 0 || seconds > SInt64{UINT32_MAX}) return std::nullopt;
    return static_cast<UInt32>(seconds);
}

bool LocalTime(UInt32 seconds, tm& out) {
    const time_t t = ToUnix(seconds);
    return localtime_r(&t, &out) != nullptr;
}

constexpr const char* kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                     "jul", "aug", "sep", "oct", "nov", "dec"};

struct Zone {
    const char* name;
    int offsetMinutes;
};
constexpr Zone kZones[] = {{"gmt", 0},    {"utc", 0},    {"ut", 0},     {"z", 0},      {"est", -300},
                           {"edt", -240}, {"cst", -360}, {"cdt", -300}, {"mst", -420}, {"mdt", -360},
                           {"pst", -480}, {"pdt", -420}, {"cet", 60},   {"cest", 120}, {"bst", 60}};

// A small cursor over the text being parsed.
class Scanner {
public:
    explicit Scanner(const char* text) : fText(text) {}

    bool AtEnd() {
        SkipBlanks();
        return *fText == 0;
    }
    void SkipBlanks() {
        while (*fText == ' ' || *fText == '\t') ++fText;
    }
    // Separators between fields: blanks, '-' and ','.
    void SkipSeparators() {
        while (*fText == ' ' || *fText == '\t' || *fText == '-' || *fText == ',') ++fText;
    }
    bool Take(char c) {
        if (*fText != c) return false;
        ++fText;
        return true;
    }
    bool Number(int minDigits, int maxDigits, int& value) {
        int n = 0;
        value = 0;
        while (n < maxDigits && std::isdigit(static_cast<unsigned char>(fText[n])))
            value = value * 10 + (fText[n++] - '0');
        if (n < minDigits) return false;
        fText += n;
        return true;
    }
    std::string Word() {
        std::string word;
        while (std::isalpha(static_cast<unsigned char>(*fText)))
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(*fText++)));
        return word;
    }
    char Peek() const { return *fText; }

private:
    const char* fText;
};

int MonthIndex(const std::string& word) {
    if (word.size() < 3) return -1;
    for (int i = 0; i < 12; ++i)
        if (word.compare(0, 3, kMonths[i]) == 0) return i;
    return -1;
}

int ExpandYear(int year, int digits) {
    if (digits > 2) return year;
    return year < 70 ? 2000 + year : 1900 + year;
}

// Seconds of a broken-down time: UTC shifted by the zone when one is known, else local.
std::optional<UInt32> Compose(tm fields, bool hasZone, int zoneMinutes) {
    if (hasZone) return FromUnix(static_cast<SInt64>(timegm(&fields)) - zoneMinutes * 60);
    fields.tm_isdst = -1;
    const time_t local = mktime(&fields);
    if (local == static_cast<time_t>(-1)) return std::nullopt;
    return FromUnix(local);
}

// "HH:mm[:ss]".
bool ParseTime(Scanner& s, tm& fields) {
    int hour = 0, minute = 0, second = 0;
    if (!s.Number(1, 2, hour) || !s.Take(':') || !s.Number(2, 2, minute)) return false;
    if (s.Take(':') && !s.Number(2, 2, second)) return false;
    if (hour > 23 || minute > 59 || second > 60) return false;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return true;
}

bool ParseZone(Scanner& s, bool& hasZone, int& minutes) {
    s.SkipBlanks();
    hasZone = false;
    minutes = 0;
    if (s.AtEnd()) return true;
    if (s.Peek() == '+' || s.Peek() == '-') {
        const int sign = s.Peek() == '-' ? -1 : 1;
        s.Take(s.Peek());
        int hhmm = 0;
        if (!s.Number(4, 4, hhmm) || hhmm % 100 > 59) return false;
        minutes = sign * ((hhmm / 100) * 60 + hhmm % 100);
        hasZone = true;
        return s.AtEnd();
    }
    const std::string word = s.Word();
    for (const Zone& zone : kZones)
        if (word == zone.name) {
            minutes = zone.offsetMinutes;
            hasZone = true;
            if (s.Peek() == '+' || s.Peek() == '-') return ParseZone(s, hasZone, minutes);
            return s.AtEnd();
        }
    return false;
}

}  // namespace

void SetTimeOfDaySource(TimeOfDaySource source) {
    gTimeOfDay.store(source);
}

UInt32 GetCurrentDate() {
    const timeval now = Now();
    return FromUnix(now.tv_sec).value_or(0);
}

UInt64 GetCurrentDate_ms() {
    const timeval now = Now();
    return static_cast<UInt64>(now.tv_sec) * 1000 + static_cast<UInt64>(now.tv_usec) / 1000;
}

UInt32 RoundDateDown(UInt32 seconds) {
    return seconds - seconds % kSecondsPerDay;
}

UInt32 RoundDateUp(UInt32 seconds) {
    const UInt64 up = (UInt64{seconds} + kSecondsPerDay - 1) / kSecondsPerDay * kSecondsPerDay;
    return static_cast<UInt32>(std::min<UInt64>(up, UINT32_MAX - UINT32_MAX % kSecondsPerDay));
}

SInt32 GetGMTOffset() {
    if (!gGMTOffsetValid) {
        const time_t now = Now().tv_sec;
        tm local{};
        localtime_r(&now, &local);
        // The location record keeps 24 bits of offset, sign-extended.
        SInt32 offset = static_cast<SInt32>(local.tm_gmtoff) & 0xFFFFFF;
        if (offset & 0x800000) offset -= 0x1000000;
        gGMTOffset = offset;
        gGMTOffsetValid = true;
    }
    return gGMTOffset;
}

void InvalGMTCache() {
    gGMTOffsetValid = false;
}

SInt32 LocalToGMT(UInt32& seconds) {
    const SInt32 offset = GetGMTOffset();
    seconds -= static_cast<UInt32>(offset);
    return offset;
}

SInt32 GMTToLocal(UInt32& seconds) {
    const SInt32 offset = GetGMTOffset();
    seconds += static_cast<UInt32>(offset);
    return offset;
}

void DateToNNTP(UInt32 seconds, char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    tm local{};
    if (!LocalTime(seconds, local) || std::strftime(buffer, size, "%y%m%d %H%M%S", &local) == 0)
        buffer[0] = 0;
}

UInt32 NNTPToDate(const char* text) {
    if (!text) return GetCurrentDate();
    tm fields{};
    int yy, mo, dd, hh, mi, ss;
    char tail;
    if (std::sscanf(text, "%2d%2d%2d %2d%2d%2d%c", &yy, &mo, &dd, &hh, &mi, &ss, &tail) == 6 ||
        std::sscanf(text, "%2d:%2d:%2d %2d:%2d:%2d%c", &yy, &mo, &dd, &hh, &mi, &ss, &tail) == 6) {
        if (mo >= 1 && mo <= 12 && dd >= 1 && dd <= 31 && hh < 24 && mi < 60 && ss <= 60) {
            fields.tm_year = ExpandYear(yy, 2) - 1900;
            fields.tm_mon = mo - 1;
            fields.tm_mday = dd;
            fields.tm_hour = hh;
            fields.tm_min = mi;
            fields.tm_sec = ss;
            if (const std::optional<UInt32> date = Compose(fields, false, 0)) return *date;
        }
    }
    const bool hasComma = std::strchr(text, ',') != nullptr;
    if (hasComma) {
        if (const UInt32 date = ExtractDateFromInternetString(text)) return date;
    }
    return GetCurrentDate();
}

void DateToMsgDate(UInt32 seconds, char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    static constexpr const char* kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    tm local{};
    if (!LocalTime(seconds, local)) {
        buffer[0] = 0;
        return;
    }
    const long offset = local.tm_gmtoff / 60;
    std::snprintf(buffer, size, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[local.tm_wday],
                  local.tm_mday, kMonthNames[local.tm_mon], local.tm_year + 1900, local.tm_hour, local.tm_min,
                  local.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
}

void DateToShortMsgDate(UInt32 seconds, char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    tm local{};
    if (!LocalTime(seconds, local) || std::strftime(buffer, size, "%m/%d/%y", &local) == 0) buffer[0] = 0;
}

UInt32 ExtractDateFromInternetString(const char* text) {
    if (!text || !*text) return GetCurrentDate();
    Scanner s(text);
    s.SkipBlanks();
    // An optional weekday, told by its comma.
    if (std::strchr(text, ',')) {
        if (s.Word().empty() || !(s.SkipBlanks(), s.Take(','))) return 0;
    }
    s.SkipSeparators();
    tm fields{};
    int day = 0, year = 0;
    if (!s.Number(1, 2, day) || day < 1 || day > 31) return 0;
    s.SkipSeparators();
    const int month = MonthIndex(s.Word());
    if (month < 0) return 0;
    s.SkipSeparators();
    Scanner beforeYear = s;
    if (!s.Number(2, 4, year)) return 0;
    int digits = 0;
    for (int probe = 0; beforeYear.Number(1, 1, probe);) ++digits;
    fields.tm_year = ExpandYear(year, digits) - 1900;
    fields.tm_mon = month;
    fields.tm_mday = day;
    s.SkipBlanks();
    if (!ParseTime(s, fields)) return 0;
    bool hasZone = false;
    int zoneMinutes = 0;
    if (!ParseZone(s, hasZone, zoneMinutes)) return 0;
    return Compose(fields, hasZone, zoneMinutes).value_or(0);
}

UInt32 MsgDateToDate(const char* text) {
    SMutexLock lock(gMsgDateToDateMutex);
    const UInt32 extracted = ExtractDateFromInternetString(text);
    const UInt32 now = GetCurrentDate();
    const UInt64 limit = UInt64{now} + kSecondsPerDay;
    if (extracted != 0 && extracted < limit) return extracted;
    if (!text) return now;
    const std::optional<InternetDate> parsed = InternetDateParser::shared().dateFromInternetDateTimeString(
        std::string_view(text), DateFormatHint::RFC822);
    if (parsed) {
        const SInt64 unixSeconds =
            std::chrono::floor<std::chrono::seconds>(parsed->time_since_epoch()).count();
        const SInt64 seconds = unixSeconds - kUnixTo2001;
        if (seconds >= 1 && static_cast<UInt64>(seconds) <= limit) return static_cast<UInt32>(seconds);
    }
    return now;
}
