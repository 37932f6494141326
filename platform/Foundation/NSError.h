// An error as the layer reports it to a person: a domain and code, a description, a suggestion
// for what to do, and the titles of the ways out.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";

struct NSError {
    std::string domain;
    long code{0};
    std::string localizedDescription;
    std::string localizedRecoverySuggestion;
    std::vector<std::string> localizedRecoveryOptions;
};
