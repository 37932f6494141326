// Writes values whose dictionaries keep their order as an XML property list, in the layout the
// player's own library file has (a key and its scalar value on one line, tabs for depth).
//
// Fails, writing nothing, for what the reader would not take back: text that is not UTF-8 or
// holds a NUL, a date outside the years 0 to 9999. May be called from any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Foundation/Result.h"
#include "player/OrderedPropertyList.h"

namespace player {

class XMLPropertyListWriter {
public:
    XMLPropertyListWriter() = delete;

    static Result<std::vector<uint8_t>> write(const OrderedPropertyList& value);
};

}  // namespace player
