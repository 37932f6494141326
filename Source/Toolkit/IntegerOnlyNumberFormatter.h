// The formatter of a seconds field: whole numbers from 1 to 300 only. A refused edit beeps and
// says why, so the field never holds text the seconds setting would not use.
#pragma once

#include <functional>

#include "platform/AppKit/Formatter.h"

class IntegerOnlyNumberFormatter : public NSFormatter {
public:
    static constexpr long kMinimum = 1;
    static constexpr long kMaximum = 300;

    IntegerOnlyNumberFormatter();

    bool isPartialStringValid(const std::string& partial, std::string* newEditingString,
                              std::string* errorDescription) const override;

    // Sounds on every refusal; the system beep unless a test replaces it.
    std::function<void()> beep;
};
