// Reads the predicate format that Predicate::predicateFormat prints: AND, OR and NOT (also &&, ||
// and !) with parentheses; comparisons ==, =, !=, <>, <, <=, >, >=, BEGINSWITH, ENDSWITH,
// CONTAINS and LIKE, each with an optional [c], [d] or [cd]; key paths (#word for a reserved
// word), quoted strings, numbers, YES, NO, TRUE and FALSE; TRUEPREDICATE and FALSEPREDICATE.
// Words are read in any case. Any thread.
#pragma once

#include <string_view>

#include "platform/Foundation/Predicate.h"
#include "platform/Foundation/Result.h"

class PredicateParser {
public:
    PredicateParser() = delete;

    // Text nested deeper than this is refused.
    static constexpr int kMaximumDepth = 100;

    // A Failure says what was expected and at which character.
    static Result<Predicate::Pointer> predicateWithFormat(std::string_view format);

    // Words that cannot stand as a bare key path.
    static bool isReservedWord(std::string_view word);
};
