#include "platform/Foundation/PropertyListXMLReader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/Foundation/UTF8.h"

namespace {

enum class Element { Dictionary, Array, String, Integer, Real, True, False, Date, Data };

struct ElementName {
    std::string_view name;
    Element element;
};

constexpr std::array<ElementName, 9> kElements{{
    {"dict", Element::Dictionary},
    {"array", Element::Array},
    {"string", Element::String},
    {"integer", Element::Integer},
    {"real", Element::Real},
    {"true", Element::True},
    {"false", Element::False},
    {"date", Element::Date},
    {"data", Element::Data},
}};

std::optional<Element> elementNamed(std::string_view name) {
    for (const ElementName& e : kElements)
        if (e.name == name) return e.element;
    return std::nullopt;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':' || c == '.';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Decimal or 0x-prefixed hexadecimal, with a sign; the whole range of both signed and
// unsigned 64-bit values.
std::optional<PropertyList> parseInteger(std::string_view s) {
    s = trimmed(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (!negative) return PropertyList(magnitude);
    if (magnitude > uint64_t{1} << 63) return std::nullopt;
    return PropertyList(static_cast<int64_t>(0 - magnitude));
}

std::optional<double> parseReal(std::string_view s) {
    s = trimmed(s);
    if (s.starts_with('+')) {
        s.remove_prefix(1);
        if (s.starts_with('-')) return std::nullopt;
    }
    if (s.empty()) return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    // Out of range still gives a value of the right magnitude class; keep it.
    if ((error != std::errc() && error != std::errc::result_out_of_range) || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

// Days from 1 January 1970 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// "YYYY-MM-DDTHH:MM:SSZ", in UTC.
std::optional<PropertyList::Date> parseDate(std::string_view s) {
    s = trimmed(s);
    static constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (s.size() != kShape.size()) return std::nullopt;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool digit = s[i] >= '0' && s[i] <= '9';
        if (kShape[i] == 'd' ? !digit : s[i] != kShape[i]) return std::nullopt;
    }
    auto number = [&](size_t at, size_t length) {
        unsigned n = 0;
        for (size_t i = at; i < at + length; ++i) n = n * 10 + static_cast<unsigned>(s[i] - '0');
        return n;
    };
    const unsigned year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const unsigned hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    static constexpr unsigned kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] || hour > 23 || minute > 59 ||
        second > 60)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    const int64_t days = daysFromCivil(year, month, day) - daysFromCivil(2001, 1, 1);
    return PropertyList::Date{static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second)};
}

std::optional<PropertyList::Data> parseBase64(std::string_view s) {
    static constexpr auto kValues = [] {
        std::array<int8_t, 256> table{};
        table.fill(-1);
        constexpr std::string_view alphabet =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (size_t i = 0; i < alphabet.size(); ++i) table[static_cast<uint8_t>(alphabet[i])] = int8_t(i);
        return table;
    }();
    PropertyList::Data out;
    out.reserve(s.size() / 4 * 3);
    uint32_t bits = 0;
    int count = 0;
    int padding = 0;
    for (char c : s) {
        if (isSpace(c)) continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        const int8_t v = kValues[static_cast<uint8_t>(c)];
        if (v < 0 || padding > 0) return std::nullopt;  // no data after the padding
        bits = (bits << 6) | static_cast<uint32_t>(v);
        if (++count == 4) {
            out.push_back(static_cast<uint8_t>(bits >> 16));
            out.push_back(static_cast<uint8_t>(bits >> 8));
            out.push_back(static_cast<uint8_t>(bits));
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2 || (padding > 0 && count + padding != 4)) return std::nullopt;
    if (count == 2) out.push_back(static_cast<uint8_t>(bits >> 4));
    if (count == 3) {
        out.push_back(static_cast<uint8_t>(bits >> 10));
        out.push_back(static_cast<uint8_t>(bits >> 2));
    }
    return out;
}

}  // namespace

PropertyListXMLReader::PropertyListXMLReader(std::string_view text, uint64_t maximumValues, int maximumDepth,
                                             std::vector<std::string> keptTopLevelKeys)
    : mText(text),
      mMaximumValues(maximumValues),
      mMaximumDepth(maximumDepth),
      mKeptTopLevelKeys(std::move(keptTopLevelKeys)) {}

bool PropertyListXMLReader::keepsTopLevelKey(const std::string& key) const {
    if (mKeptTopLevelKeys.empty()) return true;
    return std::find(mKeptTopLevelKeys.begin(), mKeptTopLevelKeys.end(), key) != mKeptTopLevelKeys.end();
}

bool PropertyListXMLReader::fail(std::string message) {
    if (mError.empty()) mError = std::move(message);
    return false;
}

Result<PropertyList> PropertyListXMLReader::read() {
    if (mText.find('\0') != std::string_view::npos) return Failure{"XML property list holds a NUL byte"};
    if (mText.starts_with("\xEF\xBB\xBF")) mAt = 3;
    skipMisc();
    Tag plist;
    if (!tag(plist) || plist.closing || plist.name != "plist") return Failure{"not a property list"};
    if (plist.empty) return Failure{"XML property list holds no value"};
    skipMisc();
    if (atClosingTag()) return Failure{"XML property list holds no value"};
    PropertyList result;
    if (!value(0, result) || !closingTag("plist")) return Failure{mError};
    skipMisc();
    if (mAt != mText.size()) return Failure{"XML property list has text after </plist>"};
    return result;
}

bool PropertyListXMLReader::value(int depth, PropertyList& out) {
    if (depth > mMaximumDepth) return fail("XML property list nested too deeply");
    if (!mDropping && ++mValues > mMaximumValues) return fail("XML property list holds too many values");
    skipMisc();
    Tag open;
    if (!tag(open)) return false;
    if (open.closing) return fail("unexpected </" + std::string(open.name) + "> in XML property list");
    const std::optional<Element> element = elementNamed(open.name);
    if (!element) return fail("unknown element <" + std::string(open.name) + "> in XML property list");
    if (*element == Element::Dictionary) return dictionary(depth, open, out);
    if (*element == Element::Array) return array(depth, open, out);
    return scalar(open, out);
}

bool PropertyListXMLReader::dictionary(int depth, const Tag& open, PropertyList& out) {
    PropertyList::Dictionary dictionary;
    if (!open.empty) {
        for (;;) {
            skipMisc();
            if (atClosingTag()) {
                if (!closingTag("dict")) return false;
                break;
            }
            Tag key;
            if (!tag(key)) return false;
            if (key.closing || key.name != "key") return fail("dictionary value without a <key>");
            std::string name;
            if (!key.empty && !text("key", name)) return false;
            PropertyList item;
            skipMisc();
            if (atClosingTag()) return fail("<key> without a value in XML property list");
            const bool dropped = !mDropping && depth == 0 && !keepsTopLevelKey(name);
            mDropping = mDropping || dropped;
            const bool read = value(depth + 1, item);
            if (dropped) mDropping = false;
            if (!read) return false;
            // Keys are usually written in order, so the hint makes each insertion constant time;
            // a repeated key keeps its last value.
            if (!mDropping && !dropped)
                dictionary.insert_or_assign(dictionary.end(), std::move(name), std::move(item));
        }
    }
    out = PropertyList(std::move(dictionary));
    return true;
}

bool PropertyListXMLReader::array(int depth, const Tag& open, PropertyList& out) {
    PropertyList::Array array;
    if (!open.empty) {
        for (;;) {
            skipMisc();
            if (atClosingTag()) {
                if (!closingTag("array")) return false;
                break;
            }
            if (mDropping) {
                PropertyList dropped;
                if (!value(depth + 1, dropped)) return false;
                continue;
            }
            array.emplace_back();
            if (!value(depth + 1, array.back())) return false;
        }
    }
    out = PropertyList(std::move(array));
    return true;
}

bool PropertyListXMLReader::scalar(const Tag& open, PropertyList& out) {
    const std::optional<Element> element = elementNamed(open.name);
    std::string content;
    if (!open.empty && !text(open.name, content)) return false;
    auto where = [&open] { return " in <" + std::string(open.name) + ">"; };
    switch (*element) {
        case Element::String:
            out = PropertyList(std::move(content));
            return true;
        case Element::True:
        case Element::False:
            if (!trimmed(content).empty()) return fail("text" + where());
            out = PropertyList(*element == Element::True);
            return true;
        case Element::Integer:
            if (auto n = parseInteger(content)) {
                out = std::move(*n);
                return true;
            }
            return fail("not an integer" + where());
        case Element::Real:
            if (auto r = parseReal(content)) {
                out = PropertyList(*r);
                return true;
            }
            return fail("not a number" + where());
        case Element::Date:
            if (auto d = parseDate(content)) {
                out = PropertyList(*d);
                return true;
            }
            return fail("not a date" + where());
        case Element::Data:
            if (auto d = parseBase64(content)) {
                out = PropertyList(std::move(*d));
                return true;
            }
            return fail("not Base64" + where());
        case Element::Dictionary:
        case Element::Array:
            break;
    }
    return fail("unexpected element" + where());
}

// At '<': reads "<name attributes>", "<name/>" or "</name>".
bool PropertyListXMLReader::tag(Tag& out) {
    if (mAt >= mText.size() || mText[mAt] != '<') return fail("malformed XML property list");
    size_t at = mAt + 1;
    out.closing = at < mText.size() && mText[at] == '/';
    if (out.closing) ++at;
    const size_t nameStart = at;
    while (at < mText.size() && isNameChar(mText[at])) ++at;
    out.name = mText.substr(nameStart, at - nameStart);
    if (out.name.empty()) return fail("malformed XML tag");
    char quote = 0;
    for (; at < mText.size(); ++at) {
        const char c = mText[at];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            break;
        } else if (c == '<') {
            return fail("malformed XML tag");
        }
    }
    if (at >= mText.size()) return fail("truncated XML property list");
    out.empty = !out.closing && mText[at - 1] == '/';
    mAt = at + 1;
    return true;
}

bool PropertyListXMLReader::closingTag(std::string_view name) {
    skipMisc();
    Tag close;
    if (!tag(close)) return false;
    if (!close.closing || close.name != name)
        return fail("<" + std::string(name) + "> closed by <" + (close.closing ? "/" : "") +
                    std::string(close.name) + ">");
    return true;
}

bool PropertyListXMLReader::atClosingTag() const {
    return mAt + 1 < mText.size() && mText[mAt] == '<' && mText[mAt + 1] == '/';
}

// Character data up to and including </element>, with entities, character references, CDATA
// sections and comments.
bool PropertyListXMLReader::text(std::string_view element, std::string& out) {
    for (;;) {
        const size_t stop = mText.find_first_of("<&", mAt);
        if (stop == std::string_view::npos) return fail("truncated XML property list");
        out.append(mText.substr(mAt, stop - mAt));
        mAt = stop;
        if (mText[mAt] == '&') {
            if (!entity(out)) return false;
            continue;
        }
        const std::string_view rest = mText.substr(mAt);
        if (rest.starts_with("<![CDATA[")) {
            const size_t end = rest.find("]]>");
            if (end == std::string_view::npos) return fail("truncated XML property list");
            out.append(rest.substr(9, end - 9));
            mAt += end + 3;
        } else if (rest.starts_with("<!--")) {
            if (!skipPast("-->")) return false;
        } else {
            return closingTag(element);
        }
    }
}

bool PropertyListXMLReader::entity(std::string& out) {
    const size_t end = mText.find(';', mAt);
    if (end == std::string_view::npos || end - mAt > 12) return fail("malformed XML entity");
    const std::string_view name = mText.substr(mAt + 1, end - mAt - 1);
    mAt = end + 1;
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [entityName, c] : kNamed) {
        if (name == entityName) {
            out += c;
            return true;
        }
    }
    if (name.size() < 2 || name[0] != '#') return fail("unknown XML entity &" + std::string(name) + ";");
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    uint32_t cp = 0;
    const auto [stop, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
    if (digits.empty() || error != std::errc() || stop != digits.data() + digits.size() || cp == 0 ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return fail("bad XML character reference &" + std::string(name) + ";");
    appendUTF8(out, cp);
    return true;
}

// White space, comments, processing instructions and the document type between elements.
void PropertyListXMLReader::skipMisc() {
    for (;;) {
        while (mAt < mText.size() && isSpace(mText[mAt])) ++mAt;
        const std::string_view rest = mText.substr(mAt);
        if (rest.starts_with("<!--")) {
            if (!skipPast("-->")) return;
        } else if (rest.starts_with("<?")) {
            if (!skipPast("?>")) return;
        } else if (rest.starts_with("<!DOCTYPE")) {
            // Up to the '>' that is outside quotes and any internal subset.
            char quote = 0;
            int brackets = 0;
            size_t at = mAt + 9;
            for (; at < mText.size(); ++at) {
                const char c = mText[at];
                if (quote) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '[') {
                    ++brackets;
                } else if (c == ']') {
                    --brackets;
                } else if (c == '>' && brackets <= 0) {
                    break;
                }
            }
            if (at >= mText.size()) {
                fail("truncated XML property list");
                mAt = mText.size();
                return;
            }
            mAt = at + 1;
        } else {
            return;
        }
    }
}

bool PropertyListXMLReader::skipPast(std::string_view end) {
    const size_t at = mText.find(end, mAt + 2);
    if (at == std::string_view::npos) {
        mAt = mText.size();
        return fail("truncated XML property list");
    }
    mAt = at + end.size();
    return true;
}
