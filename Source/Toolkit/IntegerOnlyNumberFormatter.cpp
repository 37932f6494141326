#include "Source/Toolkit/IntegerOnlyNumberFormatter.h"

#include "platform/AppKit/Application.h"

IntegerOnlyNumberFormatter::IntegerOnlyNumberFormatter() : beep([] { NSBeep(); }) {}

bool IntegerOnlyNumberFormatter::isPartialStringValid(const std::string& partial,
                                                      std::string* newEditingString,
                                                      std::string* errorDescription) const {
    const char* error = nullptr;
    long value = 0;
    for (char c : partial) {
        if (c < '0' || c > '9') {
            error = "Input contains one or more non-numeric characters.";
            break;
        }
        // Saturates: any longer run of digits is above the limit anyway.
        if (value <= kMaximum) value = value * 10 + (c - '0');
    }
    if (!error && value > kMaximum) error = "Input is limited to 300 seconds";
    if (!error && value < kMinimum) error = "Input must be greater than or equal to one";
    if (!error) {
        if (newEditingString) *newEditingString = partial;
        return true;
    }
    if (errorDescription) *errorDescription = error;
    if (beep) beep();
    return false;
}
