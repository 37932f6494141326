// A text field's formatter: asked about every edit before it reaches the field, it may refuse the
// edit (with a reason) or replace the text being edited.
#pragma once

#include <string>

class NSFormatter {
public:
    NSFormatter(const NSFormatter&) = delete;
    NSFormatter& operator=(const NSFormatter&) = delete;
    NSFormatter() = default;
    virtual ~NSFormatter() = default;

    // Whether the field may hold `partial` after an edit. A formatter that wants other text puts
    // it in newEditingString; a refusal says why in errorDescription.
    virtual bool isPartialStringValid(const std::string& partial, std::string* newEditingString,
                                      std::string* errorDescription) const = 0;
};
