#include "platform/Foundation/PropertyListXMLWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/Foundation/UTF8.h"

namespace {

constexpr std::string_view kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";
// Base64 lines end by column 76, counting a tab as eight.
size_t base64LineLength(int depth) {
    return static_cast<size_t>(std::max(76 - 8 * depth, 16));
}

void appendEscaped(std::string& out, std::string_view text) {
    size_t from = 0;
    for (size_t at = text.find_first_of("<>&"); at != std::string_view::npos;
         at = text.find_first_of("<>&", from)) {
        out.append(text.substr(from, at - from));
        out += text[at] == '<' ? "&lt;" : text[at] == '>' ? "&gt;" : "&amp;";
        from = at + 1;
    }
    out.append(text.substr(from));
}

std::string base64(const PropertyList::Data& data) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    for (size_t i = 0; i < data.size(); i += 3) {
        const size_t left = data.size() - i;
        const uint32_t bits = uint32_t{data[i]} << 16 | (left > 1 ? uint32_t{data[i + 1]} << 8 : 0) |
                              (left > 2 ? uint32_t{data[i + 2]} : 0);
        out += kAlphabet[(bits >> 18) & 0x3F];
        out += kAlphabet[(bits >> 12) & 0x3F];
        out += left > 1 ? kAlphabet[(bits >> 6) & 0x3F] : '=';
        out += left > 2 ? kAlphabet[bits & 0x3F] : '=';
    }
    return out;
}

// The civil date of a day counted from 1 January 1970.
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

void appendTwoDigits(std::string& out, unsigned n) {
    out += static_cast<char>('0' + n / 10);
    out += static_cast<char>('0' + n % 10);
}

}  // namespace

bool PropertyListXMLWriter::fail(std::string message) {
    if (mError.empty()) mError = std::move(message);
    return false;
}

bool PropertyListXMLWriter::text(const char* element, const std::string& text, int depth) {
    if (!isValidUTF8WithoutNul(text)) return fail(std::string(element) + " is not UTF-8 text");
    indent(depth);
    mOut += '<';
    mOut += element;
    mOut += '>';
    appendEscaped(mOut, text);
    mOut += "</";
    mOut += element;
    mOut += ">\n";
    return true;
}

bool PropertyListXMLWriter::value(const PropertyList& value, int depth) {
    if (depth > mMaximumDepth) return fail("property list nested too deeply");
    using Type = PropertyList::Type;
    switch (value.type()) {
        case Type::Dictionary: {
            const PropertyList::Dictionary& dictionary = *value.dictionary();
            indent(depth);
            if (dictionary.empty()) {
                mOut += "<dict/>\n";
                return true;
            }
            mOut += "<dict>\n";
            for (const auto& [key, item] : dictionary)
                if (!text("key", key, depth + 1) || !this->value(item, depth + 1)) return false;
            indent(depth);
            mOut += "</dict>\n";
            return true;
        }
        case Type::Array: {
            const PropertyList::Array& array = *value.array();
            indent(depth);
            if (array.empty()) {
                mOut += "<array/>\n";
                return true;
            }
            mOut += "<array>\n";
            for (const PropertyList& item : array)
                if (!this->value(item, depth + 1)) return false;
            indent(depth);
            mOut += "</array>\n";
            return true;
        }
        case Type::String:
            return text("string", *value.string(), depth);
        case Type::Integer: {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, *value.integer()).ptr;
            indent(depth);
            mOut += "<integer>";
            mOut.append(digits, end);
            mOut += "</integer>\n";
            return true;
        }
        case Type::UnsignedInteger:
            // Readers take integers in the signed range; the value would come back as another.
            return fail("unsigned integer " + std::to_string(*value.unsignedInteger()) +
                        " is above the range a property list stores exactly");
        case Type::Real: {
            const double real = *value.real();
            indent(depth);
            mOut += "<real>";
            if (std::isnan(real)) {
                mOut += "nan";
            } else if (real == 0) {
                mOut += std::signbit(real) ? "-0.0" : "0.0";
            } else if (std::isinf(real)) {
                mOut += real > 0 ? "+infinity" : "-infinity";
            } else {
                char digits[32];
                const auto end =
                    std::to_chars(digits, digits + sizeof digits, real, std::chars_format::general, 17).ptr;
                mOut.append(digits, end);
            }
            mOut += "</real>\n";
            return true;
        }
        case Type::Boolean:
            indent(depth);
            mOut += *value.boolean() ? "<true/>\n" : "<false/>\n";
            return true;
        case Type::Date: {
            // Whole seconds, toward zero, within the 32-bit range that binary lists keep too.
            const double seconds = value.date()->seconds;
            if (!std::isfinite(seconds) || seconds < std::numeric_limits<int32_t>::min() ||
                seconds >= static_cast<double>(std::numeric_limits<int32_t>::max()) + 1.0)
                return fail("date out of range");
            const int64_t whole = static_cast<int64_t>(seconds) + 978307200;  // from 1970
            int64_t days = whole / 86400;
            int64_t rest = whole % 86400;
            if (rest < 0) {
                rest += 86400;
                --days;
            }
            int64_t year = 0;
            unsigned month = 0, day = 0;
            civilFromDays(days, year, month, day);
            indent(depth);
            mOut += "<date>";
            appendTwoDigits(mOut, static_cast<unsigned>(year / 100));  // 1901 to 2069 in this range
            appendTwoDigits(mOut, static_cast<unsigned>(year % 100));
            mOut += '-';
            appendTwoDigits(mOut, month);
            mOut += '-';
            appendTwoDigits(mOut, day);
            mOut += 'T';
            appendTwoDigits(mOut, static_cast<unsigned>(rest / 3600));
            mOut += ':';
            appendTwoDigits(mOut, static_cast<unsigned>(rest / 60 % 60));
            mOut += ':';
            appendTwoDigits(mOut, static_cast<unsigned>(rest % 60));
            mOut += "Z</date>\n";
            return true;
        }
        case Type::Data: {
            const std::string encoded = base64(*value.data());
            indent(depth);
            mOut += "<data>\n";
            const size_t line = base64LineLength(depth);
            for (size_t at = 0; at < encoded.size(); at += line) {
                indent(depth);
                mOut.append(encoded, at, line);
                mOut += '\n';
            }
            indent(depth);
            mOut += "</data>\n";
            return true;
        }
    }
    return fail("unsupported property-list value");
}

Result<PropertyList::Data> PropertyListXMLWriter::write(const PropertyList& plist) {
    mOut.assign(kHeader);
    mError.clear();
    if (!value(plist, 0)) return Failure{mError};
    mOut += "</plist>\n";
    return PropertyList::Data(mOut.begin(), mOut.end());
}
