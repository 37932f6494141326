// Reads an XML property list straight into the value type, in one pass over the text. The text
// comes from outside: depth and the number of values are bounded, and anything that is not a
// well-formed list is a Failure naming what was wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"

class PropertyListXMLReader {
public:
    // With keptTopLevelKeys, a top-level dictionary keeps only those keys; the other values are
    // checked but neither built nor counted toward maximumValues.
    PropertyListXMLReader(std::string_view text, uint64_t maximumValues, int maximumDepth,
                          std::vector<std::string> keptTopLevelKeys = {});
    PropertyListXMLReader(const PropertyListXMLReader&) = delete;
    PropertyListXMLReader& operator=(const PropertyListXMLReader&) = delete;

    Result<PropertyList> read();

private:
    struct Tag {
        std::string_view name;
        bool closing{false};
        bool empty{false};  // <name/>
    };

    bool value(int depth, PropertyList& out);
    bool dictionary(int depth, const Tag& open, PropertyList& out);
    bool array(int depth, const Tag& open, PropertyList& out);
    bool scalar(const Tag& open, PropertyList& out);

    bool tag(Tag& out);
    bool closingTag(std::string_view name);
    bool text(std::string_view element, std::string& out);
    bool entity(std::string& out);
    void skipMisc();
    bool skipPast(std::string_view end);
    bool atClosingTag() const;

    bool fail(std::string message);
    bool keepsTopLevelKey(const std::string& key) const;

    std::string_view mText;
    size_t mAt{0};
    uint64_t mValues{0};
    uint64_t mMaximumValues;
    int mMaximumDepth;
    std::vector<std::string> mKeptTopLevelKeys;
    // Inside a value that is checked and dropped: containers keep nothing.
    bool mDropping{false};
    std::string mError;
};
