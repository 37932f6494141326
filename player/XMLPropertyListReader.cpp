#include "player/XMLPropertyListReader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_set>

#include "platform/Foundation/UTF8.h"

namespace player {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::optional<PropertyList> parseInteger(std::string_view text) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!negative) return PropertyList(static_cast<unsigned long long>(magnitude));
    if (magnitude > uint64_t{1} << 63) return std::nullopt;
    return PropertyList(static_cast<long long>(0 - magnitude));
}

std::optional<PropertyList> parseReal(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return PropertyList(value);
}

std::optional<PropertyList> parseDate(std::string_view text) {
    text = trimmed(text);
    // YYYY-MM-DDTHH:MM:SSZ
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    const auto number = [&](size_t at, size_t length) -> int64_t {
        int64_t value = 0;
        for (size_t i = at; i < at + length; ++i) {
            if (text[i] < '0' || text[i] > '9') return -1;
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    const int64_t year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const int64_t hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    static constexpr int64_t kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 0 || month < 1 || month > 12 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day < 1 || day > kDaysInMonth[month - 1] + (month == 2 && leap)) return std::nullopt;
    const int64_t days = daysFromCivil(year, month, day) - daysFromCivil(2001, 1, 1);
    return PropertyList(
        PropertyList::Date{static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second)});
}

std::optional<PropertyList> parseData(std::string_view text) {
    PropertyList::Data bytes;
    bytes.reserve(text.size() * 3 / 4);
    uint32_t bits = 0;
    int count = 0;
    int padding = 0;
    for (const char c : text) {
        if (isSpace(c)) continue;
        int value;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else if (c == '=') {
            ++padding;
            continue;
        } else {
            return std::nullopt;
        }
        if (padding) return std::nullopt;  // data after the padding
        bits = bits << 6 | static_cast<uint32_t>(value);
        if (++count == 4) {
            bytes.push_back(static_cast<uint8_t>(bits >> 16));
            bytes.push_back(static_cast<uint8_t>(bits >> 8));
            bytes.push_back(static_cast<uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2 || (padding && count + padding != 4)) return std::nullopt;
    if (count == 2) bytes.push_back(static_cast<uint8_t>(bits >> 4));
    if (count == 3) {
        bytes.push_back(static_cast<uint8_t>(bits >> 10));
        bytes.push_back(static_cast<uint8_t>(bits >> 2));
    }
    return PropertyList(std::move(bytes));
}

// A scalar's type by its element name.
using ScalarParser = std::optional<PropertyList> (*)(std::string_view);
struct ScalarElement {
    std::string_view name;
    ScalarParser parse;
    const char* what;
};
constexpr ScalarElement kScalarElements[] = {
    {"integer", parseInteger, "an integer"},
    {"real", parseReal, "a number"},
    {"date", parseDate, "a date"},
    {"data", parseData, "base64 data"},
};

class Parser {
public:
    explicit Parser(std::string_view text) : fText(text) {}

    Result<OrderedPropertyList> document() {
        if (fText.starts_with("\xEF\xBB\xBF")) fPosition = 3;
        if (!isValidUTF8WithoutNul(fText)) return Failure{"the property list is not UTF-8 text"};
        if (!skipMarkup()) return failure();
        if (!fText.substr(fPosition).starts_with("<plist") ||
            (fPosition + 6 < fText.size() && !isSpace(fText[fPosition + 6]) && fText[fPosition + 6] != '>'))
            return Failure{"not a property list"};
        const size_t close = fText.find('>', fPosition);
        if (close == std::string_view::npos) return fail("the <plist> element is not closed");
        fPosition = close + 1;
        if (fText[close - 1] == '/') return fail("the property list is empty");
        OrderedPropertyList root;
        if (!skipMarkup() || !value(root, 0) || !skipMarkup()) return failure();
        if (!consume("</plist>")) return fail("expected </plist>");
        if (!skipMarkup()) return failure();
        if (fPosition != fText.size()) return fail("text after </plist>");
        return root;
    }

private:
    Result<OrderedPropertyList> failure() const { return Failure{fError}; }
    Result<OrderedPropertyList> fail(const std::string& message) {
        setError(message);
        return failure();
    }
    bool setError(const std::string& message) {
        if (fError.empty()) {
            const size_t at = std::min(fPosition, fText.size());
            const auto line =
                1 + std::count(fText.begin(), fText.begin() + static_cast<std::ptrdiff_t>(at), '\n');
            fError = "line " + std::to_string(line) + ": " + message;
        }
        return false;
    }

    bool consume(std::string_view expected) {
        if (fText.compare(fPosition, expected.size(), expected) != 0) return false;
        fPosition += expected.size();
        return true;
    }

    // Whitespace, comments, processing instructions and the document type between elements.
    bool skipMarkup() {
        for (;;) {
            while (fPosition < fText.size() && isSpace(fText[fPosition])) ++fPosition;
            const std::string_view rest = fText.substr(fPosition);
            std::string_view end;
            if (rest.starts_with("<!--")) {
                end = "-->";
            } else if (rest.starts_with("<?")) {
                end = "?>";
            } else if (rest.starts_with("<!DOCTYPE")) {
                // An internal subset in brackets may hold '>'.
                const size_t bracket = rest.find_first_of("[>");
                end = bracket != std::string_view::npos && rest[bracket] == '[' ? "]>" : ">";
            } else {
                return true;
            }
            const size_t found = fText.find(end, fPosition + 2);
            if (found == std::string_view::npos) return setError("markup that is not closed");
            fPosition = found + end.size();
        }
    }

    // The element name after '<', and whether the element is empty ("<name/>").
    bool openTag(std::string_view& name, bool& empty) {
        if (!consume("<")) return setError("expected an element");
        const size_t start = fPosition;
        while (fPosition < fText.size() && std::isalpha(static_cast<unsigned char>(fText[fPosition])))
            ++fPosition;
        name = fText.substr(start, fPosition - start);
        while (fPosition < fText.size() && isSpace(fText[fPosition])) ++fPosition;
        empty = consume("/>");
        if (!empty && !consume(">")) return setError("a malformed <" + std::string(name) + "> element");
        return true;
    }

    // The text of an element up to its closing tag, entities and character data sections decoded.
    bool text(std::string_view name, std::string& out) {
        out.clear();
        for (;;) {
            const size_t special = fText.find_first_of("<&", fPosition);
            if (special == std::string_view::npos)
                return setError("<" + std::string(name) + "> is not closed");
            out.append(fText.substr(fPosition, special - fPosition));
            fPosition = special;
            if (fText[special] == '&') {
                if (!entity(out)) return false;
                continue;
            }
            const std::string_view rest = fText.substr(special);
            if (rest.starts_with("</")) {
                fPosition += 2;
                if (!consume(name)) return setError("<" + std::string(name) + "> closed by another element");
                while (fPosition < fText.size() && isSpace(fText[fPosition])) ++fPosition;
                if (!consume(">")) return setError("a malformed closing tag");
                return true;
            }
            std::string_view end;
            if (rest.starts_with("<![CDATA[")) {
                end = "]]>";
            } else if (rest.starts_with("<!--")) {
                end = "-->";
            } else {
                return setError("an element inside <" + std::string(name) + ">");
            }
            const size_t found = fText.find(end, special);
            if (found == std::string_view::npos) return setError("markup that is not closed");
            if (end == "]]>") out.append(fText.substr(special + 9, found - special - 9));
            fPosition = found + end.size();
        }
    }

    bool entity(std::string& out) {
        const size_t semicolon = fText.find(';', fPosition);
        if (semicolon == std::string_view::npos || semicolon - fPosition > 12)
            return setError("an '&' that starts no entity");
        const std::string_view name = fText.substr(fPosition + 1, semicolon - fPosition - 1);
        struct Named {
            std::string_view name;
            char value;
        };
        static constexpr Named kNamed[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        const auto known = std::find_if(std::begin(kNamed), std::end(kNamed),
                                        [&](const Named& n) { return n.name == name; });
        if (known != std::end(kNamed)) {
            out += known->value;
        } else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t cp = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || cp == 0 ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return setError("a character reference to no character: &" + std::string(name) + ";");
            appendUTF8(out, cp);
        } else {
            return setError("an unknown entity &" + std::string(name) + ";");
        }
        fPosition = semicolon + 1;
        return true;
    }

    bool value(OrderedPropertyList& out, int depth) {
        if (depth > XMLPropertyListReader::kMaximumDepth) return setError("nested too deeply");
        std::string_view name;
        bool empty = false;
        const size_t start = fPosition;
        if (!openTag(name, empty)) return false;
        if (name == "dict") {
            if (!empty) return dictionary(out, depth);
            out = OrderedPropertyList::Dictionary{};
            return true;
        }
        if (name == "array") {
            if (!empty) return array(out, depth);
            out = OrderedPropertyList::Array{};
            return true;
        }
        if (name == "true" || name == "false") {
            if (!empty && !consume("</" + std::string(name) + ">"))
                return setError("<" + std::string(name) + "> holds text");
            out = PropertyList(name == "true");
            return true;
        }
        if (name == "string") {
            if (empty) {
                out = PropertyList(std::string());
                return true;
            }
            std::string content;
            if (!text(name, content)) return false;
            out = PropertyList(std::move(content));
            return true;
        }
        const auto scalar = std::find_if(std::begin(kScalarElements), std::end(kScalarElements),
                                         [&](const ScalarElement& e) { return e.name == name; });
        if (scalar == std::end(kScalarElements)) {
            fPosition = start;
            return setError(name.empty() ? "expected an element"
                                         : "an unknown element <" + std::string(name) + ">");
        }
        std::string content;
        if (!empty && !text(name, content)) return false;
        std::optional<PropertyList> parsed = scalar->parse(content);
        if (!parsed) {
            fPosition = start;
            std::string shown = content.size() > 40 ? content.substr(0, 40) + "..." : content;
            return setError("<" + std::string(name) + ">" + shown + "</" + std::string(name) + "> is not " +
                            scalar->what);
        }
        out = std::move(*parsed);
        return true;
    }

    bool dictionary(OrderedPropertyList& out, int depth) {
        OrderedPropertyList::Dictionary entries;
        for (;;) {
            if (!skipMarkup()) return false;
            if (consume("</dict>")) break;
            const size_t start = fPosition;
            std::string_view name;
            bool empty = false;
            if (!openTag(name, empty)) return false;
            if (name != "key") {
                fPosition = start;
                return setError("expected a <key> in a dictionary");
            }
            std::string key;
            if (!empty && !text(name, key)) return false;
            if (!skipMarkup()) return false;
            if (fText.substr(fPosition).starts_with("</dict>"))
                return setError("the key \"" + key + "\" has no value");
            entries.emplace_back(std::move(key), OrderedPropertyList());
            if (!value(entries.back().second, depth + 1)) return false;
        }
        // One value per key: which of two the file meant cannot be told.
        const auto twice = [&](const std::string& key) {
            return setError("the key \"" + key + "\" appears twice in one dictionary");
        };
        if (entries.size() <= 16) {
            for (size_t i = 1; i < entries.size(); ++i) {
                for (size_t j = 0; j < i; ++j) {
                    if (entries[i].first == entries[j].first) return twice(entries[i].first);
                }
            }
        } else {
            std::unordered_set<std::string_view> keys;
            keys.reserve(entries.size());
            for (const auto& entry : entries) {
                if (!keys.insert(entry.first).second) return twice(entry.first);
            }
        }
        out = std::move(entries);
        return true;
    }

    bool array(OrderedPropertyList& out, int depth) {
        OrderedPropertyList::Array items;
        for (;;) {
            if (!skipMarkup()) return false;
            if (consume("</array>")) break;
            items.emplace_back();
            if (!value(items.back(), depth + 1)) return false;
        }
        out = std::move(items);
        return true;
    }

    std::string_view fText;
    size_t fPosition{0};
    std::string fError;
};

}  // namespace

Result<OrderedPropertyList> XMLPropertyListReader::read(std::span<const uint8_t> bytes) {
    return Parser(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())).document();
}

}  // namespace player
