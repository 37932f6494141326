#include "platform/Foundation/Predicate.h"

#include <QString>
#include <array>
#include <charconv>
#include <string_view>

#include "platform/Foundation/KeyValueCoding.h"
#include "platform/Foundation/PredicateParser.h"

namespace {

struct OperatorName {
    Predicate::Operator op;
    const char* format;
};

constexpr std::array<OperatorName, 10> kOperatorNames{{
    {Predicate::Operator::EqualTo, "=="},
    {Predicate::Operator::NotEqualTo, "!="},
    {Predicate::Operator::LessThan, "<"},
    {Predicate::Operator::LessThanOrEqualTo, "<="},
    {Predicate::Operator::GreaterThan, ">"},
    {Predicate::Operator::GreaterThanOrEqualTo, ">="},
    {Predicate::Operator::BeginsWith, "BEGINSWITH"},
    {Predicate::Operator::EndsWith, "ENDSWITH"},
    {Predicate::Operator::Contains, "CONTAINS"},
    {Predicate::Operator::Like, "LIKE"},
}};

struct KindName {
    Predicate::Kind kind;
    const char* name;
};

constexpr std::array<KindName, 4> kKindNames{{
    {Predicate::Kind::And, "AND"},
    {Predicate::Kind::Or, "OR"},
    {Predicate::Kind::Not, "NOT"},
    {Predicate::Kind::Comparison, "Comparison"},
}};

constexpr int kMaximumArchiveDepth = 200;

bool isNumber(const PropertyList& value) {
    return value.isNumber() || value.type() == PropertyList::Type::Boolean;
}

bool isConstantType(const PropertyList& value) {
    return isNumber(value) || value.type() == PropertyList::Type::String;
}

const char* typeName(const PropertyList& value) {
    if (isNumber(value)) return "a number";
    switch (value.type()) {
        case PropertyList::Type::String:
            return "a string";
        case PropertyList::Type::Array:
            return "an array";
        case PropertyList::Type::Dictionary:
            return "a dictionary";
        case PropertyList::Type::Date:
            return "a date";
        case PropertyList::Type::Data:
            return "data";
        default:
            return "a value";
    }
}

// -1, 0 or 1.
int compareNumbers(const PropertyList& a, const PropertyList& b) {
    const auto ia = a.integer(), ib = b.integer();
    if (ia && ib && a.type() != PropertyList::Type::Real && b.type() != PropertyList::Type::Real)
        return *ia < *ib ? -1 : (*ia > *ib ? 1 : 0);
    const double da = a.real().value_or(0), db = b.real().value_or(0);
    return da < db ? -1 : (da > db ? 1 : 0);
}

QString folded(const std::string& text, unsigned options) {
    QString s = QString::fromStdString(text);
    if (options & Predicate::kDiacriticInsensitive) {
        s = s.normalized(QString::NormalizationForm_D);
        QString kept;
        kept.reserve(s.size());
        for (QChar c : s) {
            const auto category = c.category();
            if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
                category != QChar::Mark_Enclosing)
                kept.append(c);
        }
        s = kept.normalized(QString::NormalizationForm_C);
    }
    if (options & Predicate::kCaseInsensitive) s = s.toCaseFolded();
    return s;
}

// Wildcards * and ? over the whole text; iterative, so no pattern can blow the stack.
bool like(const QString& text, const QString& pattern) {
    qsizetype t = 0, p = 0, starP = -1, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starT = t;
        } else if (starP >= 0) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

Result<bool> compare(const PropertyList& a, Predicate::Operator op, const PropertyList& b, unsigned options) {
    using Op = Predicate::Operator;
    const bool numbers = isNumber(a) && isNumber(b);
    const bool strings = a.string() && b.string();
    auto mismatch = [&]() -> Result<bool> {
        return Failure{std::string("cannot apply ") + predicateOperatorFormat(op) + " to " + typeName(a) +
                       " and " + typeName(b)};
    };
    switch (op) {
        case Op::EqualTo:
        case Op::NotEqualTo: {
            bool equal = false;
            if (numbers)
                equal = compareNumbers(a, b) == 0;
            else if (strings)
                equal = folded(*a.string(), options) == folded(*b.string(), options);
            else
                equal = a == b;
            return op == Op::EqualTo ? equal : !equal;
        }
        case Op::LessThan:
        case Op::LessThanOrEqualTo:
        case Op::GreaterThan:
        case Op::GreaterThanOrEqualTo: {
            int order = 0;
            if (numbers)
                order = compareNumbers(a, b);
            else if (strings)
                order = QString::compare(folded(*a.string(), options), folded(*b.string(), options));
            else
                return mismatch();
            if (op == Op::LessThan) return order < 0;
            if (op == Op::LessThanOrEqualTo) return order <= 0;
            if (op == Op::GreaterThan) return order > 0;
            return order >= 0;
        }
        case Op::BeginsWith:
        case Op::EndsWith:
        case Op::Contains:
        case Op::Like: {
            if (!strings) return mismatch();
            const QString text = folded(*a.string(), options), other = folded(*b.string(), options);
            if (op == Op::BeginsWith) return text.startsWith(other);
            if (op == Op::EndsWith) return text.endsWith(other);
            if (op == Op::Contains) return text.contains(other);
            return like(text, other);
        }
    }
    return mismatch();
}

bool needsParentheses(const Predicate& p) {
    return (p.kind() == Predicate::Kind::And || p.kind() == Predicate::Kind::Or) &&
           p.subpredicates().size() > 1;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string realText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    // Kept recognisable as a real when read back.
    if (text.find_first_of(".eni") == std::string::npos) text += ".0";
    return text;
}

const PropertyList* member(const PropertyList& dictionary, std::string_view key) {
    return dictionary.objectForKey(key);
}

Result<PredicateExpression> unarchiveExpression(const PropertyList* archived) {
    if (!archived || !archived->dictionary()) return Failure{"an expression is not a dictionary"};
    if (const PropertyList* path = member(*archived, "KeyPath")) {
        if (!path->string() || path->string()->empty()) return Failure{"a key path is not a text"};
        return PredicateExpression::keyPath(*path->string());
    }
    if (const PropertyList* constant = member(*archived, "Constant")) {
        if (!isConstantType(*constant)) return Failure{"a constant is neither a number nor a text"};
        return PredicateExpression::constant(*constant);
    }
    return Failure{"an expression has neither key path nor constant"};
}

PropertyList archiveExpression(const PredicateExpression& e) {
    return PropertyList::Dictionary{
        {e.type() == PredicateExpression::Type::KeyPath ? "KeyPath" : "Constant", e.value()}};
}

}  // namespace

const char* predicateOperatorFormat(Predicate::Operator op) {
    for (const auto& entry : kOperatorNames)
        if (entry.op == op) return entry.format;
    return "?";
}

// ---------------------------------------------------------------------------------------------

PredicateExpression::PredicateExpression(Type type, const PropertyList& value) : mType(type), mValue(value) {}

PredicateExpression PredicateExpression::keyPath(std::string path) {
    return PredicateExpression(Type::KeyPath, PropertyList(std::move(path)));
}

PredicateExpression PredicateExpression::constant(PropertyList value) {
    return PredicateExpression(Type::Constant, value);
}

const std::string& PredicateExpression::keyPathText() const {
    static const std::string none;
    return mType == Type::KeyPath && mValue.string() ? *mValue.string() : none;
}

Result<PropertyList> PredicateExpression::evaluate(const KeyValueCoding& object) const {
    if (mType == Type::Constant) return mValue;
    if (auto value = object.valueForKeyPath(keyPathText())) return *value;
    return Failure{"the object has no value for the key path " + keyPathText()};
}

std::string PredicateExpression::format() const {
    if (mType == Type::KeyPath) {
        const std::string& path = keyPathText();
        return PredicateParser::isReservedWord(path) ? "#" + path : path;
    }
    if (mValue.type() == PropertyList::Type::Boolean) return *mValue.boolean() ? "YES" : "NO";
    if (mValue.type() == PropertyList::Type::Real) return realText(*mValue.real());
    if (mValue.type() == PropertyList::Type::Integer) return std::to_string(*mValue.integer());
    if (mValue.type() == PropertyList::Type::UnsignedInteger)
        return std::to_string(*mValue.unsignedInteger());
    if (mValue.string()) return quoted(*mValue.string());
    return "nil";
}

// ---------------------------------------------------------------------------------------------

Predicate::Predicate(Token, Kind kind, std::vector<Pointer> subpredicates, PredicateExpression left,
                     Operator op, PredicateExpression right, unsigned options)
    : mKind(kind),
      mSubpredicates(std::move(subpredicates)),
      mLeft(std::move(left)),
      mRight(std::move(right)),
      mOperator(op),
      mOptions(options & (kCaseInsensitive | kDiacriticInsensitive)) {}

Predicate::Pointer Predicate::make(Kind kind, std::vector<Pointer> subpredicates, PredicateExpression left,
                                   Operator op, PredicateExpression right, unsigned options) {
    return std::make_shared<const Predicate>(Token{}, kind, std::move(subpredicates), std::move(left), op,
                                             std::move(right), options);
}

Predicate::Pointer Predicate::comparison(PredicateExpression left, Operator op, PredicateExpression right,
                                         unsigned options) {
    return make(Kind::Comparison, {}, std::move(left), op, std::move(right), options);
}

Predicate::Pointer Predicate::andPredicate(std::vector<Pointer> subpredicates) {
    std::erase(subpredicates, nullptr);
    return make(Kind::And, std::move(subpredicates), PredicateExpression::constant(true), Operator::EqualTo,
                PredicateExpression::constant(true), 0);
}

Predicate::Pointer Predicate::orPredicate(std::vector<Pointer> subpredicates) {
    std::erase(subpredicates, nullptr);
    return make(Kind::Or, std::move(subpredicates), PredicateExpression::constant(true), Operator::EqualTo,
                PredicateExpression::constant(true), 0);
}

Predicate::Pointer Predicate::notPredicate(Pointer subpredicate) {
    std::vector<Pointer> subs;
    if (subpredicate) subs.push_back(std::move(subpredicate));
    return make(Kind::Not, std::move(subs), PredicateExpression::constant(true), Operator::EqualTo,
                PredicateExpression::constant(true), 0);
}

Result<bool> Predicate::evaluateWithObject(const KeyValueCoding& object) const {
    switch (mKind) {
        case Kind::And:
        case Kind::Or:
            for (const Pointer& sub : mSubpredicates) {
                auto result = sub->evaluateWithObject(object);
                if (!result) return result;
                if (result.value() == (mKind == Kind::Or)) return result.value();
            }
            return mKind == Kind::And;
        case Kind::Not: {
            if (mSubpredicates.empty()) return Failure{"NOT without a condition"};
            auto result = mSubpredicates.front()->evaluateWithObject(object);
            if (!result) return result;
            return !result.value();
        }
        case Kind::Comparison: {
            auto left = mLeft.evaluate(object);
            if (!left) return Failure{left.error()};
            auto right = mRight.evaluate(object);
            if (!right) return Failure{right.error()};
            return compare(left.value(), mOperator, right.value(), mOptions);
        }
    }
    return Failure{"unknown predicate"};
}

std::string Predicate::predicateFormat() const {
    auto sub = [](const Pointer& p) {
        return needsParentheses(*p) ? "(" + p->predicateFormat() + ")" : p->predicateFormat();
    };
    switch (mKind) {
        case Kind::And:
        case Kind::Or: {
            if (mSubpredicates.empty()) return mKind == Kind::And ? "TRUEPREDICATE" : "FALSEPREDICATE";
            if (mSubpredicates.size() == 1) return mSubpredicates.front()->predicateFormat();
            std::string text;
            for (const Pointer& p : mSubpredicates) {
                if (!text.empty()) text += mKind == Kind::And ? " AND " : " OR ";
                text += sub(p);
            }
            return text;
        }
        case Kind::Not:
            return mSubpredicates.empty() ? "NOT TRUEPREDICATE" : "NOT " + sub(mSubpredicates.front());
        case Kind::Comparison: {
            std::string op = predicateOperatorFormat(mOperator);
            if (mOptions) {
                op += "[";
                if (mOptions & kCaseInsensitive) op += "c";
                if (mOptions & kDiacriticInsensitive) op += "d";
                op += "]";
            }
            return mLeft.format() + " " + op + " " + mRight.format();
        }
    }
    return {};
}

PropertyList Predicate::archive() const {
    const char* kind = "Comparison";
    for (const auto& entry : kKindNames)
        if (entry.kind == mKind) kind = entry.name;
    PropertyList::Dictionary d{{"Kind", kind}};
    if (mKind == Kind::Comparison) {
        d["Left"] = archiveExpression(mLeft);
        d["Operator"] = predicateOperatorFormat(mOperator);
        d["Right"] = archiveExpression(mRight);
        d["Options"] = static_cast<int64_t>(mOptions);
    } else {
        PropertyList::Array subs;
        for (const Pointer& p : mSubpredicates) subs.push_back(p->archive());
        d["Subpredicates"] = std::move(subs);
    }
    return d;
}

Result<Predicate::Pointer> Predicate::unarchive(const PropertyList& archived) {
    return unarchive(archived, 0);
}

Result<Predicate::Pointer> Predicate::unarchive(const PropertyList& archived, int depth) {
    if (depth > kMaximumArchiveDepth) return Failure{"the condition is nested too deeply"};
    const PropertyList* kindValue = member(archived, "Kind");
    if (!kindValue || !kindValue->string()) return Failure{"a condition has no kind"};
    const KindName* kind = nullptr;
    for (const auto& entry : kKindNames)
        if (*kindValue->string() == entry.name) kind = &entry;
    if (!kind) return Failure{"unknown condition kind " + *kindValue->string()};

    if (kind->kind == Kind::Comparison) {
        auto left = unarchiveExpression(member(archived, "Left"));
        if (!left) return Failure{left.error()};
        auto right = unarchiveExpression(member(archived, "Right"));
        if (!right) return Failure{right.error()};
        const PropertyList* opValue = member(archived, "Operator");
        const OperatorName* op = nullptr;
        for (const auto& entry : kOperatorNames)
            if (opValue && opValue->string() && *opValue->string() == entry.format) op = &entry;
        if (!op) return Failure{"a comparison has no known operator"};
        const PropertyList* optionsValue = member(archived, "Options");
        const int64_t options = optionsValue ? optionsValue->integer().value_or(-1) : 0;
        if (options < 0 || options > (kCaseInsensitive | kDiacriticInsensitive))
            return Failure{"a comparison has unknown options"};
        return comparison(std::move(left).value(), op->op, std::move(right).value(),
                          static_cast<unsigned>(options));
    }

    const PropertyList* subsValue = member(archived, "Subpredicates");
    if (!subsValue || !subsValue->array()) return Failure{"a compound condition has no list"};
    std::vector<Pointer> subs;
    for (const PropertyList& item : *subsValue->array()) {
        auto sub = unarchive(item, depth + 1);
        if (!sub) return sub;
        subs.push_back(std::move(sub).value());
    }
    if (kind->kind == Kind::Not) {
        if (subs.size() != 1) return Failure{"NOT needs exactly one condition"};
        return notPredicate(std::move(subs.front()));
    }
    return kind->kind == Kind::And ? andPredicate(std::move(subs)) : orPredicate(std::move(subs));
}

bool Predicate::isEqual(const Predicate& other) const {
    if (mKind != other.mKind) return false;
    if (mKind == Kind::Comparison)
        return mLeft == other.mLeft && mRight == other.mRight && mOperator == other.mOperator &&
               mOptions == other.mOptions;
    if (mSubpredicates.size() != other.mSubpredicates.size()) return false;
    for (size_t i = 0; i < mSubpredicates.size(); ++i)
        if (!mSubpredicates[i]->isEqual(*other.mSubpredicates[i])) return false;
    return true;
}
