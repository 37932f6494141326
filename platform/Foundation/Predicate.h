// A condition over an object's properties: AND, OR and NOT over comparisons of a key path with a
// constant or with another key path. Predicates are immutable and shared; they print in the
// familiar predicate format (PredicateParser reads it back) and archive as a property list.
// Any thread: a predicate is never changed once made.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"

class KeyValueCoding;

// One side of a comparison: a key path of the evaluated object, or a constant number, boolean or
// string.
class PredicateExpression {
public:
    enum class Type { KeyPath, Constant };

    static PredicateExpression keyPath(std::string path);
    static PredicateExpression constant(PropertyList value);

    Type type() const { return mType; }
    // The key path's text for a key path, the constant for a constant.
    const PropertyList& value() const { return mValue; }
    const std::string& keyPathText() const;

    // The key path's value in the object, or the constant; a missing key is a Failure.
    Result<PropertyList> evaluate(const KeyValueCoding& object) const;
    std::string format() const;

    bool operator==(const PredicateExpression&) const = default;

private:
    PredicateExpression(Type type, const PropertyList& value);

    Type mType;
    PropertyList mValue;
};

class Predicate {
public:
    Predicate(const Predicate&) = delete;
    Predicate& operator=(const Predicate&) = delete;

    enum class Kind { And, Or, Not, Comparison };
    enum class Operator {
        EqualTo,
        NotEqualTo,
        LessThan,
        LessThanOrEqualTo,
        GreaterThan,
        GreaterThanOrEqualTo,
        BeginsWith,
        EndsWith,
        Contains,
        Like,  // * matches any run of characters, ? one character
    };
    // [c] and [d] of the format.
    static constexpr unsigned kCaseInsensitive = 1;
    static constexpr unsigned kDiacriticInsensitive = 2;

    using Pointer = std::shared_ptr<const Predicate>;

    static Pointer comparison(PredicateExpression left, Operator op, PredicateExpression right,
                              unsigned options = 0);
    // An empty AND holds for every object, an empty OR for none.
    static Pointer andPredicate(std::vector<Pointer> subpredicates);
    static Pointer orPredicate(std::vector<Pointer> subpredicates);
    static Pointer notPredicate(Pointer subpredicate);

    Kind kind() const { return mKind; }
    // Compounds only.
    const std::vector<Pointer>& subpredicates() const { return mSubpredicates; }
    // Comparisons only.
    const PredicateExpression& leftExpression() const { return mLeft; }
    const PredicateExpression& rightExpression() const { return mRight; }
    Operator predicateOperator() const { return mOperator; }
    unsigned options() const { return mOptions; }

    // A Failure names what could not be compared: a key the object lacks, an order or a text
    // operator between values that have none.
    Result<bool> evaluateWithObject(const KeyValueCoding& object) const;

    // trackBPM > 120 AND (trackName CONTAINS[cd] "slow" OR NOT assigned == YES)
    std::string predicateFormat() const;

    // A dictionary tree of plain property-list values; unarchive refuses a malformed one.
    PropertyList archive() const;
    static Result<Pointer> unarchive(const PropertyList& archived);

    bool isEqual(const Predicate& other) const;

private:
    struct Token {};

public:
    // Made only through the factories above.
    Predicate(Token, Kind kind, std::vector<Pointer> subpredicates, PredicateExpression left, Operator op,
              PredicateExpression right, unsigned options);

private:
    static Pointer make(Kind kind, std::vector<Pointer> subpredicates, PredicateExpression left, Operator op,
                        PredicateExpression right, unsigned options);
    static Result<Pointer> unarchive(const PropertyList& archived, int depth);

    Kind mKind;
    std::vector<Pointer> mSubpredicates;
    PredicateExpression mLeft;
    PredicateExpression mRight;
    Operator mOperator{Operator::EqualTo};
    unsigned mOptions{0};
};

// The format's words for the operators ("==", "CONTAINS", …), shared with the parser.
const char* predicateOperatorFormat(Predicate::Operator op);
