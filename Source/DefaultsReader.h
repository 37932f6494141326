// The user defaults as the units around the main window read them: one reader, whichever host
// hands it on. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/Carbon/MacTypes.h"

class DefaultsReader {
public:
    virtual ~DefaultsReader() = default;
    virtual bool boolForKey(const std::string& key) = 0;
    virtual SInt64 integerForKey(const std::string& key) = 0;
    virtual std::optional<std::string> stringForKey(const std::string& key) = 0;
};
