// Writes a value as an XML property list in one pass, in the layout other tools write (a tab
// per level, Base64 lines that end by column 76), without locale: the same bytes whatever the
// process's numeric format.
#pragma once

#include <string>

#include "platform/Foundation/PropertyList.h"
#include "platform/Foundation/Result.h"

class PropertyListXMLWriter {
public:
    explicit PropertyListXMLWriter(int maximumDepth) : mMaximumDepth(maximumDepth) {}
    PropertyListXMLWriter(const PropertyListXMLWriter&) = delete;
    PropertyListXMLWriter& operator=(const PropertyListXMLWriter&) = delete;

    // Fails for what the format cannot hold exactly, as the binary writer does.
    Result<PropertyList::Data> write(const PropertyList& plist);

private:
    bool value(const PropertyList& value, int depth);
    bool text(const char* element, const std::string& text, int depth);
    void indent(int depth) { mOut.append(static_cast<size_t>(depth), '\t'); }
    bool fail(std::string message);

    int mMaximumDepth;
    std::string mOut;
    std::string mError;
};
