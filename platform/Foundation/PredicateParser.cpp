#include "platform/Foundation/PredicateParser.h"

#include <array>
#include <cctype>
#include <charconv>
#include <string>

namespace {

constexpr std::array<std::string_view, 23> kReservedWords{
    "AND",  "OR",      "NOT", "TRUEPREDICATE", "FALSEPREDICATE", "BEGINSWITH", "ENDSWITH", "CONTAINS",
    "LIKE", "YES",     "NO",  "TRUE",          "FALSE",          "NIL",        "NULL",     "MATCHES",
    "IN",   "BETWEEN", "ANY", "ALL",           "SOME",           "NONE",       "SELF"};

struct Symbol {
    std::string_view text;
    Predicate::Operator op;
};

// Longest first, so "<=" is not read as "<".
constexpr std::array<Symbol, 10> kSymbols{{
    {"==", Predicate::Operator::EqualTo},
    {"!=", Predicate::Operator::NotEqualTo},
    {"<>", Predicate::Operator::NotEqualTo},
    {"<=", Predicate::Operator::LessThanOrEqualTo},
    {"=<", Predicate::Operator::LessThanOrEqualTo},
    {">=", Predicate::Operator::GreaterThanOrEqualTo},
    {"=>", Predicate::Operator::GreaterThanOrEqualTo},
    {"=", Predicate::Operator::EqualTo},
    {"<", Predicate::Operator::LessThan},
    {">", Predicate::Operator::GreaterThan},
}};

constexpr std::array<Symbol, 4> kWordOperators{{
    {"BEGINSWITH", Predicate::Operator::BeginsWith},
    {"ENDSWITH", Predicate::Operator::EndsWith},
    {"CONTAINS", Predicate::Operator::Contains},
    {"LIKE", Predicate::Operator::Like},
}};

bool equalsWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool isWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
}

class Reader {
public:
    explicit Reader(std::string_view text) : mText(text) {}

    Result<Predicate::Pointer> parse() {
        auto p = orExpression(0);
        if (!p) return p;
        skipBlanks();
        if (mAt != mText.size()) return fail("the end of the condition");
        return p;
    }

private:
    Failure fail(const std::string& expected) const {
        return Failure{"expected " + expected + " at character " + std::to_string(mAt)};
    }

    void skipBlanks() {
        while (mAt < mText.size() && std::isspace(static_cast<unsigned char>(mText[mAt]))) ++mAt;
    }

    // The bare word at the reading position, without consuming it.
    std::string_view peekWord() {
        skipBlanks();
        size_t end = mAt;
        if (end < mText.size() && isWordStart(mText[end]))
            while (end < mText.size() && isWordChar(mText[end])) ++end;
        return mText.substr(mAt, end - mAt);
    }

    bool takeWord(std::string_view word) {
        if (!equalsWord(peekWord(), word)) return false;
        mAt += word.size();
        return true;
    }

    bool takeSymbol(std::string_view symbol) {
        skipBlanks();
        if (mText.substr(mAt, symbol.size()) != symbol) return false;
        mAt += symbol.size();
        return true;
    }

    Result<Predicate::Pointer> orExpression(int depth) {
        if (depth > PredicateParser::kMaximumDepth) return Failure{"the condition is nested too deeply"};
        auto first = andExpression(depth);
        if (!first) return first;
        std::vector<Predicate::Pointer> subs{std::move(first).value()};
        while (takeWord("OR") || takeSymbol("||")) {
            auto next = andExpression(depth);
            if (!next) return next;
            subs.push_back(std::move(next).value());
        }
        return subs.size() == 1 ? subs.front() : Predicate::orPredicate(std::move(subs));
    }

    Result<Predicate::Pointer> andExpression(int depth) {
        auto first = notExpression(depth);
        if (!first) return first;
        std::vector<Predicate::Pointer> subs{std::move(first).value()};
        while (takeWord("AND") || takeSymbol("&&")) {
            auto next = notExpression(depth);
            if (!next) return next;
            subs.push_back(std::move(next).value());
        }
        return subs.size() == 1 ? subs.front() : Predicate::andPredicate(std::move(subs));
    }

    Result<Predicate::Pointer> notExpression(int depth) {
        if (depth > PredicateParser::kMaximumDepth) return Failure{"the condition is nested too deeply"};
        skipBlanks();
        const bool bang = mAt + 1 < mText.size() && mText[mAt] == '!' && mText[mAt + 1] != '=';
        if (bang) ++mAt;
        if (bang || takeWord("NOT")) {
            auto sub = notExpression(depth + 1);
            if (!sub) return sub;
            return Predicate::notPredicate(std::move(sub).value());
        }
        return primary(depth);
    }

    Result<Predicate::Pointer> primary(int depth) {
        if (takeSymbol("(")) {
            auto inner = orExpression(depth + 1);
            if (!inner) return inner;
            if (!takeSymbol(")")) return fail("\")\"");
            return inner;
        }
        if (takeWord("TRUEPREDICATE")) return Predicate::andPredicate({});
        if (takeWord("FALSEPREDICATE")) return Predicate::orPredicate({});
        return comparison();
    }

    Result<Predicate::Pointer> comparison() {
        auto left = expression();
        if (!left) return Failure{left.error()};
        std::optional<Predicate::Operator> op;
        for (const Symbol& s : kSymbols)
            if (!op && takeSymbol(s.text)) op = s.op;
        for (const Symbol& s : kWordOperators)
            if (!op && takeWord(s.text)) op = s.op;
        if (!op) return fail("a comparison operator");
        unsigned options = 0;
        if (takeSymbol("[")) {
            while (mAt < mText.size() && mText[mAt] != ']') {
                const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(mText[mAt])));
                if (c == 'c')
                    options |= Predicate::kCaseInsensitive;
                else if (c == 'd')
                    options |= Predicate::kDiacriticInsensitive;
                else
                    return fail("c or d");
                ++mAt;
            }
            if (!takeSymbol("]")) return fail("\"]\"");
        }
        auto right = expression();
        if (!right) return Failure{right.error()};
        return Predicate::comparison(std::move(left).value(), *op, std::move(right).value(), options);
    }

    Result<PredicateExpression> expression() {
        skipBlanks();
        if (mAt >= mText.size()) return fail("a key path or a constant");
        const char c = mText[mAt];
        if (c == '"' || c == '\'') return string(c);
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') return number();
        if (c == '#') {
            ++mAt;
            const std::string_view word = peekWord();
            if (word.empty()) return fail("a key path after \"#\"");
            mAt += word.size();
            return PredicateExpression::keyPath(std::string(word));
        }
        const std::string_view word = peekWord();
        if (word.empty()) return fail("a key path or a constant");
        if (equalsWord(word, "YES") || equalsWord(word, "TRUE")) {
            mAt += word.size();
            return PredicateExpression::constant(true);
        }
        if (equalsWord(word, "NO") || equalsWord(word, "FALSE")) {
            mAt += word.size();
            return PredicateExpression::constant(false);
        }
        if (PredicateParser::isReservedWord(word))
            return fail("a key path or a constant, not " + std::string(word));
        mAt += word.size();
        return PredicateExpression::keyPath(std::string(word));
    }

    Result<PredicateExpression> string(char quote) {
        ++mAt;
        std::string text;
        while (mAt < mText.size() && mText[mAt] != quote) {
            char c = mText[mAt++];
            if (c == '\\') {
                if (mAt >= mText.size()) break;
                c = mText[mAt++];
                if (c == 'n')
                    c = '\n';
                else if (c == 't')
                    c = '\t';
                else if (c == 'r')
                    c = '\r';
            }
            text += c;
        }
        if (mAt >= mText.size()) return fail("the closing quote");
        ++mAt;
        return PredicateExpression::constant(std::move(text));
    }

    Result<PredicateExpression> number() {
        const size_t start = mAt;
        if (mText[mAt] == '+' || mText[mAt] == '-') ++mAt;
        bool real = false;
        while (mAt < mText.size()) {
            const char c = mText[mAt];
            if (std::isdigit(static_cast<unsigned char>(c))) {
                ++mAt;
            } else if (c == '.' || c == 'e' || c == 'E') {
                real = true;
                ++mAt;
                if ((c == 'e' || c == 'E') && mAt < mText.size() && (mText[mAt] == '-' || mText[mAt] == '+'))
                    ++mAt;
            } else {
                break;
            }
        }
        std::string_view digits = mText.substr(start, mAt - start);
        if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
        const char* begin = digits.data();
        const char* end = digits.data() + digits.size();
        if (!real) {
            int64_t value = 0;
            auto [ptr, ec] = std::from_chars(begin, end, value);
            if (ec == std::errc() && ptr == end) return PredicateExpression::constant(value);
        } else {
            double value = 0;
            auto [ptr, ec] = std::from_chars(begin, end, value);
            if (ec == std::errc() && ptr == end) return PredicateExpression::constant(value);
        }
        mAt = start;
        return fail("a number");
    }

    std::string_view mText;
    size_t mAt{0};
};

}  // namespace

Result<Predicate::Pointer> PredicateParser::predicateWithFormat(std::string_view format) {
    return Reader(format).parse();
}

bool PredicateParser::isReservedWord(std::string_view word) {
    for (std::string_view reserved : kReservedWords)
        if (equalsWord(word, reserved)) return true;
    return false;
}
