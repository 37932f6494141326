#include "platform/Foundation/StringsTable.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/Carbon/TextEncoding.h"

namespace {

constexpr size_t kMaximumFileLength = size_t{16} << 20;

// Joins runs of UTF-16 units into UTF-8; a lone surrogate becomes U+FFFD.
class UTF16Joiner {
public:
    explicit UTF16Joiner(std::string& out) : mOut(out) {}
    ~UTF16Joiner() { flush(); }
    void add(uint16_t unit) { mUnits += static_cast<char16_t>(unit); }
    // Ends the current run.
    void flush() {
        mOut += UTF8FromUTF16(mUnits);
        mUnits.clear();
    }

private:
    std::string& mOut;
    std::u16string mUnits;
};

std::string decode(std::span<const uint8_t> bytes) {
    const bool little = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    const bool big = bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
    if (!little && !big) {
        if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
            bytes = bytes.subspan(3);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string out;
    UTF16Joiner joiner(out);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        joiner.add(little ? uint16_t(bytes[i] | bytes[i + 1] << 8) : uint16_t(bytes[i] << 8 | bytes[i + 1]));
    joiner.flush();
    return out;
}

class Parser {
public:
    explicit Parser(std::string_view text) : mText(text) {}

    template <class Add>
    void run(Add add) {
        for (;;) {
            skipSpaceAndComments();
            if (atEnd()) return;
            std::optional<std::string> key = token();
            std::optional<std::string> value;
            // A malformed entry is skipped from where its last good token ended, so the next
            // line's entry survives.
            size_t lastGood = mAt;
            if (key) {
                skipSpaceAndComments();
                if (peek() == '=') {
                    ++mAt;
                    skipSpaceAndComments();
                    value = token();
                    lastGood = mAt;
                    skipSpaceAndComments();
                } else {
                    value = key;  // "key"; stands for "key" = "key";
                }
            }
            if (key && value && peek() == ';') {
                ++mAt;
                add(std::move(*key), std::move(*value));
            } else {
                mAt = lastGood;
                skipLine();
            }
        }
    }

private:
    bool atEnd() const { return mAt >= mText.size(); }
    char peek() const { return atEnd() ? '\0' : mText[mAt]; }

    static bool isSpace(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    }
    static bool isBare(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '.' || c == '-' || c == '$' || c == ':' || c == '/';
    }

    void skipLine() {
        while (!atEnd() && mText[mAt] != '\n') ++mAt;
    }

    void skipSpaceAndComments() {
        while (!atEnd()) {
            if (isSpace(mText[mAt])) {
                ++mAt;
            } else if (mText.substr(mAt, 2) == "//") {
                skipLine();
            } else if (mText.substr(mAt, 2) == "/*") {
                const size_t end = mText.find("*/", mAt + 2);
                mAt = end == std::string_view::npos ? mText.size() : end + 2;
            } else {
                return;
            }
        }
    }

    std::optional<std::string> token() {
        if (peek() == '"') return quoted();
        const size_t start = mAt;
        while (!atEnd() && isBare(mText[mAt]) && mText.substr(mAt, 2) != "//" && mText.substr(mAt, 2) != "/*")
            ++mAt;
        if (mAt == start) return std::nullopt;
        return std::string(mText.substr(start, mAt - start));
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    std::optional<std::string> quoted() {
        ++mAt;  // the opening quote
        std::string out;
        UTF16Joiner joiner(out);
        while (!atEnd()) {
            const char c = mText[mAt++];
            if (c == '"') {
                joiner.flush();
                return out;
            }
            if (c != '\\') {
                joiner.flush();
                out += c;
                continue;
            }
            if (atEnd()) break;
            const char e = mText[mAt++];
            if (e == 'U' || e == 'u') {
                uint16_t unit = 0;
                int digits = 0;
                for (; digits < 4 && !atEnd() && hexValue(mText[mAt]) >= 0; ++digits)
                    unit = static_cast<uint16_t>(unit << 4 | hexValue(mText[mAt++]));
                if (digits == 0) return std::nullopt;
                joiner.add(unit);
                continue;
            }
            joiner.flush();
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                default:
                    out += e;
                    break;  // \" \\ and any other character as itself
            }
        }
        return std::nullopt;  // unterminated
    }

    std::string_view mText;
    size_t mAt{0};
};

}  // namespace

StringsTable StringsTable::parse(std::span<const uint8_t> bytes) {
    const std::string text = decode(bytes);
    StringsTable table;
    Parser(text).run([&](std::string key, std::string value) {
        table.mEntries.insert_or_assign(std::move(key), std::move(value));
    });
    return table;
}

Result<StringsTable> StringsTable::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Failure{path + ": cannot be read"};
    std::vector<uint8_t> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kMaximumFileLength) return Failure{path + ": larger than 16 MiB"};
    }
    return parse(bytes);
}

std::optional<std::string> StringsTable::lookup(std::string_view key) const {
    auto it = mEntries.find(key);
    if (it == mEntries.end()) return std::nullopt;
    return it->second;
}
