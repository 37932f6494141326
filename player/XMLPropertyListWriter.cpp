#include "player/XMLPropertyListWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

namespace player {

namespace {

bool isValidUTF8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<uint8_t>(text[i]);
        if (c == 0) return false;
        if (c < 0x80) {
            ++i;
            continue;
        }
        const size_t extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
        if (extra == 0 || i + extra >= text.size()) return false;
        uint32_t cp = c & (0x3F >> extra);
        for (size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        static constexpr uint32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

// A date of the proleptic Gregorian calendar from days since 1970-01-01.
void civilFromDays(int64_t days, int64_t& year, int64_t& month, int64_t& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shifted = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    month = shifted < 10 ? shifted + 3 : shifted - 9;
    year = yearOfEra + era * 400 + (month <= 2);
}

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

class Writer {
public:
    Result<std::vector<uint8_t>> document(const OrderedPropertyList& value) {
        fOut =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n";
        if (!element(value, 0)) return Failure{fError};
        fOut += "</plist>\n";
        return std::vector<uint8_t>(fOut.begin(), fOut.end());
    }

private:
    bool fail(std::string message) {
        fError = std::move(message);
        return false;
    }

    void indent(int depth) { fOut.append(static_cast<size_t>(depth), '\t'); }

    bool escaped(std::string_view text) {
        if (!isValidUTF8(text)) return fail("text that is not UTF-8 or holds a NUL");
        for (const char c : text) {
            switch (c) {
                case '&':
                    fOut += "&amp;";
                    break;
                case '<':
                    fOut += "&lt;";
                    break;
                case '>':
                    fOut += "&gt;";
                    break;
                default:
                    fOut += c;
            }
        }
        return true;
    }

    static bool isContainer(const OrderedPropertyList& value) {
        return (value.dictionary() && !value.dictionary()->empty()) ||
               (value.array() && !value.array()->empty());
    }

    // A value on its own line (or lines) at this depth.
    bool element(const OrderedPropertyList& value, int depth) {
        indent(depth);
        if (const OrderedPropertyList::Dictionary* entries = value.dictionary()) {
            if (entries->empty()) {
                fOut += "<dict/>\n";
                return true;
            }
            fOut += "<dict>\n";
            for (const auto& [key, item] : *entries) {
                indent(depth + 1);
                fOut += "<key>";
                if (!escaped(key)) return false;
                fOut += "</key>";
                if (isContainer(item)) {
                    fOut += '\n';
                    if (!element(item, depth + 1)) return false;
                } else {
                    if (!scalarOrEmpty(item)) return false;
                    fOut += '\n';
                }
            }
            indent(depth);
            fOut += "</dict>\n";
            return true;
        }
        if (const OrderedPropertyList::Array* items = value.array()) {
            if (items->empty()) {
                fOut += "<array/>\n";
                return true;
            }
            fOut += "<array>\n";
            for (const OrderedPropertyList& item : *items) {
                if (!element(item, depth + 1)) return false;
            }
            indent(depth);
            fOut += "</array>\n";
            return true;
        }
        if (!scalarOrEmpty(value)) return false;
        fOut += '\n';
        return true;
    }

    bool scalarOrEmpty(const OrderedPropertyList& value) {
        if (value.dictionary()) {
            fOut += "<dict/>";
            return true;
        }
        if (value.array()) {
            fOut += "<array/>";
            return true;
        }
        return scalar(*value.scalar());
    }

    bool scalar(const PropertyList& value) {
        using Type = PropertyList::Type;
        switch (value.type()) {
            case Type::String:
                fOut += "<string>";
                if (!escaped(*value.string())) return false;
                fOut += "</string>";
                return true;
            case Type::Integer:
                fOut += "<integer>" + std::to_string(*value.integer()) + "</integer>";
                return true;
            case Type::UnsignedInteger:
                fOut += "<integer>" + std::to_string(*value.unsignedInteger()) + "</integer>";
                return true;
            case Type::Real: {
                const double number = *value.real();
                fOut += "<real>";
                if (std::isnan(number)) {
                    fOut += "nan";
                } else if (std::isinf(number)) {
                    fOut += number < 0 ? "-inf" : "inf";
                } else {
                    char text[32];
                    const auto [end, error] = std::to_chars(text, text + sizeof text, number);
                    fOut.append(text, error == std::errc() ? end : text);
                }
                fOut += "</real>";
                return true;
            }
            case Type::Boolean:
                fOut += *value.boolean() ? "<true/>" : "<false/>";
                return true;
            case Type::Date:
                return date(value.date()->seconds);
            case Type::Data:
                data(*value.data());
                return true;
            case Type::Dictionary:
            case Type::Array:
                break;
        }
        return fail("a value of no known type");
    }

    bool date(double secondsSince2001) {
        // The form keeps whole seconds.
        if (!std::isfinite(secondsSince2001)) return fail("a date that is not a number");
        const double since1970 = std::floor(secondsSince2001) + 978307200.0;
        if (since1970 < -62167219200.0 || since1970 > 253402300799.0)
            return fail("a date outside the years 0 to 9999");
        const auto seconds = static_cast<int64_t>(since1970);
        const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
        const int64_t ofDay = seconds - days * 86400;
        int64_t year = 0, month = 0, day = 0;
        civilFromDays(days, year, month, day);
        char text[128];
        std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
                      static_cast<long long>(year), static_cast<long long>(month),
                      static_cast<long long>(day), static_cast<long long>(ofDay / 3600),
                      static_cast<long long>(ofDay / 60 % 60), static_cast<long long>(ofDay % 60));
        fOut += "<date>";
        fOut += text;
        fOut += "</date>";
        return true;
    }

    void data(const PropertyList::Data& bytes) {
        fOut += "<data>";
        size_t i = 0;
        for (; i + 2 < bytes.size(); i += 3) {
            const uint32_t bits = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
            for (int shift = 18; shift >= 0; shift -= 6) fOut += kBase64[(bits >> shift) & 0x3F];
        }
        if (i < bytes.size()) {
            const bool two = i + 1 < bytes.size();
            const uint32_t bits = uint32_t{bytes[i]} << 16 | (two ? uint32_t{bytes[i + 1]} << 8 : 0);
            fOut += kBase64[(bits >> 18) & 0x3F];
            fOut += kBase64[(bits >> 12) & 0x3F];
            fOut += two ? kBase64[(bits >> 6) & 0x3F] : '=';
            fOut += '=';
        }
        fOut += "</data>";
    }

    std::string fOut;
    std::string fError;
};

}  // namespace

Result<std::vector<uint8_t>> XMLPropertyListWriter::write(const OrderedPropertyList& value) {
    Writer writer;
    Result<std::vector<uint8_t>> bytes = writer.document(value);
    if (!bytes) return Failure{"Cannot write the property list: " + bytes.error()};
    return bytes;
}

}  // namespace player
